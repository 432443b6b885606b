#include "cli/CommandLine.h"

#include <iostream>
#include <string_view>

#include "cli/Commands.h"
#include "cli/UsageText.h"
#include "common/Error.h"
#include "common/NamesEqual.h"

#ifndef MDBTOKVT_VERSION
#define MDBTOKVT_VERSION "1.0.0"
#endif

namespace mdbtokvt {

namespace {

constexpr std::string_view kProgram = "mdbtokvt-cli";

bool IsHelp(std::string_view a) { return a == "--help" || a == "-h"; }

// "SOURCE", "SOURCE and OUTDIR", "A, B and C".
std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

// The program's own options take no argument after them.
int NoArgumentAfter(std::string_view option, const Arguments& rest, std::ostream& err) {
  return UsageError(err, "", std::string(option) + ": unexpected argument " + Typed(rest[0]));
}

}  // namespace

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Typed(std::string_view text) { return "'" + std::string(text) + "'"; }

int UsageError(std::ostream& err, std::string_view command, const std::string& message) {
  const std::string help =
      std::string(kProgram) + (command.empty() ? "" : " " + std::string(command)) + " --help";
  err << kProgram << ": " << command << (command.empty() ? "" : ": ") << message << "\n"
      << "Try '" << help << "' for more information.\n";
  return kExitUsage;
}

int ReportError(std::ostream& err) {
  err << ErrorText(ReportCurrentException()) << "\n";
  return kExitFailure;
}

std::optional<size_t> MatchKeyword(std::string_view text,
                                   std::initializer_list<std::string_view> keywords) {
  size_t index = 0;
  for (const std::string_view keyword : keywords) {
    if (NamesEqual(text, keyword)) return index;
    ++index;
  }
  return std::nullopt;
}

const std::string* ParsedArguments::Option(const std::string& name) const {
  const std::string* found = nullptr;
  for (const auto& [key, value] : options) {
    if (key == name) found = &value;  // the last one given wins
  }
  return found;
}

std::optional<int> ParseCommandArguments(const CommandSyntax& syntax, const Arguments& args,
                                         ParsedArguments& parsed, std::ostream& out,
                                         std::ostream& err) {
  const auto usageError = [&](const std::string& message) {
    return UsageError(err, syntax.name, message);
  };
  // Help wins over anything else on the line, as with GNU tools.
  for (const std::string& a : args) {
    if (a == "--") break;
    if (IsHelp(a)) {
      out << syntax.usage;
      return 0;
    }
  }
  bool onlyPositional = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyPositional || a.size() < 2 || a[0] != '-') {
      if (parsed.positional.size() == syntax.positionalNames.size()) {
        return usageError("unexpected argument " + Typed(a));
      }
      parsed.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyPositional = true;
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    bool known = false;
    for (const auto& k : syntax.options) known = known || k == name;
    if (!known) return usageError("unknown option " + Typed(name));
    if (eq != std::string::npos) {
      parsed.options.emplace_back(name, a.substr(eq + 1));
    } else if (i + 1 < args.size()) {
      parsed.options.emplace_back(name, args[++i]);
    } else {
      return usageError("option " + Typed(name) + " needs a value");
    }
  }
  if (parsed.positional.size() < syntax.positionalNames.size()) {
    const std::vector<std::string> missing(
        syntax.positionalNames.begin() + static_cast<std::ptrdiff_t>(parsed.positional.size()),
        syntax.positionalNames.end());
    return usageError("missing " + Listed(missing));
  }
  return std::nullopt;
}

std::optional<CodePageChoice> ChooseCodePage(const ParsedArguments& parsed,
                                             std::string_view command, std::ostream& err) {
  const std::string* name = parsed.Option("--codepage");
  if (name == nullptr) return CodePageOfLocale();
  auto choice = CodePageOfName(*name, "from --codepage");
  if (!choice) {
    UsageError(err, command,
               "unknown or not single-byte code page " + Typed(*name) + "; give " +
                   std::string(kCodePageForms));
  }
  return choice;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   StopRequest& stop, const FileStepHook& steps) {
  if (args.empty()) return UsageError(err, "", "no command given");
  const std::string& command = args[0];
  const Arguments rest(args.begin() + 1, args.end());
  if (IsHelp(command)) {
    if (!rest.empty()) return NoArgumentAfter(command, rest, err);
    out << kProgramUsage;
    return 0;
  }
  if (command == "--version") {
    if (!rest.empty()) return NoArgumentAfter(command, rest, err);
    out << kProgram << " " << MDBTOKVT_VERSION << "\n";
    return 0;
  }
  if (command == "help") {
    // "help COMMAND" is "COMMAND --help".
    if (rest.size() > 1) return UsageError(err, "", "help: unexpected argument " + Typed(rest[1]));
    if (rest.empty()) {
      out << kProgramUsage;
      return 0;
    }
    if (rest[0] == "convert" || rest[0] == "dump" || rest[0] == "verify") {
      return RunCommandLine({rest[0], "--help"}, out, err, stop, steps);
    }
    return UsageError(err, "", "help: unknown command " + Typed(rest[0]));
  }
  if (command == "convert") return ConvertCommand(rest, out, err, stop, steps);
  if (command == "dump") return DumpCommand(rest, out, err);
  if (command == "verify") return VerifyCommand(rest, out, err, steps);
  if (command.size() > 1 && command[0] == '-') {
    return UsageError(err, "", "unknown option " + Typed(command));
  }
  return UsageError(err, "", "unknown command " + Typed(command));
}

}  // namespace mdbtokvt
