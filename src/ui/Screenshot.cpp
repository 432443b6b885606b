#include "ui/Screenshot.h"

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "ui/DirBrowser.h"
#include "ui/MainWindow.h"

namespace mdbtokvt::ui {

namespace {
bool Render(QWidget& widget, const QString& file) {
  QApplication::processEvents();
  return widget.grab().save(file, "PNG");
}
}  // namespace

bool SaveMainWindowPicture(MainWindow& window, const QString& file) {
  window.show();
  const bool saved = Render(window, file);
  window.hide();
  return saved;
}

bool SaveDirBrowserPicture(DirBrowser& browser, const QString& folder, const QString& file) {
  bool saved = false;
  QTimer::singleShot(0, &browser, [&browser, &file, &saved] {
    saved = Render(browser, file);
    if (auto* cancel = browser.findChild<QPushButton*>(QStringLiteral("Cancel"))) cancel->click();
  });
  QString path = folder;
  browser.Browse(path, QStringLiteral("Path to create KVT files in:"));
  return saved;
}

}  // namespace mdbtokvt::ui
