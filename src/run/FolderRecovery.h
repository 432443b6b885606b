// Repairs what a conversion that ended without cleaning up (killed, or the
// power gone) left in a folder: a commit cut short, and staged files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run/FileSteps.h"

namespace mdbtokvt {

enum class CommitOutcome {
  kNone,      // no record: no commit was cut short
  kDropped,   // a record cut short while it was written: nothing had moved
  kFinished,  // every new file was there: all of them are now in place
  kUndone,    // a new file was missing: all the old files are back
};

// Settles a commit record left in folder. The commit is finished when every
// new file is there (staged or already in place); otherwise the old files are
// put back. Either way the backups and the record are removed. The caller
// holds the folder's lock. Throws ConversionError when a file cannot be
// moved; the record then stays for the next attempt.
CommitOutcome SettleCommitRecord(const std::string& folder, const FileStepHook& steps);

// Removes the staged files (temporaries, and backups of an older program)
// that no running conversion holds: each staged file is locked while its
// conversion runs, so one that can be locked belongs to a conversion that is
// gone. A backup whose target is missing is put back instead. onlyTarget,
// when not empty, limits this to the staged files of that name. The caller
// holds the folder's lock. Returns how many files were removed.
int RemoveStaleStagedFiles(const std::string& folder, std::string_view onlyTarget,
                           const FileStepHook& steps);

// Both, under the folder's lock. Returns one line for each thing done.
std::vector<std::string> TidyOutputFolder(const std::string& folder, const FileStepHook& steps);

// The line saying that count staged files of a stopped conversion were removed.
std::string RemovedStagedFilesNote(int count, const std::string& folder);

}  // namespace mdbtokvt
