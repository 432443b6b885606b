// The name of a system call, for the message that tells which call the
// reader's sandbox stopped (the reader itself can only give its number).
#pragma once

#include <string>

namespace mdbtokvt {

// The name of a system call of this architecture, or "system call N".
std::string SyscallName(int number);

}  // namespace mdbtokvt
