#include "ui/MessageSink.h"

#include <QApplication>

namespace mdbtokvt::ui {

void MessageBoxSink::Show(QMessageBox::Icon icon, const QString& title, const QString& text,
                          const QString& details) {
  QWidget* parent = QApplication::activeModalWidget();
  if (parent == nullptr) parent = QApplication::activeWindow();
  QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
  if (!details.isEmpty()) box.setDetailedText(details);
  box.exec();
}

}  // namespace mdbtokvt::ui
