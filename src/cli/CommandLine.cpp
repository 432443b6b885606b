#include "cli/CommandLine.h"

#include <iostream>
#include <new>
#include <string_view>

#include "cli/Commands.h"
#include "common/Error.h"

#ifndef MDBTOKVT_VERSION
#define MDBTOKVT_VERSION "1.0.0"
#endif

namespace mdbtokvt {

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  mdbtokvt-cli convert SOURCE OUTDIR [--edition lumen|vireo|sentel|quorra|0|1|2|3]\n"
    "                                     [--codepage NAME] [--report FILE]\n"
    "  mdbtokvt-cli dump FILE.KVT [--format text|csv|json] [--codepage NAME]\n"
    "  mdbtokvt-cli verify OUTDIR [--codepage NAME]\n"
    "  mdbtokvt-cli --help | --version\n"
    "\n"
    "convert  Reads the Access database SOURCE (an address book when its name ends\n"
    "         in \"abk\", else a pager database) and writes TERMTAB.KVT, USERTAB.KVT\n"
    "         and GROUPTAB.KVT into the folder OUTDIR: all three, or none.\n"
    "         --edition   Telvane Wireless edition (default lumen: 32 members per\n"
    "                     group; the others: 500)\n"
    "         --codepage  single-byte code page of the table files' text: 1250,\n"
    "                     cp1250, windows-1250 or an iconv name (default: the\n"
    "                     Windows code page of the locale, e.g. 1250 for pl_PL)\n"
    "         --report    also write what the conversion changed, as JSON\n"
    "dump     Prints every record of a table file.\n"
    "verify   Checks that the three table files of OUTDIR fit together.\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

}  // namespace

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

int UsageError(std::ostream& err, const std::string& message) {
  err << "mdbtokvt-cli: " << message << "\n\n" << kUsage;
  return kExitUsage;
}

int ReportError(std::ostream& err) {
  try {
    throw;
  } catch (const ConversionError& e) {
    err << "Error " << e.number() << ": " << e.what() << "\n";
  } catch (const std::bad_alloc&) {
    err << "Error " << kErrOutOfMemory << ": Out of memory\n";
  } catch (const std::exception& e) {
    err << "Error " << kErrPathFileAccess << ": " << e.what() << "\n";
  }
  return kExitFailure;
}

const std::string* ParsedArguments::Option(const std::string& name) const {
  const std::string* found = nullptr;
  for (const auto& [key, value] : options) {
    if (key == name) found = &value;  // the last one given wins
  }
  return found;
}

bool ParseArguments(const Arguments& args, const std::vector<std::string>& knownOptions,
                    ParsedArguments& parsed, std::string& error) {
  bool onlyPositional = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyPositional || a.size() < 2 || a[0] != '-') {
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
    for (const auto& k : knownOptions) known = known || k == name;
    if (!known) {
      error = "unknown option " + Quoted(a);
      return false;
    }
    if (eq != std::string::npos) {
      parsed.options.emplace_back(name, a.substr(eq + 1));
    } else if (i + 1 < args.size()) {
      parsed.options.emplace_back(name, args[++i]);
    } else {
      error = name + " needs a value";
      return false;
    }
  }
  return true;
}

std::optional<CodePageChoice> ChooseCodePage(const ParsedArguments& parsed, std::ostream& err) {
  const std::string* name = parsed.Option("--codepage");
  if (name == nullptr) return CodePageOfLocale();
  auto choice = CodePageOfName(*name, "from --codepage");
  if (!choice) {
    UsageError(err, "unknown or not single-byte code page " + Quoted(*name) + "; give " +
                        std::string(kCodePageForms));
  }
  return choice;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunCommandLine(args, out, err, {});
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const FileStepHook& steps) {
  if (args.empty()) return UsageError(err, "no command given");
  const std::string& command = args[0];
  const Arguments rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return 0;
  }
  if (command == "--version") {
    out << "mdbtokvt-cli " << MDBTOKVT_VERSION << "\n";
    return 0;
  }
  if (command == "convert") return ConvertCommand(rest, out, err, steps);
  if (command == "dump") return DumpCommand(rest, out, err);
  if (command == "verify") return VerifyCommand(rest, out, err, steps);
  return UsageError(err, "unknown command " + Quoted(command));
}

}  // namespace mdbtokvt
