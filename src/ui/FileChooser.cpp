#include "ui/FileChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace mdbtokvt::ui {

void ConfigureOpenDialog(QFileDialog& dialog, const QString& initialPath, const QString& filter) {
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(filter);
  if (initialPath.isEmpty()) return;
  const QFileInfo initial(initialPath);
  if (initial.isDir()) {
    dialog.setDirectory(initial.absoluteFilePath());
    return;
  }
  if (initial.absoluteDir().exists()) dialog.setDirectory(initial.absolutePath());
  dialog.selectFile(initial.fileName());
}

std::optional<QString> FileDialogChooser::ChooseExistingFile(const QString& initialPath,
                                                             const QString& filter) {
  QFileDialog dialog(QApplication::activeWindow());
  ConfigureOpenDialog(dialog, initialPath, filter);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return QFileInfo(chosen.first()).absoluteFilePath();
}

}  // namespace mdbtokvt::ui
