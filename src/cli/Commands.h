// The commands of mdbtokvt-cli. Each takes the arguments after its name and
// returns the exit status (0 success, 1 failure, 2 wrong usage, and for
// convert 128 + the number of the signal that stopped it).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mdbtokvt {

class StopRequest;

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// Added to the number of the signal that stopped a conversion.
inline constexpr int kExitSignalBase = 128;

using Arguments = std::vector<std::string>;

// The stop signals request a stop of stop while the conversion runs.
int ConvertCommand(const Arguments& args, std::ostream& out, std::ostream& err, StopRequest& stop);
int DumpCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int VerifyCommand(const Arguments& args, std::ostream& out, std::ostream& err);

// Prints a usage error and the usage text; returns kExitUsage.
int UsageError(std::ostream& err, const std::string& message);
// Prints "Error <number>: <description>" for the exception in flight.
int ReportError(std::ostream& err);

std::string Quoted(const std::string& s);

// Splits arguments into positional ones and "--name value" / "--name=value"
// options (all of which take a value). Returns false on an unknown option or
// a missing value, with the message in error.
struct ParsedArguments {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  const std::string* Option(const std::string& name) const;
};
bool ParseArguments(const Arguments& args, const std::vector<std::string>& knownOptions,
                    ParsedArguments& parsed, std::string& error);

}  // namespace mdbtokvt
