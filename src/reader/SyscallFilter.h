// The reader's system-call filter (seccomp, built with libseccomp): once it
// is in place the process can use the descriptors it has, manage its memory,
// tell the time, signal itself and exit, and nothing else. No call opens a
// file, starts a program or a process, makes a socket or reaches another
// process.
#pragma once

namespace mdbtokvt {

// Installs the filter on the calling thread (the reader has no other) and
// every process it could start. A forbidden call raises SIGSYS (see
// ReaderSandbox.cpp); a call of another architecture's system-call table
// ends the process at once. Needs no_new_privs set. Returns 0, or the errno
// of what failed (a kernel without seccomp: EINVAL or ENOSYS).
int InstallSyscallFilter();

}  // namespace mdbtokvt
