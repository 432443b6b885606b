#include "ui/Drives.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace mdbtokvt::ui {

namespace {
const QString kFileSystemRoot = QStringLiteral("/");

bool IsSameOrAncestor(const QString& root, const QString& path) {
  if (root == kFileSystemRoot) return path.startsWith(kFileSystemRoot);
  return path == root || path.startsWith(root + QLatin1Char('/'));
}
}  // namespace

QStringList MountedDrives() {
  QStringList others;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = volume.rootPath();
    // Single files bind-mounted into containers are volumes too, but no drives.
    if (root == kFileSystemRoot || !QFileInfo(root).isDir()) continue;
    others.append(root);
  }
  others.sort();
  others.removeDuplicates();
  others.prepend(kFileSystemRoot);
  return others;
}

QString DriveOfPath(const QString& path, const QStringList& drives) {
  QString best;
  for (const QString& root : drives) {
    if (root.size() > best.size() && IsSameOrAncestor(root, path)) best = root;
  }
  return best;
}

}  // namespace mdbtokvt::ui
