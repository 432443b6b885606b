// The command line front end: parses the arguments and runs one command.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "run/FileSteps.h"

namespace mdbtokvt {

// Runs the command line; returns the process exit status (0 success,
// 1 failure of the command, 2 wrong usage).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same, telling steps of every file-system step in an output folder (for
// a test build that stops the process at one of them).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const FileStepHook& steps);

}  // namespace mdbtokvt
