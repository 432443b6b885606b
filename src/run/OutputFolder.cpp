#include "run/OutputFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "common/Error.h"

namespace mdbtokvt {

std::string JoinPath(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += fileName;
  return path;
}

namespace {

// Holds an exclusive lock on the folder while the staged files move into place.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) {
      ::fsync(fd_);
      ::close(fd_);
    }
  }

 private:
  int fd_;
};

}  // namespace

OutputFolder::OutputFolder(std::string folder, StreamFactory factory)
    : folder_(std::move(folder)), factory_(std::move(factory)) {}

OutputFolder::~OutputFolder() {
  if (!committed_) Discard();
}

std::string OutputFolder::TemporaryName(std::string_view fileName) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  return JoinPath(folder_, "." + std::string(fileName) + "." + std::to_string(::getpid()) + "-" +
                               std::to_string(random() % 1000000000) + ".tmp");
}

TableFile& OutputFolder::Create(std::string_view fileName) {
  Staged staged;
  staged.target = JoinPath(folder_, fileName);
  staged.temporary = TemporaryName(fileName);
  auto stream = factory_(staged.temporary);
  staged.file = std::make_unique<TableFile>(std::move(stream));
  staged_.push_back(std::move(staged));
  return *staged_.back().file;
}

void OutputFolder::Commit() {
  for (auto& s : staged_) s.file->Close();

  FolderLock lock(folder_);
  // Refuse before touching anything when a target is there but is no file.
  for (const auto& s : staged_) {
    struct stat st {};
    if (::lstat(s.target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      throw ConversionError(kErrPathFileAccess,
                            "Path/File access error (" + s.target + " exists and is not a file)");
    }
  }
  // Move each old file aside, then the new one in; undo all on a failure.
  struct Done {
    const Staged* staged;
    std::string backup;  // empty when there was no old file
  };
  std::vector<Done> done;
  auto rollback = [&]() noexcept {
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
      if (it->backup.empty()) {
        ::unlink(it->staged->target.c_str());
      } else {
        ::rename(it->backup.c_str(), it->staged->target.c_str());
      }
    }
  };
  for (const auto& s : staged_) {
    Done step{&s, {}};
    if (::access(s.target.c_str(), F_OK) == 0) {
      step.backup = s.temporary + ".old";
      if (::rename(s.target.c_str(), step.backup.c_str()) != 0) {
        const int err = errno;
        rollback();
        ThrowFileError(err, s.target);
      }
    }
    if (::rename(s.temporary.c_str(), s.target.c_str()) != 0) {
      const int err = errno;
      if (!step.backup.empty()) ::rename(step.backup.c_str(), s.target.c_str());
      rollback();
      ThrowFileError(err, s.target);
    }
    done.push_back(std::move(step));
  }
  for (const auto& d : done) {
    if (!d.backup.empty()) ::unlink(d.backup.c_str());
  }
  committed_ = true;
}

void OutputFolder::Discard() noexcept {
  for (auto& s : staged_) {
    s.file.reset();
    ::unlink(s.temporary.c_str());
  }
  staged_.clear();
}

}  // namespace mdbtokvt
