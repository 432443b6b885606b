#include "reader/ReaderSandbox.h"

#include <glib.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "reader/FileSystemLock.h"
#include "reader/SyscallFilter.h"
#include "readerprotocol/ReaderProtocol.h"

namespace mdbtokvt {

namespace {

constexpr const char* kSwitch = "MDBTOKVT_READER_SANDBOX";

void Say(const std::string& text) {
  const std::string line = "mdbtokvt-reader: " + text + "\n";
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

// Libraries that read files the first time they need them, made to do so
// now. GLib, when it first prints a message (its out-of-memory error above
// all), reads the time zone and the locale's character set and converts
// with iconv; with TZ set, later messages do not look at the zone file
// again. stdio asks for stdout's block size when it first writes to it.
// SQLite reads /dev/urandom when it first needs a random number.
void LoadWhatLibrariesLoadLater() {
  if (std::getenv("TZ") == nullptr) ::setenv("TZ", ":/etc/localtime", 1);
  ::tzset();
  const char* charset = nullptr;
  g_get_charset(&charset);
  g_free(g_convert("x", 1, charset, "UTF-8", nullptr, nullptr, nullptr));
  std::setvbuf(stdout, nullptr, _IOFBF, 0);
  sqlite3_randomness(0, nullptr);
}

// Names the call on stderr, then ends the process with SIGSYS: the handler
// was reset to the default action on entry. Only async-signal-safe calls.
void OnForbiddenCall(int, siginfo_t* info, void*) {
  char line[96];
  size_t length = kForbiddenCallLine.copy(line, sizeof line - 16);
  char digits[16];
  size_t count = 0;
  unsigned number = static_cast<unsigned>(info->si_syscall);
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0 && count < sizeof digits);
  while (count > 0) line[length++] = digits[--count];
  line[length++] = '\n';
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line, length);
  ::raise(SIGSYS);
}

void CatchForbiddenCalls() {
  struct sigaction action {};
  action.sa_sigaction = OnForbiddenCall;
  action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  // Should this fail, SIGSYS keeps its default action: the end, unnamed.
  ::sigaction(SIGSYS, &action, nullptr);
}

std::string WithoutFilterNote(int error) {
  const std::string why = error == EINVAL || error == ENOSYS
                              ? "this kernel does not offer seccomp"
                              : std::string("it could not be installed: ") + std::strerror(error);
  return "The Access file was read without the reader's system-call filter (" + why + ").";
}

}  // namespace

SandboxOutcome LockDownReader() {
  SandboxOutcome outcome;
  if (const char* setting = std::getenv(kSwitch);
      setting != nullptr && std::string_view(setting) == "0") {
    Say("the sandbox is off (MDBTOKVT_READER_SANDBOX=0)");
    return outcome;
  }
  LoadWhatLibrariesLoadLater();
  // Neither Landlock nor a filter can be set up without it.
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
    outcome.reportNote = WithoutFilterNote(errno);
    Say(outcome.reportNote);
    return outcome;
  }
  const std::string fileSystem = CloseFileSystem();
  outcome.fileSystemClosed = fileSystem.empty();
  CatchForbiddenCalls();
  const int error = InstallSyscallFilter();
  outcome.filtered = error == 0;
  if (!outcome.fileSystemClosed) {
    Say("the file system is not closed by Landlock (" + fileSystem + ")" +
        (outcome.filtered ? "; the system-call filter alone keeps the reader from opening files"
                          : ""));
  }
  if (!outcome.filtered) {
    outcome.reportNote = WithoutFilterNote(error);
    Say(outcome.reportNote);
  }
  return outcome;
}

}  // namespace mdbtokvt
