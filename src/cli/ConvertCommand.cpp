// mdbtokvt-cli convert: what the window's Convert does, without a window.
#include <csignal>
#include <iostream>
#include <optional>

#include "cli/Commands.h"
#include "cli/ReportJson.h"
#include "cli/TextOutput.h"
#include "cli/UsageText.h"
#include "common/Error.h"
#include "common/StopOnSignals.h"
#include "common/StopRequest.h"
#include "run/ConversionContext.h"
#include "run/DBConvert.h"
#include "run/FileFuncs.h"
#include "run/ReportText.h"
#include "source/DataSource.h"
#include "tablefile/TableFileNames.h"

namespace mdbtokvt {

namespace {

const CommandSyntax kConvertSyntax{
    "convert", kConvertUsage, {"--edition", "--codepage", "--report"}, {"SOURCE", "OUTDIR"}};

// An edition by its name or its row number.
std::optional<int16_t> ParseEdition(const std::string& text) {
  const auto row = MatchKeyword(text, {"lumen", "vireo", "sentel", "quorra"});
  if (row) return static_cast<int16_t>(*row);
  const auto number = MatchKeyword(text, {"0", "1", "2", "3"});
  if (number) return static_cast<int16_t>(*number);
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

int ConvertCommand(const Arguments& args, std::ostream& out, std::ostream& err, StopRequest& stop,
                   const FileStepHook& steps) {
  ParsedArguments parsed;
  if (const auto end = ParseCommandArguments(kConvertSyntax, args, parsed, out, err)) return *end;
  int16_t editionRow = 0;
  if (const std::string* edition = parsed.Option("--edition")) {
    const auto row = ParseEdition(*edition);
    if (!row) {
      return UsageError(err, "convert",
                        "unknown edition " + Typed(*edition) +
                            " (lumen, vireo, sentel, quorra, or their rows 0 to 3)");
    }
    editionRow = *row;
  }
  const std::optional<CodePageChoice> codePage = ChooseCodePage(parsed, "convert", err);
  if (!codePage) return kExitUsage;
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
  context.codePage = codePage->Description();
  context.codePageNote = codePage->note;
  context.reportFatal = [&err](std::string_view title, std::string_view text) {
    err << title << ": " << text << std::endl;
  };
  bool committed = false;
  try {
    const Utf8Converter toUtf8(codePage->iconvName);
    auto dataSource = CreateAccessDataSource(codePage->iconvName, ReaderSettings{}, &stop);
    ConversionOptions options;
    options.steps = steps;
    if (reportPath) {
      // Made after the three runs and replaced in the same commit as the
      // table files, so a report that cannot be written changes nothing.
      options.reportPath = *reportPath;
      options.reportText = [&](const ConversionCounts& counts) {
        return ReportJson(context.report, toUtf8, source, outDir, editionRow, counts);
      };
    }
    const ConversionCounts counts = ConvertDatabase(context, *dataSource, source, outDir, options);
    committed = true;
    if (stop.requested()) return ReportStop(err, stop, StopMoment::kAfterCommit);
    out << CodePageLine(context.report) << "\n";
    out << kServiceTableFile << ": " << Counted(counts.services, "record", "records") << "\n";
    out << kReceiverTableFile << ": " << Counted(counts.receivers, "record", "records") << "\n";
    out << kGroupTableFile << ": " << Counted(counts.groups, "record", "records") << "\n";
    const int memberLimit = MemberLimitForEdition(editionRow);
    const std::string summary = ReportSummary(context.report, memberLimit);
    if (!summary.empty()) out << summary << "\n";
    for (const std::string& note : context.report.sourceNotes) out << note << "\n";
    for (const std::string& note : context.report.outputNotes) out << note << "\n";
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
