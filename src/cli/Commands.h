// The commands of mdbtokvt-cli. Each takes the arguments after its name and
// returns the exit status (0 success, 1 failure, 2 wrong usage, and for
// convert 128 + the number of the signal that stopped it).
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/CodePageChoice.h"
#include "run/FileSteps.h"

namespace mdbtokvt {

class StopRequest;

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// Added to the number of the signal that stopped a conversion.
inline constexpr int kExitSignalBase = 128;

using Arguments = std::vector<std::string>;

// The stop signals request a stop of stop while the conversion runs; steps
// is told of every file-system step in the output folder (test builds
// listen; the program does not).
int ConvertCommand(const Arguments& args, std::ostream& out, std::ostream& err, StopRequest& stop,
                   const FileStepHook& steps);
int DumpCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int VerifyCommand(const Arguments& args, std::ostream& out, std::ostream& err,
                  const FileStepHook& steps);

// Prints "mdbtokvt-cli: [command: ]message" and where to find the help;
// returns kExitUsage. An empty command stands for the program itself.
int UsageError(std::ostream& err, std::string_view command, const std::string& message);
// Prints "Error <number>: <description>" for the exception in flight.
int ReportError(std::ostream& err);

std::string Quoted(const std::string& s);
// 'text', the way usage errors quote what was typed.
std::string Typed(std::string_view text);

// What a command accepts: its options (each takes a value) and the names of
// its positional arguments, all of which it needs.
struct CommandSyntax {
  std::string_view name;
  std::string_view usage;
  std::vector<std::string> options;
  std::vector<std::string> positionalNames;
};

// The arguments of a command, split into positional ones and
// "--name value" / "--name=value" options.
struct ParsedArguments {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  const std::string* Option(const std::string& name) const;
};

// Parses a command's arguments. Returns the exit status when the command
// ends here: 0 once -h or --help has printed its usage, kExitUsage after a
// usage error naming what is wrong (an unknown option, a missing value, a
// missing or an unexpected argument); nothing when parsed holds them.
std::optional<int> ParseCommandArguments(const CommandSyntax& syntax, const Arguments& args,
                                         ParsedArguments& parsed, std::ostream& out,
                                         std::ostream& err);

// The index of the keyword text is, letter case aside.
std::optional<size_t> MatchKeyword(std::string_view text,
                                   std::initializer_list<std::string_view> keywords);

// The code page of --codepage when it is given, else the locale's (from the
// process's environment). Nothing, after printing a usage error that names
// the accepted forms, for a name that is no single-byte code page: the
// command then ends with kExitUsage.
std::optional<CodePageChoice> ChooseCodePage(const ParsedArguments& parsed,
                                             std::string_view command, std::ostream& err);

}  // namespace mdbtokvt
