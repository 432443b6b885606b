// mdbtokvt-reader-test: the reader with a hook for the tests of its sandbox
// (tests/core/hardening_sandbox_test.cpp). Built for the tests only and never
// installed; the installed reader has no hook.
//
// MDBTOKVT_READER_TEST_ATTEMPT says what it tries once it has locked itself
// down, before libmdb reads past the header page:
//   open:PATH      open PATH for reading and read from it
//   create:PATH    create the file PATH
//   exec:PATH      run the program PATH in place of the reader
//   connect:PORT   make a TCP connection to 127.0.0.1:PORT
//   fork:PATH      start a process that creates the file PATH
//   pause:MS       wait MS milliseconds
//   hold           wait until killed (a reader still reading)
//   out-of-memory  ask GLib for more memory than there is
// Whatever succeeds, the reader goes on as usual.
//
// MDBTOKVT_READER_TEST_KERNEL=no-seccomp or no-landlock makes the kernel
// look, to the reader, as if it lacked seccomp or Landlock: a filter
// installed before the reader starts answers those calls as such a kernel
// does.
#include <arpa/inet.h>
#include <fcntl.h>
#include <glib.h>
#include <netinet/in.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "reader/ReaderMain.h"

namespace {

void Attempt(std::string_view what) {
  const auto argument = [what](std::string_view name) -> std::string {
    return what.starts_with(name) ? std::string(what.substr(name.size())) : std::string();
  };
  if (const std::string path = argument("open:"); !path.empty()) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    char buffer[64];
    if (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0) ::close(fd);
  } else if (const std::string path = argument("create:"); !path.empty()) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) ::close(fd);
  } else if (const std::string path = argument("exec:"); !path.empty()) {
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    ::execv(path.c_str(), argv);
  } else if (const std::string port = argument("connect:"); !port.empty()) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      [[maybe_unused]] const ssize_t sent = ::write(fd, "x", 1);
    }
    if (fd >= 0) ::close(fd);
  } else if (const std::string path = argument("fork:"); !path.empty()) {
    const pid_t child = ::fork();
    if (child == 0) {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
      ::_exit(fd >= 0 ? 0 : 1);
    }
    if (child > 0) ::waitpid(child, nullptr, 0);
  } else if (const std::string ms = argument("pause:"); !ms.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(ms)));
  } else if (what == "hold") {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  } else if (what == "out-of-memory") {
    g_free(g_malloc(G_MAXSIZE / 2));
  }
}

void PretendKernelLacks(std::string_view feature) {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
  if (feature == "no-seccomp") {
    seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(seccomp), 0);
    for (const int option : {PR_GET_SECCOMP, PR_SET_SECCOMP}) {
      seccomp_rule_add(filter, SCMP_ACT_ERRNO(EINVAL), SCMP_SYS(prctl), 1,
                       SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(option)));
    }
  } else if (feature == "no-landlock") {
    seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(landlock_create_ruleset), 0);
  }
  if (seccomp_load(filter) != 0) std::abort();
  seccomp_release(filter);
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* feature = std::getenv("MDBTOKVT_READER_TEST_KERNEL")) {
    PretendKernelLacks(feature);
  }
  const char* attempt = std::getenv("MDBTOKVT_READER_TEST_ATTEMPT");
  return mdbtokvt::ReaderMain(argc, argv, [attempt] {
    if (attempt != nullptr) Attempt(attempt);
  });
}
