// mdbtokvt-cli with a crash at a chosen file-system step, for the crash
// tests; never installed. "mdbtokvt-cli-crash N ARGS..." runs the command
// line with ARGS and ends the process with _exit before the N-th step in an
// output folder (each create, write, sync, rename, unlink), leaving the
// files as a crash at that moment would. N = 0, or a command with fewer
// steps, runs to the end and prints "file-system steps: <count>" on stderr.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "common/StopRequest.h"
#include "run/FileSteps.h"

namespace {

constexpr int kCrashStatus = 86;

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 2) {
    std::cerr << "usage: mdbtokvt-cli-crash N ARGS...\n";
    return 2;
  }
  const long crashAt = std::strtol(argv[1], nullptr, 10);
  long step = 0;
  const mdbtokvt::FileStepHook hook = [&](mdbtokvt::FileStep kind, const std::string& path) {
    if (++step != crashAt) return;
    const std::string line = "crash before step " + std::to_string(step) + ": " +
                             mdbtokvt::FileStepName(kind) + " " + path + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
    ::_exit(kCrashStatus);
  };
  const std::vector<std::string> args(argv + 2, argv + argc);
  mdbtokvt::StopRequest stop;
  const int status = mdbtokvt::RunCommandLine(args, std::cout, std::cerr, stop, hook);
  std::cerr << "file-system steps: " << step << "\n";
  return status;
}
