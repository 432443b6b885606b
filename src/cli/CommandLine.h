// The command line front end: parses the arguments and runs one command.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mdbtokvt {

// Runs the command line; returns the process exit status (0 success,
// 1 failure of the command, 2 wrong usage).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace mdbtokvt
