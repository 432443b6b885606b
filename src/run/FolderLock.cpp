#include "run/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace mdbtokvt {

FolderLock::FolderLock(const std::string& folder)
    : fd_(::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (fd_) {
    while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
  }
}

namespace {

int SyncFd(int fd) {
  if (fd < 0 || ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) return 0;
  return errno;
}

}  // namespace

int FolderLock::Sync() const { return SyncFd(fd_.get()); }

int SyncFolder(const std::string& folder) {
  const UniqueFd fd(
      ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
  return SyncFd(fd.get());
}

}  // namespace mdbtokvt
