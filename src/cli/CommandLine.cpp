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
    "         --codepage  single-byte code page of the table files' text\n"
    "                     (default WINDOWS-1252)\n"
    "         --report    also write what the conversion changed, as JSON\n"
    "dump     Prints every record of a table file.\n"
    "verify   Checks that the three table files of OUTDIR fit together.\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage, 128+N stopped by signal N\n"
    "(SIGINT, SIGTERM, SIGHUP or SIGQUIT stop a conversion and leave OUTDIR as it\n"
    "was, unless the table files were being replaced already).\n";

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

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   StopRequest& stop) {
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
  if (command == "convert") return ConvertCommand(rest, out, err, stop);
  if (command == "dump") return DumpCommand(rest, out, err);
  if (command == "verify") return VerifyCommand(rest, out, err);
  return UsageError(err, "unknown command " + Quoted(command));
}

}  // namespace mdbtokvt
