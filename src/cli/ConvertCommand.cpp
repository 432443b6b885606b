// mdbtokvt-cli convert: what the window's Convert does, without a window.
#include <iostream>
#include <optional>

#include "cli/Commands.h"
#include "cli/ReportJson.h"
#include "cli/TextOutput.h"
#include "common/Error.h"
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

}  // namespace

int ConvertCommand(const Arguments& args, std::ostream& out, std::ostream& err,
                   const FileStepHook& steps) {
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
  const std::optional<CodePageChoice> codePage = ChooseCodePage(parsed, err);
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

  ConversionContext context;
  context.addressBookSource = IsAddressBookName(source);
  context.editionRow = editionRow;
  context.codePage = codePage->Description();
  context.codePageNote = codePage->note;
  context.reportFatal = [&err](std::string_view title, std::string_view text) {
    err << title << ": " << text << std::endl;
  };
  try {
    const Utf8Converter toUtf8(codePage->iconvName);
    auto dataSource = CreateAccessDataSource(codePage->iconvName);
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
    out << CodePageLine(context.report) << "\n";
    out << "TERMTAB.KVT: " << counts.services << " records\n";
    out << "USERTAB.KVT: " << counts.receivers << " records\n";
    out << "GROUPTAB.KVT: " << counts.groups << " records\n";
    const int memberLimit = MemberLimitForEdition(editionRow);
    const std::string summary = ReportSummary(context.report, memberLimit);
    if (!summary.empty()) out << summary << "\n";
    for (const std::string& note : context.report.sourceNotes) out << note << "\n";
    for (const std::string& note : context.report.outputNotes) out << note << "\n";
    out << CompletionNote(editionRow) << "\n";
  } catch (...) {
    return ReportError(err);
  }
  return 0;
}

}  // namespace mdbtokvt
