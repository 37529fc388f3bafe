#include "toolkit/sys/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace {

SaveFilePrompt& save_file_prompt() {
    static SaveFilePrompt prompt;
    return prompt;
}

OpenFilePrompt& open_file_prompt() {
    static OpenFilePrompt prompt;
    return prompt;
}

}  // namespace

std::string PromptSaveFileName(const std::string& title, const std::string& filter, const std::string& suggestedName) {
    if (const SaveFilePrompt& prompt = save_file_prompt()) return prompt(title, filter, suggestedName);
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), QString::fromStdString(title),
                                                      QDir::current().filePath(QString::fromStdString(suggestedName)),
                                                      QString::fromStdString(filter));
    return path.toStdString();
}

SaveFilePrompt SetSaveFilePrompt(SaveFilePrompt prompt) {
    SaveFilePrompt previous = std::move(save_file_prompt());
    save_file_prompt() = std::move(prompt);
    return previous;
}

std::string PromptOpenFileName(const std::string& title, const std::string& filter) {
    if (const OpenFilePrompt& prompt = open_file_prompt()) return prompt(title, filter);
    const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString::fromStdString(title),
                                                      QDir::currentPath(), QString::fromStdString(filter));
    return path.toStdString();
}

OpenFilePrompt SetOpenFilePrompt(OpenFilePrompt prompt) {
    OpenFilePrompt previous = std::move(open_file_prompt());
    open_file_prompt() = std::move(prompt);
    return previous;
}
