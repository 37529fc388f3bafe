#pragma once
// Asking the user where to save.
#include <functional>
#include <string>

// A save-file dialog; `filter` like "CSV files (*.csv)". Returns the chosen
// path, or an empty text when the user cancels.
std::string PromptSaveFileName(const std::string& title, const std::string& filter, const std::string& suggestedName);

// Replaces the dialog (tests answer it); an empty function restores it.
using SaveFilePrompt = std::function<std::string(const std::string& title, const std::string& filter,
                                                 const std::string& suggestedName)>;
SaveFilePrompt SetSaveFilePrompt(SaveFilePrompt prompt);
