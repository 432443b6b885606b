#include "run/OutputFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "common/Error.h"
#include "run/CommitRecord.h"
#include "run/FileFuncs.h"
#include "run/FolderLock.h"
#include "run/FolderRecovery.h"
#include "run/StagingNames.h"

namespace mdbtokvt {

std::string JoinPath(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += fileName;
  return path;
}

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool SameFolder(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.empty() ? "/" : a.c_str(), &sa) == 0 &&
         ::stat(b.empty() ? "/" : b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
  return real ? std::string(real.get()) : path;
}

// Locks a staged file for as long as it is staged, through a descriptor of
// its own (the stream's may close first). Without a lock to be had (a file
// system without flock) the file is simply not claimed: the clean-up of
// stale files cannot lock it either, and leaves it.
UniqueFd LockStagedFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (fd) ::flock(fd.get(), LOCK_EX | LOCK_NB);
  return fd;
}

// Announces the writes and the closing sync of a staged file.
class SteppedStream final : public OutputStream {
 public:
  SteppedStream(std::unique_ptr<OutputStream> inner, FileStepHook steps, std::string path)
      : inner_(std::move(inner)), steps_(std::move(steps)), path_(std::move(path)) {}
  void Append(const uint8_t* data, size_t size) override {
    steps_(FileStep::kWrite, path_);
    inner_->Append(data, size);
  }
  std::vector<uint8_t> AppendOwned(std::vector<uint8_t> buffer) override {
    steps_(FileStep::kWrite, path_);
    return inner_->AppendOwned(std::move(buffer));
  }
  void Overwrite(uint64_t offset, const uint8_t* data, size_t size) override {
    steps_(FileStep::kWrite, path_);
    inner_->Overwrite(offset, data, size);
  }
  void Close() override {
    steps_(FileStep::kSync, path_);
    inner_->Close();
  }

 private:
  std::unique_ptr<OutputStream> inner_;
  FileStepHook steps_;
  std::string path_;
};

}  // namespace

OutputFolder::OutputFolder(std::string folder, StreamFactory factory, FileStepHook steps)
    : folder_(std::move(folder)), factory_(std::move(factory)), steps_(std::move(steps)) {}

OutputFolder::~OutputFolder() {
  if (!committed_) Discard();
}

std::vector<std::string> OutputFolder::Tidy() { return TidyOutputFolder(folder_, steps_); }

TableFile& OutputFolder::Stage(Staged staged) {
  if (steps_) steps_(FileStep::kCreate, staged.temporary);
  auto stream = factory_(staged.temporary);
  if (steps_) stream = std::make_unique<SteppedStream>(std::move(stream), steps_, staged.temporary);
  staged.lock = LockStagedFile(staged.temporary);
  staged.file = std::make_unique<TableFile>(std::move(stream));
  staged_.push_back(std::move(staged));
  return *staged_.back().file;
}

TableFile& OutputFolder::Create(std::string_view fileName) {
  // Under the folder's lock, so the clean-up of another conversion never
  // sees the file before it is locked.
  const FolderLock lock(folder_);
  return Stage({"", JoinPath(folder_, fileName), JoinPath(folder_, TemporaryNameFor(fileName)),
                UniqueFd(), nullptr});
}

TableFile& OutputFolder::CreateBeside(const std::string& path, std::vector<std::string>& notes) {
  const std::string target = RealPath(path);
  const std::string folder = FolderOf(target);
  const std::string name = NameOf(target);
  const FolderLock lock(folder);
  if (const int removed = RemoveStaleStagedFiles(folder, name, steps_); removed > 0) {
    notes.push_back(RemovedStagedFilesNote(removed, folder));
  }
  return Stage({SameFolder(folder, folder_) ? std::string() : RealPath(folder), target,
                JoinPath(folder, TemporaryNameFor(name)), UniqueFd(), nullptr});
}

void OutputFolder::Commit() {
  for (auto& s : staged_) s.file->Close();

  FolderLock lock(folder_);
  // A commit another conversion left unfinished since this one began.
  SettleCommitRecord(folder_, steps_);
  // Refuse before touching anything when a target is there but is no file.
  for (const auto& s : staged_) {
    struct stat st {};
    if (::lstat(s.target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      throw ConversionError(ErrorNumber::kPathFileAccess,
                            ClassicDescription(ErrorNumber::kPathFileAccess) + " (" + s.target +
                                " exists and is not a file)");
    }
  }
  std::vector<CommitEntry> entries;
  std::vector<std::string> backups;  // empty where there is no old file
  std::vector<std::string> otherFolders;
  for (const auto& s : staged_) {
    const std::string backup = Exists(s.target) ? BackupNameFor(s.temporary) : std::string();
    backups.push_back(backup);
    entries.push_back({s.recordFolder, NameOf(s.target), NameOf(s.temporary),
                       backup.empty() ? std::string() : NameOf(backup)});
    const std::string folder = FolderOf(s.target);
    if (!s.recordFolder.empty() &&
        std::find(otherFolders.begin(), otherFolders.end(), folder) == otherFolders.end()) {
      otherFolders.push_back(folder);
    }
  }
  // The staged files' names must be durable before the record that names
  // them; the output folder's sync after the record covers its own.
  for (const std::string& folder : otherFolders) {
    if (steps_) steps_(FileStep::kSync, folder);
    if (const int err = SyncFolder(folder); err != 0) ThrowFileError(err, folder);
  }
  const std::string record = JoinPath(folder_, kCommitRecordName);
  WriteCommitRecord(folder_, entries, steps_);
  if (steps_) steps_(FileStep::kSync, folder_);
  if (const int err = lock.Sync(); err != 0) {
    ::unlink(record.c_str());
    ThrowFileError(err, folder_);
  }

  // Move each old file aside, then the new one in. On a failure, each new
  // file goes back to its staged name before its old one returns, so a crash
  // while undoing leaves a state the record still describes.
  size_t moved = 0;
  const auto undo = [&](bool currentAside) noexcept {
    bool ok = true;
    if (currentAside) ok = ::rename(backups[moved].c_str(), staged_[moved].target.c_str()) == 0;
    for (size_t i = moved; i-- > 0;) {
      const Staged& s = staged_[i];
      ok = ::rename(s.target.c_str(), s.temporary.c_str()) == 0 && ok;
      if (!backups[i].empty()) ok = ::rename(backups[i].c_str(), s.target.c_str()) == 0 && ok;
    }
    if (!ok) {
      keepForRecovery_ = true;  // the record and the staged files settle it later
      return;
    }
    for (const std::string& folder : otherFolders) SyncFolder(folder);
    lock.Sync();
    ::unlink(record.c_str());
    lock.Sync();
  };
  for (; moved < staged_.size(); ++moved) {
    const Staged& s = staged_[moved];
    if (!backups[moved].empty()) {
      if (steps_) steps_(FileStep::kRename, s.target);
      if (::rename(s.target.c_str(), backups[moved].c_str()) != 0) {
        const int err = errno;
        undo(false);
        ThrowFileError(err, s.target);
      }
    }
    if (steps_) steps_(FileStep::kRename, s.temporary);
    if (::rename(s.temporary.c_str(), s.target.c_str()) != 0) {
      const int err = errno;
      undo(!backups[moved].empty());
      ThrowFileError(err, s.target);
    }
  }
  committed_ = true;

  // The moves are durable before the backups (the way back) go.
  for (const std::string& folder : otherFolders) {
    if (steps_) steps_(FileStep::kSync, folder);
    SyncFolder(folder);
  }
  if (steps_) steps_(FileStep::kSync, folder_);
  lock.Sync();
  for (const std::string& backup : backups) {
    if (backup.empty()) continue;
    if (steps_) steps_(FileStep::kUnlink, backup);
    ::unlink(backup.c_str());
  }
  if (steps_) steps_(FileStep::kUnlink, record);
  ::unlink(record.c_str());
  if (steps_) steps_(FileStep::kSync, folder_);
  lock.Sync();
  staged_.clear();
}

void OutputFolder::Discard() noexcept {
  for (auto& s : staged_) {
    s.file.reset();
    if (!keepForRecovery_) ::unlink(s.temporary.c_str());
  }
  staged_.clear();
}

}  // namespace mdbtokvt
