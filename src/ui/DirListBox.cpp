#include "ui/DirListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

namespace mdbtokvt::ui {

namespace {
constexpr int kPathRole = Qt::UserRole;

QTreeWidgetItem* AddEntry(QTreeWidget& list, QTreeWidgetItem* parent, const QString& text,
                          const QString& path, const QIcon& icon) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&list);
  item->setText(0, text);
  item->setIcon(0, icon);
  item->setData(0, kPathRole, path);
  return item;
}

QString ChildPath(const QString& folder, const QString& name) {
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}
}  // namespace

DirListBox::DirListBox(DriveResolver driveOf, QWidget* parent)
    : QTreeWidget(parent), driveOf_(std::move(driveOf)) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setIndentation(style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this));
}

bool DirListBox::SetPath(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (!info.isDir() || !info.isReadable() || !info.isExecutable()) return false;
  const QString folder = QDir::cleanPath(info.absoluteFilePath());
  QString drive = driveOf_ ? driveOf_(folder) : QString();
  if (drive.isEmpty()) drive = QDir::rootPath();
  const QStringList subfolders = QDir(folder).entryList(
      QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
  path_ = folder;
  Fill(drive, subfolders);
  return true;
}

QString DirListBox::PathOf(const QTreeWidgetItem& item) {
  return item.data(0, kPathRole).toString();
}

void DirListBox::Fill(const QString& drive, const QStringList& subfolders) {
  clear();
  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon, nullptr, this);
  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon, nullptr, this);

  QTreeWidgetItem* level = AddEntry(*this, nullptr, drive, drive, openIcon);
  QString levelPath = drive;
  const QString below = path_.mid(drive.size());
  for (const QString& name : below.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    levelPath = ChildPath(levelPath, name);
    level = AddEntry(*this, level, name, levelPath, openIcon);
  }
  for (const QString& name : subfolders) {
    AddEntry(*this, level, name, ChildPath(path_, name), closedIcon);
  }
  expandAll();
  setCurrentItem(level);
  scrollToItem(level);
}

void DirListBox::Open(const QTreeWidgetItem& item) {
  const QString target = PathOf(item);
  if (target == path_) return;
  if (SetPath(target)) emit folderOpened(path_);
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && currentItem() != nullptr) {
    Open(*currentItem());
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    if (const QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
      Open(*item);
      event->accept();
      return;
    }
  }
  QTreeWidget::mouseDoubleClickEvent(event);
}

void DirListBox::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {}

}  // namespace mdbtokvt::ui
