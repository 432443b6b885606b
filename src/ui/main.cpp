// The MDBtoKVT window program. It takes --codepage NAME (or --codepage=NAME)
// as the command line does: the code page of the table files' text, by
// default the Windows code page of the locale; a name that is no single-byte
// code page ends it with status 2. Besides the normal start it takes two
// hidden options that render a window to a PNG file and exit, for checking
// the look without a screen session:
//   MDBtoKVT --screenshot FILE            the main window
//   MDBtoKVT --screenshot-browser FILE    the folder dialog, on the home folder
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "common/CodePageChoice.h"
#include "common/StopOnSignals.h"
#include "common/StopRequest.h"
#include "readerclient/AccessDataSource.h"
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

  const QStringList args = QCoreApplication::arguments();
  const auto optionValue = [&args](const QString& option) {
    const qsizetype at = args.indexOf(option);
    if (at >= 0) return at + 1 < args.size() ? args.at(at + 1) : QString();
    for (const QString& arg : args) {
      if (arg.startsWith(option + QLatin1Char('='))) return arg.mid(option.size() + 1);
    }
    return QString();
  };

  std::optional<mdbtokvt::CodePageChoice> codePage = mdbtokvt::CodePageOfLocale();
  const QString codePageName = optionValue(QStringLiteral("--codepage"));
  if (!codePageName.isEmpty() || args.contains(QStringLiteral("--codepage"))) {
    const std::string name = codePageName.toStdString();
    codePage = mdbtokvt::CodePageOfName(name, "from --codepage");
    if (!codePage) {
      std::fprintf(stderr, "MDBtoKVT: unknown or not single-byte code page \"%s\"; give %s\n",
                   name.c_str(), std::string(mdbtokvt::kCodePageForms).c_str());
      return 2;
    }
  }

  // The stop signals end the program on its normal path: a conversion under
  // way removes what it staged and ends its reader first.
  mdbtokvt::StopRequest stop;
  const mdbtokvt::StopOnSignals stopOnSignals(stop);

  using namespace mdbtokvt::ui;
  MessageBoxSink messages;
  FileDialogChooser files;
  QSettingsStore settings;
  MainWindow window({messages, files, settings, nullptr, &stop},
                    mdbtokvt::CreateAccessDataSource(codePage->iconvName, {}, &stop), *codePage);
  QObject::connect(&window, &MainWindow::StoppedBySignal, &app,
                   [](int exitStatus, const QString& message) {
                     // stderr may lead nowhere any more; the status still counts.
                     std::signal(SIGPIPE, SIG_IGN);
                     std::fprintf(stderr, "MDBtoKVT: %s\n", message.toLocal8Bit().constData());
                     QCoreApplication::exit(exitStatus);
                   });
  QObject::connect(&window, &MainWindow::FatalErrorShown, &app,
                   [](int exitStatus) { QCoreApplication::exit(exitStatus); });
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
