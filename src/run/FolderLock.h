// An exclusive lock on a folder, held by the conversions that change it
// (creating staged files, putting them in place, repairing what a stopped
// conversion left), so they never interleave.
#pragma once

#include <string>

#include "common/UniqueFd.h"

namespace mdbtokvt {

class FolderLock {
 public:
  // Waits for the lock. A folder that cannot be opened (missing, no folder)
  // gives no lock and no error: the file operations that follow report it.
  explicit FolderLock(const std::string& folder);

  // Makes the folder's entries (files created, moved, removed) durable.
  // Returns the errno value of a failure, or 0.
  int Sync() const;

 private:
  UniqueFd fd_;
};

// Makes a folder's entries durable without locking it. Returns the errno
// value of a failure, or 0.
int SyncFolder(const std::string& folder);

}  // namespace mdbtokvt
