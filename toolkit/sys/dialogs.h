#pragma once
// Asking the user where to save and what to open.
#include <functional>
#include <string>

// A save-file dialog; `filter` like "CSV files (*.csv)". Returns the chosen
// path, or an empty text when the user cancels. Each prompt starts in the
// folder last chosen under its `folder` name (its title when empty), also
// after a restart: prompts that share a name share a folder.
std::string PromptSaveFileName(const std::string& title, const std::string& filter, const std::string& suggestedName,
                               const std::string& folder = "");

// Replaces the dialog (tests answer it); an empty function restores it.
using SaveFilePrompt = std::function<std::string(const std::string& title, const std::string& filter,
                                                 const std::string& suggestedName)>;
SaveFilePrompt SetSaveFilePrompt(SaveFilePrompt prompt);

// An open-file dialog for an existing file; empty when the user cancels.
// Its folder as PromptSaveFileName's.
std::string PromptOpenFileName(const std::string& title, const std::string& filter, const std::string& folder = "");

// Replaces the open dialog (tests answer it); an empty function restores it.
using OpenFilePrompt = std::function<std::string(const std::string& title, const std::string& filter)>;
OpenFilePrompt SetOpenFilePrompt(OpenFilePrompt prompt);
