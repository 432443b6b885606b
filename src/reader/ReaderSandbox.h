// The reader's sandbox. Once the reader has opened what it needs (the tables
// file, the database mapped into memory with its header page read, the code
// pages) and before libmdb reads any other page, it gives up every right it
// does not need: no_new_privs, Landlock where the kernel offers it
// (FileSystemLock.h), then the system-call filter (SyscallFilter.h). A
// forbidden call ends the reader with SIGSYS, after it has written
// kForbiddenCallLine (ReaderProtocol.h) and the call's number to stderr.
// MDBTOKVT_READER_SANDBOX=0 turns the sandbox off, for debugging.
#pragma once

#include <string>

namespace mdbtokvt {

struct SandboxOutcome {
  bool filtered = false;          // the system-call filter is in place
  bool fileSystemClosed = false;  // Landlock is in place
  // Set when the filter could not be installed (a kernel without seccomp):
  // the line the conversion report carries.
  std::string reportNote;
};

// Locks the calling process down; never fails. Says on stderr, one line
// each, what could not be done.
SandboxOutcome LockDownReader();

}  // namespace mdbtokvt
