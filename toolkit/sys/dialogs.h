#pragma once
// Asking the user which file to open and where to save.
#include <functional>
#include <string>

// A save-file dialog; `filter` like "CSV files (*.csv)". Returns the chosen
// path, or an empty text when the user cancels.
std::string PromptSaveFileName(const std::string& title, const std::string& filter, const std::string& suggestedName);

// Replaces the dialog (tests answer it); an empty function restores it.
using SaveFilePrompt = std::function<std::string(const std::string& title, const std::string& filter,
                                                 const std::string& suggestedName)>;
SaveFilePrompt SetSaveFilePrompt(SaveFilePrompt prompt);

// An open-file dialog for an existing file; an empty text when the user
// cancels. Replaceable like the save prompt.
std::string PromptOpenFileName(const std::string& title, const std::string& filter);
using OpenFilePrompt = std::function<std::string(const std::string& title, const std::string& filter)>;
OpenFilePrompt SetOpenFilePrompt(OpenFilePrompt prompt);
