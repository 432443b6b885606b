// mdbtokvt-cli convert: what the window's Convert does, without a window.
#include <csignal>
#include <fstream>
#include <iostream>
#include <optional>

#include "cli/Commands.h"
#include "cli/ReportJson.h"
#include "cli/TextOutput.h"
#include "common/Error.h"
#include "common/StopOnSignals.h"
#include "common/StopRequest.h"
#include "run/ConversionContext.h"
#include "run/DBConvert.h"
#include "run/FileFuncs.h"
#include "run/ReportText.h"
#include "source/DataSource.h"

namespace mdbtokvt {

namespace {

std::optional<int16_t> ParseEdition(const std::string& text) {
  static constexpr const char* kNames[] = {"lumen", "vireo", "sentel", "quorra"};
  std::string lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  for (int16_t row = 0; row < 4; ++row) {
    if (lower == kNames[row] || text == std::to_string(row)) return row;
  }
  return std::nullopt;
}

int ReportStop(std::ostream& err, const StopRequest& stop, StopMoment moment) {
  // Whoever read stderr may be gone with the terminal that sent SIGHUP; the
  // exit status still has to tell the stop.
  std::signal(SIGPIPE, SIG_IGN);
  err << StopNote(stop.signalNumber(), moment) << std::endl;
  return kExitSignalBase + stop.signalNumber();
}

}  // namespace

int ConvertCommand(const Arguments& args, std::ostream& out, std::ostream& err, StopRequest& stop) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--edition", "--codepage", "--report"}, parsed, error)) {
    return UsageError(err, error);
  }
  if (parsed.positional.size() != 2) return UsageError(err, "convert needs SOURCE and OUTDIR");
  int16_t editionRow = 0;
  if (const std::string* edition = parsed.Option("--edition")) {
    const auto row = ParseEdition(*edition);
    if (!row) return UsageError(err, "unknown edition " + Quoted(*edition));
    editionRow = *row;
  }
  const std::string* codePageOption = parsed.Option("--codepage");
  const std::string codePage = codePageOption ? *codePageOption : kDefaultCodePage;
  const std::string* reportPath = parsed.Option("--report");
  const std::string& source = parsed.positional[0];
  const std::string& outDir = parsed.positional[1];

  if (!FileExists(source)) {
    err << "Can't find input file " << Quoted(source) << "\n";
    return kExitFailure;
  }
  if (!FolderExists(outDir)) {
    err << "Can't find output path " << Quoted(outDir) << "\n";
    return kExitFailure;
  }

  // From here on a stop signal ends the conversion on its normal path, which
  // removes what it staged and ends the reader.
  const StopOnSignals stopOnSignals(stop);
  ConversionContext context;
  context.stop = &stop;
  context.addressBookSource = IsAddressBookName(source);
  context.editionRow = editionRow;
  context.reportFatal = [&err](std::string_view title, std::string_view text) {
    err << title << ": " << text << std::endl;
  };
  bool committed = false;
  try {
    const Utf8Converter toUtf8(codePage);
    auto dataSource = CreateAccessDataSource(codePage, ReaderSettings{}, &stop);
    const ConversionCounts counts = ConvertDatabase(context, *dataSource, source, outDir);
    committed = true;
    if (stop.requested()) return ReportStop(err, stop, StopMoment::kAfterCommit);
    out << "TERMTAB.KVT: " << counts.services << " records\n";
    out << "USERTAB.KVT: " << counts.receivers << " records\n";
    out << "GROUPTAB.KVT: " << counts.groups << " records\n";
    const int memberLimit = MemberLimitForEdition(editionRow);
    const std::string summary = ReportSummary(context.report, memberLimit);
    if (!summary.empty()) out << summary << "\n";
    for (const std::string& note : context.report.sourceNotes) out << note << "\n";
    if (reportPath) {
      std::ofstream file(*reportPath, std::ios::binary | std::ios::trunc);
      file << ReportJson(context.report, toUtf8, source, outDir, editionRow, counts);
      file.close();
      if (!file) {
        throw ConversionError(kErrPathFileAccess, "Cannot write the report " + Quoted(*reportPath));
      }
    }
    out << CompletionNote(editionRow) << "\n";
  } catch (...) {
    // Whatever failed once a stop was requested failed because of it (or
    // no longer matters); a failed commit has put the old files back.
    if (stop.requested()) {
      return ReportStop(err, stop,
                        committed ? StopMoment::kAfterCommit : StopMoment::kBeforeCommit);
    }
    return ReportError(err);
  }
  if (stop.requested()) return ReportStop(err, stop, StopMoment::kAfterCommit);
  return 0;
}

}  // namespace mdbtokvt
