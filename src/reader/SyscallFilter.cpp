#include "reader/SyscallFilter.h"

#include <errno.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace mdbtokvt {

namespace {

struct FilterReleaser {
  void operator()(scmp_filter_ctx filter) const { seccomp_release(filter); }
};
using Filter = std::unique_ptr<void, FilterReleaser>;

struct Rule {
  int syscall;
  uint32_t action = SCMP_ACT_ALLOW;
  std::vector<scmp_arg_cmp> conditions = {};
};

// The only calls the reader makes once it has opened its files, found by
// tracing it over the fixtures, the real files and the damaged-file corpus.
std::vector<Rule> Rules() {
  const auto withoutExec = SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
  const auto self = static_cast<scmp_datum_t>(::getpid());
  return {
      // Reading and writing the descriptors it holds: the pipes to the
      // converter, the tables file, stdin on /dev/null. libmdb reads the
      // database from memory.
      {SCMP_SYS(read)},
      {SCMP_SYS(write)},
      {SCMP_SYS(writev)},  // glibc's messages before abort()
      {SCMP_SYS(lseek)},
      {SCMP_SYS(close)},
      {SCMP_SYS(fcntl)},
      // libmdb's messages go to another pipe once the catalog is read.
      {SCMP_SYS(dup2)},
      {SCMP_SYS(dup3)},
      // Memory. Nothing may become executable: no new code can run.
      {SCMP_SYS(brk)},
      {SCMP_SYS(mmap), SCMP_ACT_ALLOW, {withoutExec}},
      {SCMP_SYS(mprotect), SCMP_ACT_ALLOW, {withoutExec}},
      {SCMP_SYS(munmap)},
      {SCMP_SYS(mremap)},
      {SCMP_SYS(madvise)},
      // Time.
      {SCMP_SYS(clock_gettime)},
      {SCMP_SYS(clock_getres)},
      {SCMP_SYS(gettimeofday)},
      {SCMP_SYS(time)},
      {SCMP_SYS(nanosleep)},
      {SCMP_SYS(clock_nanosleep)},
      // The process itself: locks, random numbers, signals to itself
      // (abort() and raise()). The handler of SIGSYS stays as it is.
      {SCMP_SYS(futex)},
      {SCMP_SYS(getrandom)},
      {SCMP_SYS(getpid)},
      {SCMP_SYS(gettid)},
      {SCMP_SYS(rt_sigprocmask)},
      {SCMP_SYS(rt_sigreturn)},
      {SCMP_SYS(rt_sigaction), SCMP_ACT_ALLOW, {SCMP_A0(SCMP_CMP_NE, SIGSYS)}},
      {SCMP_SYS(sigaltstack)},
      {SCMP_SYS(restart_syscall)},
      {SCMP_SYS(tgkill), SCMP_ACT_ALLOW, {SCMP_A0(SCMP_CMP_EQ, self)}},
      // Exiting.
      {SCMP_SYS(exit)},
      {SCMP_SYS(exit_group)},
      // Questions GLib asks of stderr before it prints a message, answered
      // as they are for the pipe stderr is. Looking at a file is refused
      // (stdio then takes its default buffer size): these calls take a path
      // as well, and the reader needs none.
      {SCMP_SYS(ioctl), SCMP_ACT_ERRNO(ENOTTY)},
      {SCMP_SYS(getpeername), SCMP_ACT_ERRNO(ENOTSOCK)},
      {SCMP_SYS(fstat), SCMP_ACT_ERRNO(EACCES)},
      {SCMP_SYS(newfstatat), SCMP_ACT_ERRNO(EACCES)},
      {SCMP_SYS(statx), SCMP_ACT_ERRNO(EACCES)},
  };
}

}  // namespace

int InstallSyscallFilter() {
  // A kernel built without seccomp does not know PR_GET_SECCOMP.
  if (::prctl(PR_GET_SECCOMP, 0, 0, 0, 0) < 0) return errno;
  const Filter filter(seccomp_init(SCMP_ACT_TRAP));
  if (!filter) return ENOMEM;
  int rc = seccomp_attr_set(filter.get(), SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS);
  // The errno of a failed load, rather than libseccomp's own code.
  if (rc == 0) rc = seccomp_attr_set(filter.get(), SCMP_FLTATR_API_SYSRAWRC, 1);
  for (const Rule& rule : Rules()) {
    if (rc != 0) break;
    rc = seccomp_rule_add_array(filter.get(), rule.action, rule.syscall,
                                static_cast<unsigned>(rule.conditions.size()),
                                rule.conditions.data());
  }
  if (rc == 0) rc = seccomp_load(filter.get());
  return rc < 0 ? -rc : rc;
}

}  // namespace mdbtokvt
