#include "ui/SettingsStore.h"

namespace mdbtokvt::ui {

namespace {
QString KeyPath(const QString& section, const QString& key) {
  return section + QLatin1Char('/') + key;
}
}  // namespace

QSettingsStore::QSettingsStore() : settings_(std::make_unique<QSettings>()) {}

QSettingsStore::QSettingsStore(const QString& iniFilePath)
    : settings_(std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat)) {}

QString QSettingsStore::Get(const QString& section, const QString& key,
                            const QString& fallback) const {
  return settings_->value(KeyPath(section, key), fallback).toString();
}

void QSettingsStore::Save(const QString& section, const QString& key, const QString& value) {
  settings_->setValue(KeyPath(section, key), value);
  settings_->sync();
}

}  // namespace mdbtokvt::ui
