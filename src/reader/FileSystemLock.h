// Landlock, where the kernel offers it: the process gives up opening,
// creating, changing, removing or running any file or folder, binding or
// connecting TCP sockets, and signalling or reaching processes outside it.
// Descriptors it already holds keep working. A second wall behind the
// system-call filter, which already refuses every call that takes a path.
#pragma once

#include <string>

namespace mdbtokvt {

// Locks the calling thread (the reader has no other) and every process it
// could start. Needs no_new_privs set. Returns an empty string when done,
// else what kept it from being done (no Landlock in this kernel, ...).
std::string CloseFileSystem();

}  // namespace mdbtokvt
