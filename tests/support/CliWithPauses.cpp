// mdbtokvt-cli-test: mdbtokvt-cli with a pause at one named point of a
// conversion (StopRequest::Reached), for the tests that stop a conversion by
// a signal at a known moment. Built for the tests only and never installed.
//
// MDBTOKVT_TEST_PAUSE_AT names the point ("reader", "GROUPTAB.KVT rows",
// "commit", ...; see the Checkpoint and Reached calls of the conversion) and
// MDBTOKVT_TEST_PAUSE_READY a file to create there. The first thread to
// reach the point creates the file and waits until a stop is requested (at
// most a minute, so a test that never sends its signal cannot hang), then
// goes on; every later arrival goes on at once.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "common/StopRequest.h"

namespace {

constexpr int kLongestPauseMs = 60000;

// Creates path under another name first, so it appears whole.
void SayReady(const std::string& path) {
  const std::string partial = path + ".partial";
  const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string pid = std::to_string(::getpid());
  [[maybe_unused]] const ssize_t written = ::write(fd, pid.data(), pid.size());
  ::close(fd);
  ::rename(partial.c_str(), path.c_str());
}

void PauseUntilStopped(const mdbtokvt::StopRequest& stop) {
  pollfd wake{stop.wakeFd(), POLLIN, 0};
  while (!stop.requested() && ::poll(&wake, 1, kLongestPauseMs) < 0 && errno == EINTR) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  mdbtokvt::StopRequest stop;
  const char* at = std::getenv("MDBTOKVT_TEST_PAUSE_AT");
  const char* ready = std::getenv("MDBTOKVT_TEST_PAUSE_READY");
  if (at != nullptr && ready != nullptr) {
    auto paused = std::make_shared<std::atomic<bool>>(false);
    stop.SetPointObserver([&stop, point = std::string(at), file = std::string(ready),
                           paused](std::string_view reached) {
      if (reached != point || paused->exchange(true)) return;
      SayReady(file);
      PauseUntilStopped(stop);
    });
  }
  return mdbtokvt::RunCommandLine(args, std::cout, std::cerr, stop);
}
