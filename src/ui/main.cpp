// The MDBtoKVT window program. Besides the normal start it takes two hidden
// options that render a window to a PNG file and exit, for checking the look
// without a screen session:
//   MDBtoKVT --screenshot FILE            the main window
//   MDBtoKVT --screenshot-browser FILE    the folder dialog, on the home folder
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <memory>

#include "common/StopOnSignals.h"
#include "common/StopRequest.h"
#include "source/DataSource.h"
#include "ui/DirBrowser.h"
#include "ui/FileChooser.h"
#include "ui/MainWindow.h"
#include "ui/MessageSink.h"
#include "ui/Screenshot.h"
#include "ui/SettingsStore.h"

int main(int argc, char** argv) {
  // A file-size limit must surface as a "Disk full" error, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("MDBtoKVT"));
  QCoreApplication::setApplicationName(QStringLiteral("MDBtoKVT"));
  // Ties the window to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("MDBtoKVT"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("mdbtokvt")));

  // The stop signals end the program on its normal path: a conversion under
  // way removes what it staged and ends its reader first.
  mdbtokvt::StopRequest stop;
  const mdbtokvt::StopOnSignals stopOnSignals(stop);

  using namespace mdbtokvt::ui;
  MessageBoxSink messages;
  FileDialogChooser files;
  QSettingsStore settings;
  MainWindow window({messages, files, settings, nullptr, &stop},
                    mdbtokvt::CreateAccessDataSource(mdbtokvt::kDefaultCodePage, {}, &stop));
  QObject::connect(&window, &MainWindow::StoppedBySignal, &app,
                   [](int exitStatus, const QString& message) {
                     // stderr may lead nowhere any more; the status still counts.
                     std::signal(SIGPIPE, SIG_IGN);
                     std::fprintf(stderr, "MDBtoKVT: %s\n", message.toLocal8Bit().constData());
                     QCoreApplication::exit(exitStatus);
                   });

  const QStringList args = QCoreApplication::arguments();
  const auto optionValue = [&args](const QString& option) {
    const qsizetype at = args.indexOf(option);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
  };
  if (const QString file = optionValue(QStringLiteral("--screenshot")); !file.isEmpty()) {
    return SaveMainWindowPicture(window, file) ? 0 : 1;
  }
  if (const QString file = optionValue(QStringLiteral("--screenshot-browser")); !file.isEmpty()) {
    DirBrowser browser(messages, &window);
    return SaveDirBrowserPicture(browser, QDir::homePath(), file) ? 0 : 1;
  }

  window.show();
  return app.exec();
}
