#include "toolkit/sys/settings.h"

#include <QSettings>
#include <QString>

namespace {

QString key_of(const std::string& key) { return QString::fromStdString(key); }

}  // namespace

std::string ReadSetting(const std::string& key, const std::string& fallback) {
    const QSettings settings(SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    return settings.value(key_of(key), QString::fromStdString(fallback)).toString().toStdString();
}

void WriteSetting(const std::string& key, const std::string& value) {
    QSettings settings(SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    settings.setValue(key_of(key), QString::fromStdString(value));
}

void WriteSettings(const std::vector<std::pair<std::string, std::string>>& values) {
    QSettings settings(SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    for (const auto& [key, value] : values) settings.setValue(key_of(key), QString::fromStdString(value));
}

void ClearSettings() {
    QSettings settings(SETTINGS_ORGANISATION, SETTINGS_APPLICATION);
    settings.clear();
}
