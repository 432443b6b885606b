// mdbtokvt-cli verify: checks that the three table files of a folder fit together.
#include <iostream>

#include "cli/Commands.h"
#include "cli/TextOutput.h"
#include "cli/UsageText.h"
#include "run/VerifyOutput.h"
#include "source/DataSource.h"

namespace mdbtokvt {

namespace {

const CommandSyntax kVerifySyntax{"verify", kVerifyUsage, {"--codepage"}, {"OUTDIR"}};

}  // namespace

int VerifyCommand(const Arguments& args, std::ostream& out, std::ostream& err,
                  const FileStepHook& steps) {
  ParsedArguments parsed;
  if (const auto end = ParseCommandArguments(kVerifySyntax, args, parsed, out, err)) return *end;
  const std::optional<CodePageChoice> codePage = ChooseCodePage(parsed, "verify", err);
  if (!codePage) return kExitUsage;
  try {
    const Utf8Converter toUtf8(codePage->iconvName);
    const VerifyResult result = VerifyOutputFolder(parsed.positional[0], steps);
    for (const auto& note : result.notes) out << note << "\n";
    for (const auto& problem : result.problems) out << toUtf8(problem) << "\n";
    out << Counted(result.services, "service", "services") << ", "
        << Counted(result.receivers, "receiver", "receivers") << ", "
        << Counted(result.groups, "group", "groups") << ": ";
    if (result.ok()) {
      out << "the table files fit together\n";
      return 0;
    }
    out << Counted(static_cast<long>(result.problems.size()), "problem", "problems") << "\n";
    return kExitFailure;
  } catch (...) {
    return ReportError(err);
  }
}

}  // namespace mdbtokvt
