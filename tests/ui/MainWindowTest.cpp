// The main window driven through its controls: start-up state and layout,
// the remembered paths, the checks before a conversion, the conversion itself
// with its messages, a stop by a signal, and the two browse buttons.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <new>

#include "Fakes.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "converters/ConversionContext.h"
#include "converters/FatalError.h"
#include "readerclient/AccessDataSource.h"
#include "run/DBConvert.h"
#include "source/DataSource.h"
#include "ui/MainWindow.h"
#include "ui/SettingsStore.h"

using namespace mdbtokvt;
using namespace mdbtokvt::ui;
using namespace mdbtokvt::ui::testing;

namespace {

const QString kShortNote = QStringLiteral("Conversion complete.");

// One window with its stand-ins; settings live in an INI file in a temporary
// folder, which also holds the input files and the output folder.
class Harness {
 public:
  // locale: the LANG the window's code page comes from; none set by default.
  explicit Harness(const char* locale = nullptr) : locale_(locale) { Reopen(); }

  void Reopen() {
    window.reset();
    settings = std::make_unique<QSettingsStore>(SettingsFile());
    auto dataSource = std::make_unique<FakeDataSource>();
    source = dataSource.get();
    const char* lang = locale_;
    const CodePageChoice codePage = CodePageOfLocale(
        [lang](const char* name) { return std::string_view(name) == "LANG" ? lang : nullptr; });
    window = std::make_unique<MainWindow>(
        MainWindowServices{messages, files, *settings, &folders, &stop}, std::move(dataSource),
        codePage);
  }

  template <typename T>
  T& Find(const char* name) {
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no control %s", name);
    return *child;
  }
  const ConversionContext& context() const { return window->context(); }
  QLineEdit& mdbFilename() { return Find<QLineEdit>("MDBFilename"); }
  QLineEdit& kvtPath() { return Find<QLineEdit>("KVTPath"); }
  QComboBox& version() { return Find<QComboBox>("cboVersion"); }
  void Click(const char* button) { QTest::mouseClick(&Find<QPushButton>(button), Qt::LeftButton); }

  const char* locale_;
  QString SettingsFile() const { return dir.filePath(QStringLiteral("settings.ini")); }
  QStringList StoredKeys() const {
    return QSettings(SettingsFile(), QSettings::IniFormat).allKeys();
  }
  QString MakeFile(const QString& name) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot create %s", qPrintable(name));
    return file.fileName();
  }
  QString MakeFolder(const QString& name) {
    QDir(dir.path()).mkpath(name);
    return dir.filePath(name);
  }
  // Fills both paths with an existing input file and output folder.
  void SetUpValidPaths(const QString& inputName = QStringLiteral("input.mdb")) {
    mdbFilename().setText(MakeFile(inputName));
    kvtPath().setText(MakeFolder(QStringLiteral("out")));
  }
  QStringList OutputFiles() const {
    return QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files, QDir::Name);
  }

  QTemporaryDir dir;
  RecordingMessages messages;
  CannedFileChooser files;
  CannedFolderChooser folders;
  std::unique_ptr<QSettingsStore> settings;
  FakeDataSource* source = nullptr;
  StopRequest stop;
  std::unique_ptr<MainWindow> window;
};

const QStringList kTableFiles{"GROUPTAB.KVT", "TERMTAB.KVT", "USERTAB.KVT"};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartShowsEmptyPathsAndFirstEdition() {
    Harness h;
    QCOMPARE(h.window->windowTitle(), QStringLiteral("Telvane Database Converter"));
    QCOMPARE(h.mdbFilename().text(), QString());
    QCOMPARE(h.kvtPath().text(), QString());
    QCOMPARE(h.version().count(), 4);
    const QStringList rows{"Lumen", "Vireo", "Sentel", "Quorra"};
    for (int row = 0; row < rows.size(); ++row) QCOMPARE(h.version().itemText(row), rows[row]);
    QCOMPARE(h.version().currentIndex(), 0);
  }

  void tabOrderFollowsTheDesign() {
    Harness h;
    QStringList order;
    QWidget* widget = &h.mdbFilename();
    do {
      if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName();
      widget = widget->nextInFocusChain();
    } while (widget != &h.mdbFilename());
    QCOMPARE(order, QStringList({"MDBFilename", "KVTPath", "DoConversion", "BrowseMDBFilename",
                                 "BrowseKVTPath", "cboVersion"}));
  }

  void layoutKeepsProportionsAndShowsCaptionsWhole() {
    Harness h;
    MainWindow& w = *h.window;
    QCOMPARE(w.minimumSize(), w.maximumSize());
    // 7095 x 2925 twips, with the two frames 6855 twips wide.
    QVERIFY(qAbs(w.width() * 2925.0 / 7095.0 - w.height()) <= 1.0);
    QVERIFY(qAbs(h.Find<QGroupBox>("Frame1").width() - w.width() * 6855.0 / 7095.0) <= 1.0);
    for (QPushButton* button : w.findChildren<QPushButton*>()) {
      QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
               qPrintable(button->objectName()));
      QVERIFY(button->minimumSizeHint().height() <= button->height());
    }
    for (QGroupBox* box : w.findChildren<QGroupBox*>()) {
      QVERIFY2(box->fontMetrics().horizontalAdvance(box->title()) < box->width(),
               qPrintable(box->objectName()));
    }
    auto& label = h.Find<QLabel>("Label1");
    QVERIFY(label.sizeHint().width() <= label.width());
    QVERIFY(h.mdbFilename().minimumSizeHint().height() <= h.mdbFilename().height());
    // The label ends before the edition list begins, as designed.
    QVERIFY(label.geometry().right() < h.version().geometry().left());
  }

  void pathsComeBackAfterRestartButEditionDoesNot() {
    Harness h;
    h.SetUpValidPaths();
    h.kvtPath().setText(h.kvtPath().text() + QStringLiteral("/"));
    const QString input = h.mdbFilename().text();
    const QString output = h.kvtPath().text();
    h.version().setCurrentIndex(2);
    h.Click("DoConversion");
    QCOMPARE(h.messages.log, QStringList{LogEntry(QMessageBox::Information, "Note", kShortNote)});

    h.Reopen();
    QCOMPARE(h.mdbFilename().text(), input);
    QCOMPARE(h.kvtPath().text(), output);
    QCOMPARE(h.version().currentIndex(), 0);
    QCOMPARE(h.StoredKeys(), QStringList({"MRU/LastKVTPath", "MRU/LastMDBFilename"}));
  }

  void onlyTheFirstFailingCheckIsReported_data() {
    QTest::addColumn<QString>("input");   // relative to the temporary folder
    QTest::addColumn<QString>("output");  // relative to the temporary folder
    QTest::addColumn<QString>("message");
    QTest::newRow("both missing") << "missing.mdb"
                                  << "nowhere"
                                  << "Can't find input file ";
    QTest::newRow("folder as input") << "out"
                                     << "out"
                                     << "Can't find input file ";
    QTest::newRow("output missing") << "input.mdb"
                                    << "nowhere"
                                    << "Can't find output path ";
    QTest::newRow("file as output") << "input.mdb"
                                    << "input.mdb"
                                    << "Can't find output path ";
  }
  void onlyTheFirstFailingCheckIsReported() {
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, message);
    Harness h;
    h.SetUpValidPaths();
    h.mdbFilename().setText(h.dir.filePath(input));
    h.kvtPath().setText(h.dir.filePath(output));
    h.Click("DoConversion");

    const QString path = message.contains("input") ? h.dir.filePath(input) : h.dir.filePath(output);
    QCOMPARE(h.messages.log,
             QStringList{LogEntry(QMessageBox::Information, "Note", message + '"' + path + '"')});
    QVERIFY(h.StoredKeys().isEmpty());
    QVERIFY(h.source->opened.empty());
  }

  void sourceKindFollowsTheFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("addressBook");
    QTest::newRow("abk") << "x.abk" << true;
    QTest::newRow("upper case, trailing blanks") << "X.ABK  " << true;
    QTest::newRow("no dot") << "backupabk" << true;
    QTest::newRow("abk not last") << "x.abk.bak" << false;
    QTest::newRow("mdb") << "x.mdb" << false;
  }
  void sourceKindFollowsTheFileName() {
    QFETCH(QString, name);
    QFETCH(bool, addressBook);
    Harness h;
    h.SetUpValidPaths(name);
    h.Click("DoConversion");
    QCOMPARE(h.context().addressBookSource, addressBook);
    QVERIFY(!h.source->opened.empty());
    QCOMPARE(h.source->opened.front(), std::string(addressBook ? "PostOffices" : "PagerCompany"));
    QCOMPARE(h.mdbFilename().text(), h.dir.filePath(name));  // blanks kept as typed
  }

  void completionNoteDependsOnEdition_data() {
    QTest::addColumn<int>("row");
    for (int row = 0; row < 4; ++row) QTest::addRow("row %d", row) << row;
  }
  void completionNoteDependsOnEdition() {
    QFETCH(int, row);
    Harness h;
    h.SetUpValidPaths();
    h.version().setCurrentIndex(row);
    h.Click("DoConversion");
    QCOMPARE(int{EditionRow(h.context().edition)}, row);
    QCOMPARE(h.OutputFiles(), kTableFiles);
    const QString note = QString::fromStdString(CompletionNote(EditionOfRow(row)));
    QCOMPARE(note == kShortNote, row != 0);
    QCOMPARE(h.messages.log, QStringList{LogEntry(QMessageBox::Information, "Note", note)});
  }

  void completionNoteOffersTheReportAsDetails() {
    Harness h;
    h.SetUpValidPaths();
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 40; ++i) {
      rows.push_back({Value::Text("Big"), Value::Text("M" + std::to_string(100 + i))});
    }
    h.source->results[kGroupRun.mdb.source.text] = {{"GroupName", "UserName"}, rows};
    h.Click("DoConversion");
    QCOMPARE(h.messages.details.size(), 1);
    const QString details = h.messages.details.back();
    QVERIFY2(details.contains("Group \"Big\": 40 members, 32 kept"), qPrintable(details));
    QVERIFY(details.startsWith("1 group truncated to 32 members"));
    // The note's text itself stays exactly as it was.
    QCOMPARE(h.messages.log.back(),
             LogEntry(QMessageBox::Information, "Note",
                      QString::fromStdString(CompletionNote(Edition::kLumen))));
    QVERIFY2(details.contains("\nCode page: Windows-1252, from the locale C\n"),
             qPrintable(details));
    // Nothing changed: the details only name the code page.
    h.source->results.clear();
    h.Click("DoConversion");
    QCOMPARE(h.messages.details.back(),
             QStringLiteral("Code page: Windows-1252, from the locale C"));
  }

  void detailsListCharactersWrittenAsQuestionMarks() {
    // A Polish desktop: Windows-1250 holds the Polish letters; the Greek one
    // the source also holds has no form there.
    Harness h("pl_PL.UTF-8");
    h.SetUpValidPaths();
    h.source->results[kReceiverRun.mdb.source.text] = {
        {"UserName", "PagerID", "pgname"},
        {{Value::LossyText("?ukasz", "\xCE\xA9ukasz"), Value::Text("1"), Value::Text("S")}}};
    h.Click("DoConversion");
    const QString details = h.messages.details.back();
    QVERIFY2(details.startsWith("1 character written as ?"), qPrintable(details));
    QVERIFY2(details.contains("\nCode page: Windows-1250, from the locale pl_PL.UTF-8\n"),
             qPrintable(details));
    QVERIFY2(details.contains(QString::fromUtf8(
                 "USERTAB.KVT: row 1, column UserName: \"\xCE\xA9ukasz\" written as \"?ukasz\"")),
             qPrintable(details));
  }

  void conversionRunsUnderWaitCursorAfterSavingPaths() {
    Harness h;
    h.SetUpValidPaths();
    bool waitCursorShown = false;
    QStringList keysDuringRun;
    h.source->onOpen = [&] {
      const QCursor* cursor = QApplication::overrideCursor();
      waitCursorShown = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
      keysDuringRun = h.StoredKeys();
    };
    h.Click("DoConversion");
    QVERIFY(waitCursorShown);
    QCOMPARE(keysDuringRun.size(), 2);
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void failedRunReportsErrorKeepsPathsAndStaysUsable_data() {
    QTest::addColumn<int>("kind");  // 0: conversion error, 1: out of memory
    QTest::addColumn<QString>("text");
    QTest::newRow("conversion error")
        << 0 << "Error 3078: The database engine cannot find the input table or query 'X'.";
    QTest::newRow("out of memory") << 1 << "Error 7: Out of memory";
  }
  void failedRunReportsErrorKeepsPathsAndStaysUsable() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    Harness h;
    h.SetUpValidPaths();
    h.source->onOpen = [kind] {
      if (kind == 1) throw std::bad_alloc();
      throw ConversionError(ErrorNumber::kTableNotFound,
                            "The database engine cannot find the input table or query 'X'.");
    };
    h.Click("DoConversion");

    QCOMPARE(h.messages.log, QStringList{LogEntry(QMessageBox::Critical, "Error", text)});
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(h.StoredKeys().size(), 2);
    QVERIFY(h.OutputFiles().isEmpty());

    h.source->onOpen = nullptr;
    h.Click("DoConversion");
    QCOMPARE(h.messages.log.size(), 2);
    QVERIFY(h.messages.log.back().startsWith("Information | Note | Conversion complete."));
    QCOMPARE(h.OutputFiles(), kTableFiles);
  }

  // With the real data source: an address book whose name does not end in
  // "abk" is read as a pager database, and the window's message says which
  // kind the file looks like.
  void wrongKindOfSourceSaysWhichKindTheFileLooksLike() {
    Harness h;
    h.window = std::make_unique<MainWindow>(
        MainWindowServices{h.messages, h.files, *h.settings, &h.folders}, CreateAccessDataSource());
    const QString book = h.dir.filePath(QStringLiteral("book"));
    QVERIFY(QFile::copy(QStringLiteral(MDBTOKVT_TEST_DATA "/fixtures/sample.abk"), book));
    h.mdbFilename().setText(book);
    h.kvtPath().setText(h.MakeFolder(QStringLiteral("out")));
    h.Click("DoConversion");
    QCOMPARE(h.messages.log.size(), 1);
    const QString& message = h.messages.log.front();
    QVERIFY2(
        message.startsWith("Critical | Error | Error 3078: The database engine cannot find the "
                           "input table or query 'PagerCompany'."),
        qPrintable(message));
    QVERIFY2(message.contains("The file looks like an address book (it holds Contacts, "
                              "PostOffices, GROUPS and GROUPUSER), but the source kind comes from "
                              "the file name"),
             qPrintable(message));
    QVERIFY(h.OutputFiles().isEmpty());
  }

  void stopDuringAConversionEndsTheProgramWithoutAMessage() {
    Harness h;
    h.SetUpValidPaths();
    QSignalSpy stopped(h.window.get(), &MainWindow::StoppedBySignal);
    // As the group run opens its record source.
    h.source->onOpen = [&h] {
      if (h.source->opened.size() == 3) h.stop.Request(SIGTERM);
    };
    h.Click("DoConversion");
    QVERIFY(h.messages.log.isEmpty());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(QDir(h.dir.filePath(QStringLiteral("out")))
                .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty());
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(stopped[0][0].toInt(), 128 + SIGTERM);
    QCOMPARE(stopped[0][1].toString(),
             QStringLiteral("Stopped by SIGTERM: the output folder was left as it was."));
    // Said once, though the request stays readable for the event loop.
    QCoreApplication::processEvents();
    QCOMPARE(stopped.count(), 1);
  }

  void stopBetweenConversionsEndsTheProgram() {
    Harness h;
    QSignalSpy stopped(h.window.get(), &MainWindow::StoppedBySignal);
    h.stop.Request(SIGHUP);
    QTRY_COMPARE(stopped.count(), 1);
    QCOMPARE(stopped[0][0].toInt(), 128 + SIGHUP);
    QCOMPARE(stopped[0][1].toString(), QStringLiteral("Stopped by SIGHUP."));
    QVERIFY(h.messages.log.isEmpty());
  }

  void fatalErrorShowsWarningWithoutWaitCursor() {
    Harness h;
    h.SetUpValidPaths();
    QSignalSpy ended(h.window.get(), &MainWindow::FatalErrorShown);
    h.source->onOpen = [] {
      // The cursor of a conversion under way, and one more of someone else's.
      QApplication::setOverrideCursor(Qt::WaitCursor);
      throw FatalError("Fatal Error", "Record too long");
    };
    h.Click("DoConversion");
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended[0][0].toInt(), EXIT_FAILURE);
    QCOMPARE(h.messages.log,
             QStringList{LogEntry(QMessageBox::Warning, "Fatal Error", "Record too long")});
  }

  void cancelledDialogsChangeNothing() {
    Harness h;
    h.mdbFilename().setText("/data/old.mdb");
    h.kvtPath().setText("/data/out");
    h.Click("BrowseMDBFilename");
    h.Click("BrowseKVTPath");
    QCOMPARE(h.mdbFilename().text(), QStringLiteral("/data/old.mdb"));
    QCOMPARE(h.kvtPath().text(), QStringLiteral("/data/out"));
    QCOMPARE(h.files.askedInitialPath, QStringLiteral("/data/old.mdb"));
    QCOMPARE(h.folders.askedPath, QStringLiteral("/data/out"));
    QCOMPARE(h.folders.askedCaption, QStringLiteral("Path to create KVT files in:"));
    QVERIFY(h.StoredKeys().isEmpty());
  }

  void confirmedDialogsFillThePaths() {
    Harness h;
    h.files.answer = QStringLiteral("/data/Default.abk");
    h.folders.accept = true;
    h.Click("BrowseMDBFilename");
    h.Click("BrowseKVTPath");
    QCOMPARE(h.mdbFilename().text(), QStringLiteral("/data/Default.abk"));
    QCOMPARE(h.kvtPath().text(), QStringLiteral("/somewhere/else"));
  }

  // The filter the window asks for, applied to a real file dialog, offers the
  // Access files in any case of their extension and nothing else.
  void databaseDialogOffersAccessFilesInAnyCase() {
    Harness h;
    for (const char* name : {"DEFAULT.ABK", "Sample.Mdb", "old.mdb", "notes.txt", "mdb"}) {
      h.MakeFile(QString::fromLatin1(name));
    }
    h.mdbFilename().setText(h.dir.filePath("old.mdb"));
    h.Click("BrowseMDBFilename");

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ConfigureOpenDialog(dialog, h.files.askedInitialPath, h.files.askedFilter);
    dialog.show();
    QCOMPARE(QDir(dialog.directory()).canonicalPath(), QDir(h.dir.path()).canonicalPath());
    QCOMPARE(dialog.findChild<QComboBox*>("fileTypeCombo")->currentText(),
             QStringLiteral("MS Access Files (*.mdb,*.abk)"));
    auto* view = dialog.findChild<QListView*>("listView");
    const auto shownNames = [view] {
      QStringList names;
      for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
      }
      names.sort(Qt::CaseInsensitive);
      return names;
    };
    QTRY_COMPARE(shownNames(), QStringList({"DEFAULT.ABK", "old.mdb", "Sample.Mdb"}));
    QCOMPARE(QFileInfo(dialog.selectedFiles().value(0)).fileName(), QStringLiteral("old.mdb"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
