// Stand-ins for what the window talks to: recorded messages, canned dialog
// answers, and a data source that yields empty results (or fails on demand).
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MemoryRecordset.h"
#include "source/DataSource.h"
#include "source/Recordset.h"
#include "ui/FileChooser.h"
#include "ui/FolderChooser.h"
#include "ui/MessageSink.h"

namespace mdbtokvt::ui::testing {

// One shown message as "Icon | title | text", so a whole log compares at once.
inline QString LogEntry(QMessageBox::Icon icon, const QString& title, const QString& text) {
  const char* iconName = icon == QMessageBox::Information ? "Information"
                         : icon == QMessageBox::Warning   ? "Warning"
                         : icon == QMessageBox::Critical  ? "Critical"
                                                          : "Other";
  return QStringLiteral("%1 | %2 | %3").arg(QLatin1String(iconName), title, text);
}

class RecordingMessages final : public MessageSink {
 public:
  void Show(QMessageBox::Icon icon, const QString& title, const QString& text,
            const QString& details = QString()) override {
    log << LogEntry(icon, title, text);
    this->details << details;
  }
  QStringList log;
  QStringList details;  // the detailed text of each message, in the same order
};

class CannedFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseExistingFile(const QString& initialPath,
                                            const QString& filter) override {
    askedInitialPath = initialPath;
    askedFilter = filter;
    return answer;
  }
  std::optional<QString> answer;
  QString askedInitialPath;
  QString askedFilter;
};

// Always rewrites the path, as the real dialog does, so a caller that ignores
// the result shows up.
class CannedFolderChooser final : public FolderChooser {
 public:
  bool Browse(QString& path, const QString& caption) override {
    askedPath = path;
    askedCaption = caption;
    path = answerPath;
    return accept;
  }
  bool accept = false;
  QString answerPath = QStringLiteral("/somewhere/else");
  QString askedPath;
  QString askedCaption;
};

// Every record source gives an empty result, so a conversion writes three
// tables without records. onOpen runs first and may throw to make it fail.
class FakeDataSource final : public DataSource {
 public:
  void Open(std::string_view, std::string_view recordSource, const RecordPlan&) override {
    opened.emplace_back(recordSource);
    if (onOpen) onOpen();
    const auto canned = results.find(std::string(recordSource));
    result_ = canned == results.end()
                  ? std::make_unique<MemoryRecordset>(std::vector<std::string>{},
                                                      std::vector<std::vector<Value>>{})
                  : std::make_unique<MemoryRecordset>(canned->second.first, canned->second.second);
  }
  Recordset& recordset() override { return *result_; }

  std::vector<std::string> opened;
  std::function<void()> onOpen;
  // Rows to give for a record source (columns, rows); others give no rows.
  std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::vector<Value>>>>
      results;

 private:
  std::unique_ptr<MemoryRecordset> result_;
};

}  // namespace mdbtokvt::ui::testing
