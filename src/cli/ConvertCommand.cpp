// mdbtokvt-cli convert: what the window's Convert does, without a window.
#include <csignal>
#include <iostream>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/ReportJson.h"
#include "cli/TextOutput.h"
#include "cli/UsageText.h"
#include "common/Error.h"
#include "common/NamesEqual.h"
#include "common/StopOnSignals.h"
#include "common/StopRequest.h"
#include "converters/ConversionContext.h"
#include "converters/Edition.h"
#include "converters/FatalError.h"
#include "readerclient/AccessDataSource.h"
#include "run/DBConvert.h"
#include "run/FileFuncs.h"
#include "run/ReportText.h"
#include "run/StopNote.h"
#include "source/DataSource.h"
#include "tablefile/TableFileNames.h"

namespace mdbtokvt {

namespace {

const CommandSyntax kConvertSyntax{
    "convert", kConvertUsage, {"--edition", "--codepage", "--report"}, {"SOURCE", "OUTDIR"}};

// An edition by its name (letter case aside) or its row number.
std::optional<Edition> ParseEdition(const std::string& text) {
  for (size_t row = 0; row < kEditionNames.size(); ++row) {
    if (NamesEqual(text, kEditionNames[row]) || text == std::to_string(row)) {
      return EditionOfRow(static_cast<int>(row));
    }
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

int ConvertCommand(const Arguments& args, std::ostream& out, std::ostream& err, StopRequest& stop,
                   const FileStepHook& steps) {
  ParsedArguments parsed;
  if (const auto end = ParseCommandArguments(kConvertSyntax, args, parsed, out, err)) return *end;
  Edition edition = Edition::kLumen;
  if (const std::string* editionText = parsed.Option("--edition")) {
    const auto parsedEdition = ParseEdition(*editionText);
    if (!parsedEdition) {
      return UsageError(err, "convert",
                        "unknown edition " + Typed(*editionText) +
                            " (lumen, vireo, sentel, quorra, or their rows 0 to 3)");
    }
    edition = *parsedEdition;
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
  NameTables names;
  ConversionContext context(names);
  context.stop = &stop;
  context.addressBookSource = IsAddressBookName(source);
  context.edition = edition;
  context.codePage = codePage->Description();
  context.codePageNote = codePage->note;
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
        return ReportJson(context.report, toUtf8, source, outDir, edition, counts);
      };
    }
    const ConversionCounts counts = ConvertDatabase(context, *dataSource, source, outDir, options);
    committed = true;
    if (stop.requested()) return ReportStop(err, stop, StopMoment::kAfterCommit);
    out << CodePageLine(context.report) << "\n";
    out << kServiceTableFile << ": " << Counted(counts.services, "record", "records") << "\n";
    out << kReceiverTableFile << ": " << Counted(counts.receivers, "record", "records") << "\n";
    out << kGroupTableFile << ": " << Counted(counts.groups, "record", "records") << "\n";
    const int memberLimit = MemberLimitForEdition(edition);
    const std::string summary = ReportSummary(context.report, memberLimit);
    if (!summary.empty()) out << summary << "\n";
    for (const std::string& note : context.report.sourceNotes) out << note << "\n";
    for (const std::string& note : context.report.outputNotes) out << note << "\n";
    out << CompletionNote(edition) << "\n";
  } catch (const FatalError& fatal) {
    // The program goes no further: the conversion has removed what it
    // staged on the way out.
    err << fatal.title() << ": " << fatal.text() << std::endl;
    return kExitFailure;
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
