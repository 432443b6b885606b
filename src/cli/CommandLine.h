// The command line front end: parses the arguments and runs one command.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mdbtokvt {

class StopRequest;

// Runs the command line; returns the process exit status (0 success,
// 1 failure of the command, 2 wrong usage, 128 + the signal's number when a
// signal stopped a conversion). While convert runs, the stop signals
// (StopOnSignals.h) request a stop of stop.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   StopRequest& stop);

}  // namespace mdbtokvt
