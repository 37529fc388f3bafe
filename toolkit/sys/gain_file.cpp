#include "toolkit/sys/gain_file.h"

#include "toolkit/app/exception.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {

const QString kGroup = QStringLiteral("gains");

[[noreturn]] void fail(const std::string& path, const std::string& reason) { throw Exception(path + ": " + reason); }

QString key_name(std::string_view key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }

// The text of a value as the file spells it; an INI value with commas comes
// back from QSettings as a list.
std::string value_text(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
}

}  // namespace

GainSet LoadGainFile(const std::string& path) {
    const QString file = QString::fromStdString(path);
    const QFileInfo info(file);
    if (!info.exists()) fail(path, "no such file");
    if (!info.isFile() || !info.isReadable()) fail(path, "cannot be read");

    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) fail(path, "not a readable INI file");
    if (!settings.childGroups().contains(kGroup)) fail(path, "no [gains] group");
    settings.beginGroup(kGroup);

    GainSet set;
    std::string error;
    const auto lookup = [&settings](std::string_view key) -> std::optional<std::string> {
        const QString name = key_name(key);
        if (!settings.contains(name)) return std::nullopt;
        return value_text(settings.value(name));
    };
    if (!read_gain_set(lookup, set, error)) fail(path, error);
    return set;
}

void SaveGainFile(const std::string& path, const GainSet& set) {
    const QString file = QString::fromStdString(path);
    // The settings layer would create missing folders on the way; a mistyped
    // folder is refused instead.
    const QFileInfo info(file);
    if (info.isDir()) throw Exception("Cannot save " + path + ": it is a folder");
    if (!info.absoluteDir().exists()) throw Exception("Cannot save " + path + ": no such folder");
    QSettings settings(file, QSettings::IniFormat);
    settings.clear();  // the file holds the set and nothing else
    settings.beginGroup(kGroup);
    for (const auto& [key, text] : gain_set_entries(set)) settings.setValue(key_name(key), QString::fromStdString(text));
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) throw Exception("Cannot save " + path + ": the file cannot be written");
}
