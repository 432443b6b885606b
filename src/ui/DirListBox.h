// The folder list of the folder dialog: the folders from the root of the
// current drive down to the current folder, each shown open and indented one
// step further than the one above, then the current folder's subfolders.
// Opening an entry (double-click or Enter) makes it the current folder;
// merely highlighting one does not.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <functional>

namespace mdbtokvt::ui {

class DirListBox : public QTreeWidget {
  Q_OBJECT

 public:
  // Gives the drive root a folder lies on; the list starts there.
  using DriveResolver = std::function<QString(const QString& path)>;

  explicit DirListBox(DriveResolver driveOf, QWidget* parent = nullptr);

  // Makes path (taken absolute, with "." and ".." resolved) the current
  // folder. Returns false and leaves the list as it was when the path is
  // empty, does not exist, is no folder, or cannot be read.
  bool SetPath(const QString& path);
  const QString& path() const { return path_; }

  // The folder an entry stands for.
  static QString PathOf(const QTreeWidgetItem& item);

 signals:
  // The user opened a folder, which is now the current one.
  void folderOpened(const QString& path);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  // Every level is always open, so the list draws no expand markers.
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

 private:
  void Open(const QTreeWidgetItem& item);
  void Fill(const QString& drive, const QStringList& subfolders);

  DriveResolver driveOf_;
  QString path_;
};

}  // namespace mdbtokvt::ui
