// The command line front end: parses the arguments and runs one command.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "run/FileSteps.h"

namespace mdbtokvt {

class StopRequest;

// Runs the command line; returns the process exit status (0 success,
// 1 failure of the command, 2 wrong usage, 128 + the signal's number when a
// signal stopped a conversion). While convert runs, the stop signals
// (StopOnSignals.h) request a stop of stop. steps is told of every
// file-system step in an output folder (for a test build that ends the
// process at one of them).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   StopRequest& stop, const FileStepHook& steps = {});

}  // namespace mdbtokvt
