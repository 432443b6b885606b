#include "cli/CommandLine.h"

#include <iostream>
#include <optional>
#include <string_view>

#include "common/Error.h"
#include "run/ConversionContext.h"
#include "run/DBConvert.h"
#include "run/FileFuncs.h"
#include "source/DataSource.h"

#ifndef MDBTOKVT_VERSION
#define MDBTOKVT_VERSION "1.0.0"
#endif

namespace mdbtokvt {

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  mdbtokvt-cli convert SOURCE OUTDIR [--edition lumen|vireo|sentel|quorra|0|1|2|3]\n"
    "                                     [--codepage NAME]\n"
    "  mdbtokvt-cli --help\n"
    "  mdbtokvt-cli --version\n"
    "\n"
    "convert  Reads the Access database SOURCE (an address book when its name ends\n"
    "         in \"abk\", else a pager database) and writes TERMTAB.KVT, USERTAB.KVT\n"
    "         and GROUPTAB.KVT into the folder OUTDIR, all three or none.\n"
    "         --edition   Telvane Wireless edition (default lumen: 32 members per\n"
    "                     group; the others: 500)\n"
    "         --codepage  single-byte code page of the table files' text\n"
    "                     (default WINDOWS-1252)\n";

constexpr int kUsageError = 2;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::optional<int16_t> ParseEdition(std::string_view text) {
  static constexpr std::string_view kNames[] = {"lumen", "vireo", "sentel", "quorra"};
  for (int16_t row = 0; row < 4; ++row) {
    std::string lower(text);
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    if (lower == kNames[row] || text == std::to_string(row)) return row;
  }
  return std::nullopt;
}

int UsageError(std::ostream& err, const std::string& message) {
  err << "mdbtokvt-cli: " << message << "\n\n" << kUsage;
  return kUsageError;
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  int16_t editionRow = 0;
  std::string codePage = "WINDOWS-1252";
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto takeValue = [&](std::string_view option, std::string& value) {
      if (a == option) {
        if (i + 1 >= args.size()) return false;
        value = args[++i];
        return true;
      }
      const std::string prefix = std::string(option) + "=";
      if (a.rfind(prefix, 0) == 0) {
        value = a.substr(prefix.size());
        return true;
      }
      return false;
    };
    std::string value;
    if (a == "--edition" || a.rfind("--edition=", 0) == 0) {
      if (!takeValue("--edition", value)) return UsageError(err, "--edition needs a value");
      const auto row = ParseEdition(value);
      if (!row) return UsageError(err, "unknown edition " + Quoted(value));
      editionRow = *row;
    } else if (a == "--codepage" || a.rfind("--codepage=", 0) == 0) {
      if (!takeValue("--codepage", value)) return UsageError(err, "--codepage needs a value");
      codePage = value;
    } else if (a.size() > 1 && a[0] == '-' && a != "--") {
      return UsageError(err, "unknown option " + Quoted(a));
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return UsageError(err, "convert needs SOURCE and OUTDIR");
  const std::string& source = positional[0];
  const std::string& outDir = positional[1];

  if (!FileExists(source)) {
    err << "Can't find input file " << Quoted(source) << "\n";
    return 1;
  }
  if (!FolderExists(outDir)) {
    err << "Can't find output path " << Quoted(outDir) << "\n";
    return 1;
  }

  ConversionContext context;
  context.addressBookSource = IsAddressBookName(source);
  context.editionRow = editionRow;
  context.reportFatal = [&err](std::string_view title, std::string_view text) {
    err << title << ": " << text << std::endl;
  };
  try {
    auto dataSource = CreateAccessDataSource(codePage);
    const ConversionCounts counts = ConvertDatabase(context, *dataSource, source, outDir);
    out << "TERMTAB.KVT: " << counts.services << " records\n";
    out << "USERTAB.KVT: " << counts.receivers << " records\n";
    out << "GROUPTAB.KVT: " << counts.groups << " records\n";
    out << CompletionNote(editionRow) << "\n";
  } catch (const ConversionError& e) {
    err << "Error " << e.number() << ": " << e.what() << "\n";
    return 1;
  } catch (const std::bad_alloc&) {
    err << "Error " << kErrOutOfMemory << ": Out of memory\n";
    return 1;
  } catch (const std::exception& e) {
    err << "Error " << kErrPathFileAccess << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return UsageError(err, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return 0;
  }
  if (command == "--version") {
    out << "mdbtokvt-cli " << MDBTOKVT_VERSION << "\n";
    return 0;
  }
  if (command == "convert") return Convert(args, out, err);
  return UsageError(err, "unknown command " + Quoted(command));
}

}  // namespace mdbtokvt
