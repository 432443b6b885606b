// The pieces under the windows: the twips scale, the drive of a path, and the
// settings store.
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "ui/Drives.h"
#include "ui/SettingsStore.h"
#include "ui/TwipsLayout.h"

using namespace mdbtokvt::ui;

class LayoutSupportTest : public QObject {
  Q_OBJECT

 private slots:
  void scaleGrowsJustEnoughForTheNeediestControl() {
    const double dpiScale = 96.0 / 1440.0;
    QCOMPARE(FitPixelsPerTwip(96, {}), dpiScale);
    // 1500 twips are 100 pixels at 96 dpi; needs that fit leave the scale alone.
    QCOMPARE(FitPixelsPerTwip(96, {{{90, 20}, {1500, 300}}}), dpiScale);
    QCOMPARE(FitPixelsPerTwip(96, {{{150, 20}, {1500, 300}}, {{0, 30}, {1500, 300}}}),
             dpiScale * 1.5);
    QCOMPARE(FitPixelsPerTwip(96, {{{10, 40}, {1500, 300}}}), dpiScale * 2);
    QCOMPARE(FitPixelsPerTwip(192, {{{150, 20}, {1500, 300}}}), 192.0 / 1440.0);
  }

  void touchingDesignRectsTouchOnScreen() {
    const TwipsLayout layout(96.0 * 1.3 / 1440.0);
    const QRect first = layout.Rect({120, 120, 1095, 375});
    const QRect second = layout.Rect({1215, 495, 1000, 200});
    QCOMPARE(first.right() + 1, second.left());
    QCOMPARE(first.bottom() + 1, second.top());
    QCOMPARE(layout.Size(7095, 2925), QSize(qRound(7095 * 1.3 / 15), qRound(2925 * 1.3 / 15)));
  }

  void driveIsTheLongestRootHoldingThePath() {
    const QStringList drives{"/", "/media/usb", "/media/usb2"};
    QCOMPARE(DriveOfPath("/media/usb2/photos", drives), QStringLiteral("/media/usb2"));
    QCOMPARE(DriveOfPath("/media/usb", drives), QStringLiteral("/media/usb"));
    QCOMPARE(DriveOfPath("/media/usbx", drives), QStringLiteral("/"));
    QCOMPARE(DriveOfPath("/", drives), QStringLiteral("/"));
    QCOMPARE(DriveOfPath("/home", {"/media/usb"}), QString());
  }

  void mountedDrivesStartAtRootAndAreFolders() {
    const QStringList drives = MountedDrives();
    QVERIFY(!drives.isEmpty());
    QCOMPARE(drives.first(), QStringLiteral("/"));
    QCOMPARE(drives.count("/"), 1);
    for (const QString& drive : drives) QVERIFY2(QFileInfo(drive).isDir(), qPrintable(drive));
  }

  void settingsKeepValuesExactlyUnderTheirSection() {
    QTemporaryDir dir;
    const QString file = dir.filePath("settings.ini");
    {
      QSettingsStore store(file);
      QCOMPARE(store.Get("MRU", "LastKVTPath", "fallback"), QStringLiteral("fallback"));
      store.Save("MRU", "LastMDBFilename", " /data/X.ABK  ");
      store.Save("MRU", "LastKVTPath", "/out;with=odd,chars");
      // Written at once: the program may end abruptly right after saving.
      QCOMPARE(QSettings(file, QSettings::IniFormat).allKeys().size(), 2);
    }
    QSettingsStore reopened(file);
    QCOMPARE(reopened.Get("MRU", "LastMDBFilename", {}), QStringLiteral(" /data/X.ABK  "));
    QCOMPARE(reopened.Get("MRU", "LastKVTPath", {}), QStringLiteral("/out;with=odd,chars"));
    QSettings raw(file, QSettings::IniFormat);
    QCOMPARE(raw.childGroups(), QStringList{"MRU"});
  }
};

QTEST_MAIN(LayoutSupportTest)
#include "LayoutSupportTest.moc"
