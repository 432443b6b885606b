#include "reader/FileSystemLock.h"

#include <linux/landlock.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/UniqueFd.h"

namespace mdbtokvt {

namespace {

// The ruleset attribute of the kernel's current Landlock ABI (version 6);
// the system headers of Debian 12 know the first field only. An older
// kernel is given the part it knows.
struct RulesetAttributes {
  uint64_t handledAccessFs = 0;
  uint64_t handledAccessNet = 0;  // ABI 4
  uint64_t scoped = 0;            // ABI 6
};

// Rights of ABI 1 (execute ... make symlink: bits 0-12), REFER (ABI 2),
// TRUNCATE (ABI 3), IOCTL_DEV (ABI 5).
constexpr uint64_t kFsRightsAbi1 = (uint64_t{1} << 13) - 1;
constexpr uint64_t kFsRefer = uint64_t{1} << 13;
constexpr uint64_t kFsTruncate = uint64_t{1} << 14;
constexpr uint64_t kFsIoctlDev = uint64_t{1} << 15;
constexpr uint64_t kNetBindTcp = uint64_t{1} << 0;
constexpr uint64_t kNetConnectTcp = uint64_t{1} << 1;
constexpr uint64_t kScopeAbstractUnixSocket = uint64_t{1} << 0;
constexpr uint64_t kScopeSignal = uint64_t{1} << 1;

std::string Failed(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

}  // namespace

std::string CloseFileSystem() {
  const long abi =
      ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 1) {
    const int error = errno;
    if (error == ENOSYS) return "this kernel has no Landlock";
    if (error == EOPNOTSUPP) return "Landlock is turned off in this kernel";
    return Failed("Landlock", error);
  }
  RulesetAttributes attributes;
  size_t size = sizeof attributes.handledAccessFs;
  attributes.handledAccessFs = kFsRightsAbi1;
  if (abi >= 2) attributes.handledAccessFs |= kFsRefer;
  if (abi >= 3) attributes.handledAccessFs |= kFsTruncate;
  if (abi >= 4) {
    attributes.handledAccessNet = kNetBindTcp | kNetConnectTcp;
    size = offsetof(RulesetAttributes, scoped);
  }
  if (abi >= 5) attributes.handledAccessFs |= kFsIoctlDev;
  if (abi >= 6) {
    attributes.scoped = kScopeAbstractUnixSocket | kScopeSignal;
    size = sizeof attributes;
  }
  // Every right handled and no rule granting any: nothing is allowed.
  const UniqueFd ruleset(
      static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0)));
  if (!ruleset) return Failed("Landlock ruleset", errno);
  if (::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) != 0) {
    return Failed("Landlock", errno);
  }
  return {};
}

}  // namespace mdbtokvt
