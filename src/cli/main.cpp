#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "common/StopRequest.h"

int main(int argc, char** argv) {
  // A file-size limit must surface as a "Disk full" error, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  mdbtokvt::StopRequest stop;
  return mdbtokvt::RunCommandLine(args, std::cout, std::cerr, stop);
}
