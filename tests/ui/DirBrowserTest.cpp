// The folder dialog driven while it is open: what the lists show, what OK and
// Cancel give back, the fall-back to the program folder, and drive changes.
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "Fakes.h"
#include "ui/DirBrowser.h"
#include "ui/DirListBox.h"

using namespace mdbtokvt::ui;
using namespace mdbtokvt::ui::testing;

namespace {

const QString kCaption = QStringLiteral("Path to create KVT files in:");

// A folder tree alpha/inner, beta/deep, Gamma in a temporary folder, and a
// dialog that offers "/" plus extra drives named relative to that folder.
class Harness {
 public:
  explicit Harness(QStringList extraDrives = {})
      : browser(messages, nullptr, [this, extraDrives] {
          QStringList drives{"/"};
          for (const QString& name : extraDrives) drives << Path(name);
          return drives;
        }) {
    QDir(dir.path()).mkpath("alpha/inner");
    QDir(dir.path()).mkpath("beta/deep");
    QDir(dir.path()).mkpath("Gamma");
  }

  QString Path(const QString& relative = {}) const {
    return QDir::cleanPath(relative.isEmpty() ? dir.path() : dir.filePath(relative));
  }
  DirListBox& list() { return *browser.findChild<DirListBox*>("DirList"); }
  QComboBox& drives() { return *browser.findChild<QComboBox*>("DriveList"); }
  void Click(const char* button) {
    QTest::mouseClick(browser.findChild<QPushButton*>(button), Qt::LeftButton);
  }
  QTreeWidgetItem* ShownItem(const QString& text) {
    const auto found = list().findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }

  // Runs Browse while act works the open dialog. The dialog is closed from the
  // frame afterwards if act left it open, so a failed check cannot hang.
  bool BrowseWhile(QString& path, const std::function<void()>& act,
                   const QString& caption = kCaption) {
    QTimer::singleShot(0, &browser, [this, &act] {
      act();
      if (browser.isVisible()) browser.reject();
    });
    return browser.Browse(path, caption);
  }

  QTemporaryDir dir;
  RecordingMessages messages;
  DirBrowser browser;
};

}  // namespace

class DirBrowserTest : public QObject {
  Q_OBJECT

 private slots:
  void startsHiddenWithNothingAcceptedAndDesignedLayout() {
    Harness h;
    QVERIFY(h.browser.isHidden());
    QVERIFY(!h.browser.wasAccepted());
    QVERIFY(h.browser.lastGoodPath().isEmpty());
    QCOMPARE(h.browser.windowTitle(), QStringLiteral("(title set at runtime)"));
    QCOMPARE(h.browser.minimumSize(), h.browser.maximumSize());
    QVERIFY(qAbs(h.browser.width() * 3690.0 / 4680.0 - h.browser.height()) <= 1.0);

    QStringList order;
    QWidget* widget = &h.list();
    do {
      if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName();
      widget = widget->nextInFocusChain();
    } while (widget != &h.list());
    QCOMPARE(order, QStringList({"DirList", "Cancel", "OK", "DriveList"}));
  }

  void listShowsFoldersFromRootThenSubfolders() {
    Harness h;
    QString path = h.Path();
    h.BrowseWhile(path, [&] {
      QCOMPARE(h.browser.windowTitle(), kCaption);
      QCOMPARE(h.list().topLevelItemCount(), 1);
      QTreeWidgetItem* level = h.list().topLevelItem(0);
      QCOMPARE(level->text(0), QStringLiteral("/"));
      for (const QString& name : h.Path().split('/', Qt::SkipEmptyParts)) {
        level = level->child(0);
        QVERIFY(level != nullptr);
        QCOMPARE(level->text(0), name);
      }
      QCOMPARE(h.list().currentItem(), level);
      QStringList subfolders;
      for (int i = 0; i < level->childCount(); ++i) subfolders << level->child(i)->text(0);
      QCOMPARE(subfolders, QStringList({"alpha", "beta", "Gamma"}));
      QCOMPARE(h.drives().currentText(), QStringLiteral("/"));
    });
  }

  void okGivesTheCurrentFolderNotTheHighlightedOne() {
    Harness h;
    QString path = h.dir.path() + "/";
    const bool accepted = h.BrowseWhile(path, [&] {
      QTest::keyClick(&h.list(), Qt::Key_Down);  // highlights alpha
      QCOMPARE(h.list().currentItem()->text(0), QStringLiteral("alpha"));
      h.Click("OK");
    });
    QVERIFY(accepted);
    QVERIFY(h.browser.wasAccepted());
    QVERIFY(h.browser.isHidden());
    QCOMPARE(path, h.Path());
    QCOMPARE(h.browser.lastGoodPath(), h.dir.path() + "/");  // the argument as given
  }

  void openingFoldersMakesThemCurrent() {
    Harness h;
    QString path = h.Path();
    const bool accepted = h.BrowseWhile(path, [&] {
      const QRect alpha = h.list().visualItemRect(h.ShownItem("alpha"));
      QTest::mouseDClick(h.list().viewport(), Qt::LeftButton, {}, alpha.center());
      QCOMPARE(h.list().path(), h.Path("alpha"));
      QCOMPARE(h.browser.lastGoodPath(), h.Path("alpha"));

      QTest::keyClick(&h.list(), Qt::Key_Down);  // inner
      QTest::keyClick(&h.list(), Qt::Key_Return);
      QCOMPARE(h.list().path(), h.Path("alpha/inner"));

      QTest::keyClick(&h.list(), Qt::Key_Up);  // back to alpha, one level up
      QTest::keyClick(&h.list(), Qt::Key_Enter);
      QCOMPARE(h.list().path(), h.Path("alpha"));
      QVERIFY(h.browser.isVisible());  // Enter opens folders, it does not close the dialog
      h.Click("OK");
    });
    QVERIFY(accepted);
    QCOMPARE(path, h.Path("alpha"));
  }

  void cancelGivesFalseEvenAfterAnEarlierOk() {
    Harness h;
    QString path = h.Path("alpha");
    QVERIFY(h.BrowseWhile(path, [&] { h.Click("OK"); }));
    path = h.Path("beta");
    QVERIFY(!h.BrowseWhile(path, [&] { h.Click("Cancel"); }));
    QVERIFY(!h.browser.wasAccepted());
    QVERIFY(h.browser.isHidden());
  }

  void eachCallOpensOnItsOwnPath() {
    Harness h;
    QString path = h.Path();
    h.BrowseWhile(path, [&] {
      h.list().SetPath(h.Path("Gamma"));
      h.Click("OK");
    });
    path = h.Path("beta");
    QString shown;
    h.BrowseWhile(
        path,
        [&] {
          shown = h.list().path();
          QCOMPARE(h.browser.windowTitle(), QStringLiteral("Second"));
          h.Click("OK");
        },
        QStringLiteral("Second"));
    QCOMPARE(shown, h.Path("beta"));
    QCOMPARE(path, h.Path("beta"));
  }

  void missingFolderFallsBackToProgramFolder_data() {
    QTest::addColumn<QString>("missing");
    QTest::newRow("missing folder") << QStringLiteral("/no/such/folder/for/mdbtokvt");
    QTest::newRow("empty") << QString();
  }
  void missingFolderFallsBackToProgramFolder() {
    QFETCH(QString, missing);
    Harness h;
    QString path = missing;
    QString shown;
    const bool accepted = h.BrowseWhile(path, [&] {
      shown = h.list().path();
      h.Click("Cancel");
    });
    QVERIFY(!accepted);
    const QString programFolder = QCoreApplication::applicationDirPath();
    QCOMPARE(shown, QDir::cleanPath(programFolder));
    QCOMPARE(path, QDir::cleanPath(programFolder));
    QCOMPARE(h.messages.log,
             QStringList{LogEntry(
                 QMessageBox::Warning, "Invalid Path",
                 "The path \"" + missing + "\" is invalid. Showing program path instead.")});
  }

  void driveListFollowsThePathAndChangesDrive() {
    Harness withDrive({"beta"});
    QString path = withDrive.Path("beta/deep");
    withDrive.BrowseWhile(path, [&] {
      QCOMPARE(withDrive.drives().currentText(), withDrive.Path("beta"));
      QCOMPARE(withDrive.list().topLevelItem(0)->text(0), withDrive.Path("beta"));
      withDrive.drives().setFocus();
      QTest::keyClick(&withDrive.drives(), Qt::Key_Up);  // the user picks "/"
      QCOMPARE(withDrive.list().path(), QStringLiteral("/"));
      QCOMPARE(withDrive.browser.lastGoodPath(), QStringLiteral("/"));
    });
    QVERIFY(withDrive.messages.log.isEmpty());
  }

  void unreadableDriveGoesBackToLastGoodFolder() {
    Harness h({"gone"});
    const QString goneDrive = h.Path("gone");
    QString path = h.Path("alpha");
    h.BrowseWhile(path, [&] {
      h.drives().setFocus();
      QTest::keyClick(&h.drives(), Qt::Key_Down);  // the user picks the missing drive
      QCOMPARE(h.messages.log, QStringList{LogEntry(QMessageBox::Information, "Invalid Path",
                                                    "Could not access " + goneDrive)});
      QCOMPARE(h.list().path(), h.Path("alpha"));
      QCOMPARE(h.drives().currentText(), QStringLiteral("/"));
      QCOMPARE(h.browser.lastGoodPath(), h.Path("alpha"));
    });
  }
};

QTEST_MAIN(DirBrowserTest)
#include "DirBrowserTest.moc"
