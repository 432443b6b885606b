// The commands of mdbtokvt-cli. Each takes the arguments after its name and
// returns the exit status (0 success, 1 failure, 2 wrong usage).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "run/FileSteps.h"
#include "common/CodePageChoice.h"

namespace mdbtokvt {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

using Arguments = std::vector<std::string>;

// steps: told of every file-system step in the output folder (test builds
// listen; the program does not).
int ConvertCommand(const Arguments& args, std::ostream& out, std::ostream& err,
                   const FileStepHook& steps);
int DumpCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int VerifyCommand(const Arguments& args, std::ostream& out, std::ostream& err,
                  const FileStepHook& steps);

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

// The code page of --codepage when it is given, else the locale's (from the
// process's environment). Nothing, after printing a usage error that names
// the accepted forms, for a name that is no single-byte code page: the
// command then ends with kExitUsage.
std::optional<CodePageChoice> ChooseCodePage(const ParsedArguments& parsed, std::ostream& err);

}  // namespace mdbtokvt
