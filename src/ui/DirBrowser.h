// The folder dialog: a drive list over a folder list, with OK and Cancel. One
// instance serves the whole program; OK and Cancel only hide it, and it keeps
// whether the last use ended with OK and the last folder it could show.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

#include "ui/FolderChooser.h"

class QComboBox;
class QPushButton;

namespace mdbtokvt::ui {

class DirListBox;
class MessageSink;

class DirBrowser final : public QDialog, public FolderChooser {
  Q_OBJECT

 public:
  // Lists the drives to offer; read each time the dialog opens.
  using DriveLister = std::function<QStringList()>;

  explicit DirBrowser(MessageSink& messages, QWidget* parent = nullptr,
                      DriveLister listDrives = {});

  // Opens the dialog modally on path (on the program's folder, after a
  // warning, when path cannot be shown) with the given caption, and waits
  // until OK or Cancel. Sets path to the folder the list ended on; returns
  // true when OK closed the dialog. Returns false without opening when not
  // even the program's folder can be shown.
  bool Browse(QString& path, const QString& caption) override;

  // True once OK closed the dialog, false once Cancel did (false before).
  bool wasAccepted() const { return accepted_; }
  // The last path shown without trouble (empty before any).
  const QString& lastGoodPath() const { return lastGoodPath_; }

 private:
  // Shows path in the folder list and its drive in the drive list. Any step
  // that fails ends it with false, without a message; steps done stay done.
  bool SetPath(const QString& path);
  void RefreshDrives();
  void OnDriveChosen(int index);
  void OnFolderOpened(const QString& path);
  void Close(bool accepted);
  void Arrange();

  MessageSink& messages_;
  DriveLister listDrives_;
  QStringList drives_;
  QComboBox* driveList_;
  DirListBox* dirList_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  bool accepted_ = false;
  QString lastGoodPath_;
};

}  // namespace mdbtokvt::ui
