// The file-system roots the folder dialog offers as drives.
#pragma once

#include <QString>
#include <QStringList>

namespace mdbtokvt::ui {

// "/" first, then the root folders of the other mounted volumes that are
// ready, in name order, each once.
QStringList MountedDrives();

// The drive holding path (an absolute, clean path): the longest drive root
// that is path itself or one of its ancestors; empty when there is none.
QString DriveOfPath(const QString& path, const QStringList& drives);

}  // namespace mdbtokvt::ui
