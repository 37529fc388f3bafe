#include "toolkit/sys/dialogs.h"

#include "toolkit/sys/settings.h"

#include <QFileIconProvider>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

SaveFilePrompt& save_file_prompt() {
    static SaveFilePrompt prompt;
    return prompt;
}

OpenFilePrompt& open_file_prompt() {
    static OpenFilePrompt prompt;
    return prompt;
}

// Icons and type names from what a file's directory entry says. Qt's own
// provider asks the MIME database, which reads a file whose name says
// nothing of its kind: in /proc that read can block for ever (kmsg), and
// no prompt should read what it lists anyway.
class EntryOnlyIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override { return icon(info.isDir() ? Folder : File); }
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QStringLiteral("Folder");
        if (!info.isFile()) return QStringLiteral("Special file");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" file");
    }
};

// Each prompt (by its folder name) starts in the folder it was last left
// in, also after a restart; the working folder until then.
QString last_folder(const std::string& folder) {
    const QString kept = QString::fromStdString(ReadSetting("folders/" + folder));
    return !kept.isEmpty() && QDir(kept).exists() ? kept : QDir::currentPath();
}

std::string remember_folder(const std::string& folder, const QString& chosen) {
    WriteSetting("folders/" + folder, QFileInfo(chosen).absolutePath().toStdString());
    return chosen.toStdString();
}

const std::string& folder_name(const std::string& title, const std::string& folder) {
    return folder.empty() ? title : folder;
}

}  // namespace

std::string PromptSaveFileName(const std::string& title, const std::string& filter, const std::string& suggestedName,
                               const std::string& folder) {
    if (const SaveFilePrompt& prompt = save_file_prompt()) return prompt(title, filter, suggestedName);
    static EntryOnlyIconProvider iconProvider;
    // Qt's own dialog, so that the provider above is the one it uses.
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(title), QString(),
                       QString::fromStdString(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&iconProvider);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(QDir(last_folder(folder_name(title, folder))).filePath(QString::fromStdString(suggestedName)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return remember_folder(folder_name(title, folder), dialog.selectedFiles().constFirst());
}

SaveFilePrompt SetSaveFilePrompt(SaveFilePrompt prompt) {
    SaveFilePrompt previous = std::move(save_file_prompt());
    save_file_prompt() = std::move(prompt);
    return previous;
}

std::string PromptOpenFileName(const std::string& title, const std::string& filter, const std::string& folder) {
    if (const OpenFilePrompt& prompt = open_file_prompt()) return prompt(title, filter);
    static EntryOnlyIconProvider iconProvider;
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(title),
                       last_folder(folder_name(title, folder)), QString::fromStdString(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&iconProvider);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return remember_folder(folder_name(title, folder), dialog.selectedFiles().constFirst());
}

OpenFilePrompt SetOpenFilePrompt(OpenFilePrompt prompt) {
    OpenFilePrompt previous = std::move(open_file_prompt());
    open_file_prompt() = std::move(prompt);
    return previous;
}
