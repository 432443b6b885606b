// The main window: the database file to convert, the folder to write the
// three table files to, the edition, and the Convert button. It owns the
// conversion state and the data source for the life of the program, so the
// name tables carry over from one conversion to the next. Given a stop
// request (made by the stop signals, StopOnSignals.h), it stops a
// conversion under way without a message and says, through
// StoppedBySignal, that the program is to end: at once when no conversion
// runs, else when the conversion has ended.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "common/CodePageChoice.h"
#include "converters/ConversionContext.h"
#include "run/StopNote.h"
#include "source/DataSource.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSocketNotifier;

namespace mdbtokvt::ui {

class FileChooser;
class FolderChooser;
class MessageSink;
class SettingsStore;

// What the window talks to outside itself.
struct MainWindowServices {
  MessageSink& messages;
  FileChooser& files;
  SettingsStore& settings;
  // The folder dialog; null means the window's own DirBrowser, made on first use.
  FolderChooser* folders = nullptr;
  // The request that stops a conversion (it must outlive the window); the
  // data source should watch the same one.
  const StopRequest* stop = nullptr;
};

class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  // codePage: the one dataSource writes text in, named in the report.
  MainWindow(MainWindowServices services, std::unique_ptr<DataSource> dataSource,
             CodePageChoice codePage = CodePageOfLocale(), QWidget* parent = nullptr);

  const ConversionContext& context() const { return context_; }

 signals:
  // A stop was requested: the program should end with exitStatus (128 + the
  // signal's number) after printing message. Said once.
  void StoppedBySignal(int exitStatus, const QString& message);
  // A fatal error has been shown: the program should end with exitStatus.
  void FatalErrorShown(int exitStatus);

 private:
  void SetUpControls();
  void Arrange();
  void LoadSettings();

  void BrowseForDatabase();
  void BrowseForOutputFolder();
  void Convert();
  // Saves the paths and runs the conversion under the wait cursor; the text
  // of the error that stopped it, if one did. A FatalError goes on to the
  // caller.
  std::optional<QString> RunConversion(const QString& databasePath, const QString& outputPath);
  // The code page of the last conversion and what it changed, as readable
  // lines.
  QString ReportDetails() const;
  void ReportFatal(std::string_view title, std::string_view text);
  // True when a stop has been requested; says StoppedBySignal the first time.
  bool EndIfStopped(StopMoment moment);
  FolderChooser& Folders();

  MainWindowServices services_;
  std::unique_ptr<DataSource> dataSource_;
  CodePageChoice codePage_;
  NameTables names_;  // as long as the window
  ConversionContext context_{names_};
  QSocketNotifier* stopNotifier_ = nullptr;
  bool stopSaid_ = false;

  QGroupBox* frame1_;
  QLineEdit* mdbFilename_;
  QPushButton* browseMdbFilename_;
  QGroupBox* frame2_;
  QLineEdit* kvtPath_;
  QPushButton* browseKvtPath_;
  QLabel* label1_;
  QComboBox* version_;
  QPushButton* doConversion_;
};

}  // namespace mdbtokvt::ui
