// The per-user store of the paths last used, read when the window opens and
// written when a conversion starts.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace mdbtokvt::ui {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The value stored under section/key, or fallback when there is none.
  virtual QString Get(const QString& section, const QString& key,
                      const QString& fallback) const = 0;
  // Stores value under section/key at once, so it survives the program ending
  // abruptly right after.
  virtual void Save(const QString& section, const QString& key, const QString& value) = 0;
};

// The store kept by QSettings: by default the application's own per-user
// settings (named after the organisation and application names of the
// program), or an INI file at a given path.
class QSettingsStore final : public SettingsStore {
 public:
  QSettingsStore();
  explicit QSettingsStore(const QString& iniFilePath);

  QString Get(const QString& section, const QString& key, const QString& fallback) const override;
  void Save(const QString& section, const QString& key, const QString& value) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace mdbtokvt::ui
