#include "run/FolderRecovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "common/Error.h"
#include "common/UniqueFd.h"
#include "run/CommitRecord.h"
#include "run/FileFuncs.h"
#include "run/FolderLock.h"
#include "run/OutputFolder.h"
#include "run/StagingNames.h"

namespace mdbtokvt {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

void Step(const FileStepHook& steps, FileStep step, const std::string& path) {
  if (steps) steps(step, path);
}

void Rename(const FileStepHook& steps, const std::string& from, const std::string& to) {
  Step(steps, FileStep::kRename, from);
  if (::rename(from.c_str(), to.c_str()) != 0) ThrowFileError(errno, to);
}

void Unlink(const FileStepHook& steps, const std::string& path) {
  Step(steps, FileStep::kUnlink, path);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowFileError(errno, path);
}

void SyncFolders(const FileStepHook& steps, const std::string& outputFolder,
                 const std::vector<CommitEntry>& entries) {
  std::vector<std::string> folders{outputFolder};
  for (const CommitEntry& e : entries) {
    if (!e.folder.empty() && std::find(folders.begin(), folders.end(), e.folder) == folders.end())
      folders.push_back(e.folder);
  }
  for (const std::string& folder : folders) {
    Step(steps, FileStep::kSync, folder);
    if (const int err = SyncFolder(folder); err != 0) ThrowFileError(err, folder);
  }
}

// Puts every new file in place: those still staged move over their targets
// (the old ones, where still there, go with the move), then the backups go.
void FinishCommit(const std::string& folder, const std::vector<CommitEntry>& entries,
                  const FileStepHook& steps) {
  for (const CommitEntry& e : entries) {
    const std::string temporary = EntryPath(folder, e, e.temporary);
    if (Exists(temporary)) Rename(steps, temporary, EntryPath(folder, e, e.target));
  }
  SyncFolders(steps, folder, entries);
  for (const CommitEntry& e : entries) {
    if (!e.backup.empty() && Exists(EntryPath(folder, e, e.backup))) {
      Unlink(steps, EntryPath(folder, e, e.backup));
    }
  }
}

// Puts every old file back and removes the new ones. Runs only under the
// undo record, so each step can tell where it is: a target whose backup is
// gone holds the old file again.
void UndoCommit(const std::string& folder, const std::vector<CommitEntry>& entries,
                const FileStepHook& steps) {
  for (const CommitEntry& e : entries) {
    const std::string target = EntryPath(folder, e, e.target);
    const std::string temporary = EntryPath(folder, e, e.temporary);
    if (!e.backup.empty()) {
      const std::string backup = EntryPath(folder, e, e.backup);
      if (Exists(backup)) Rename(steps, backup, target);
    } else if (!Exists(temporary) && Exists(target)) {
      Unlink(steps, target);  // a new file where there was none
    }
    if (Exists(temporary)) Unlink(steps, temporary);
  }
  SyncFolders(steps, folder, entries);
}

// True when every new file of the set is there, staged or in place.
bool AllNewFilesThere(const std::string& folder, const std::vector<CommitEntry>& entries) {
  return std::all_of(entries.begin(), entries.end(), [&](const CommitEntry& e) {
    return Exists(EntryPath(folder, e, e.temporary)) || Exists(EntryPath(folder, e, e.target));
  });
}

}  // namespace

CommitOutcome SettleCommitRecord(const std::string& folder, const FileStepHook& steps) {
  const std::string recordPath = JoinPath(folder, kCommitRecordName);
  const std::string undoPath = JoinPath(folder, kUndoRecordName);
  if (const auto undoText = ReadCommitRecord(folder, kUndoRecordName)) {
    // Made by renaming a whole record, so it is one.
    if (const auto entries = ParseCommitRecord(*undoText)) UndoCommit(folder, *entries, steps);
    Unlink(steps, undoPath);
    Step(steps, FileStep::kSync, folder);
    SyncFolder(folder);
    return CommitOutcome::kUndone;
  }
  const auto text = ReadCommitRecord(folder, kCommitRecordName);
  if (!text) return CommitOutcome::kNone;
  const auto entries = ParseCommitRecord(*text);
  if (!entries) {
    // The record is made durable before the first move: nothing has moved.
    Unlink(steps, recordPath);
    Step(steps, FileStep::kSync, folder);
    SyncFolder(folder);
    return CommitOutcome::kDropped;
  }
  if (!AllNewFilesThere(folder, *entries)) {
    Rename(steps, recordPath, undoPath);
    Step(steps, FileStep::kSync, folder);
    if (const int err = SyncFolder(folder); err != 0) ThrowFileError(err, folder);
    UndoCommit(folder, *entries, steps);
    Unlink(steps, undoPath);
    Step(steps, FileStep::kSync, folder);
    SyncFolder(folder);
    return CommitOutcome::kUndone;
  }
  FinishCommit(folder, *entries, steps);
  Unlink(steps, recordPath);
  Step(steps, FileStep::kSync, folder);
  SyncFolder(folder);
  return CommitOutcome::kFinished;
}

int RemoveStaleStagedFiles(const std::string& folder, std::string_view onlyTarget,
                           const FileStepHook& steps) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "/" : folder.c_str()),
                                                ::closedir);
  if (!dir) return 0;
  std::vector<std::pair<std::string, StagingName>> found;
  while (const dirent* entry = ::readdir(dir.get())) {
    auto parsed = ParseStagingName(entry->d_name);
    if (parsed && (onlyTarget.empty() || parsed->target == onlyTarget)) {
      found.emplace_back(entry->d_name, std::move(*parsed));
    }
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  int removed = 0;
  for (const auto& [name, staged] : found) {
    const std::string path = JoinPath(folder, name);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    // Held by a running conversion, or no lock to be had here: leave it.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    const std::string target = JoinPath(folder, staged.target);
    if (staged.backup && !Exists(target)) {
      Step(steps, FileStep::kRename, path);
      if (::rename(path.c_str(), target.c_str()) == 0) continue;
    }
    Step(steps, FileStep::kUnlink, path);
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  if (!found.empty()) {
    Step(steps, FileStep::kSync, folder);
    SyncFolder(folder);
  }
  return removed;
}

std::vector<std::string> TidyOutputFolder(const std::string& folder, const FileStepHook& steps) {
  std::vector<std::string> notes;
  const FolderLock lock(folder);
  switch (SettleCommitRecord(folder, steps)) {
    case CommitOutcome::kFinished:
      notes.push_back("A conversion into " + folder +
                      " was stopped while it replaced the files; its new files are now in place");
      break;
    case CommitOutcome::kUndone:
      notes.push_back("A conversion into " + folder +
                      " was stopped while it replaced the files; the old files are back");
      break;
    case CommitOutcome::kNone:
    case CommitOutcome::kDropped:
      break;
  }
  if (const int removed = RemoveStaleStagedFiles(folder, {}, steps); removed > 0) {
    notes.push_back(RemovedStagedFilesNote(removed, folder));
  }
  return notes;
}

std::string RemovedStagedFilesNote(int count, const std::string& folder) {
  return "Removed " + std::to_string(count) +
         (count == 1 ? " temporary file" : " temporary files") +
         " that a stopped conversion had left in " + folder;
}

}  // namespace mdbtokvt
