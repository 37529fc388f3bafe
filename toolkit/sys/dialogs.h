#pragma once
// Asking the user where to save and what to open.
#include <functional>
#include <string>

// A save-file dialog; `filter` like "CSV files (*.csv)". Returns the chosen
// path, or an empty text when the user cancels.
std::string PromptSaveFileName(const std::string& title, const std::string& filter, const std::string& suggestedName);

// Replaces the dialog (tests answer it); an empty function restores it.
using SaveFilePrompt = std::function<std::string(const std::string& title, const std::string& filter,
                                                 const std::string& suggestedName)>;
SaveFilePrompt SetSaveFilePrompt(SaveFilePrompt prompt);

// An open-file dialog for an existing file; empty when the user cancels.
std::string PromptOpenFileName(const std::string& title, const std::string& filter);

// Replaces the open dialog (tests answer it); an empty function restores it.
using OpenFilePrompt = std::function<std::string(const std::string& title, const std::string& filter)>;
OpenFilePrompt SetOpenFilePrompt(OpenFilePrompt prompt);
