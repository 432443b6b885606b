#include "readerclient/SyscallName.h"

#include <seccomp.h>

#include <cstdlib>
#include <memory>

namespace mdbtokvt {

std::string SyscallName(int number) {
  const std::unique_ptr<char, decltype(&std::free)> name(
      seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, number), &std::free);
  return name ? std::string(name.get()) : "system call " + std::to_string(number);
}

}  // namespace mdbtokvt
