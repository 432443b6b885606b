// mdbtokvt-cli verify: checks that the three table files of a folder fit together.
#include <iostream>

#include "cli/Commands.h"
#include "cli/TextOutput.h"
#include "run/VerifyOutput.h"
#include "source/DataSource.h"

namespace mdbtokvt {

int VerifyCommand(const Arguments& args, std::ostream& out, std::ostream& err,
                  const FileStepHook& steps) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--codepage"}, parsed, error)) return UsageError(err, error);
  if (parsed.positional.size() != 1) return UsageError(err, "verify needs OUTDIR");
  const std::optional<CodePageChoice> codePage = ChooseCodePage(parsed, err);
  if (!codePage) return kExitUsage;
  try {
    const Utf8Converter toUtf8(codePage->iconvName);
    const VerifyResult result = VerifyOutputFolder(parsed.positional[0], steps);
    for (const auto& note : result.notes) out << note << "\n";
    for (const auto& problem : result.problems) out << toUtf8(problem) << "\n";
    out << result.services << " services, " << result.receivers << " receivers, " << result.groups
        << " groups: ";
    if (result.ok()) {
      out << "the table files fit together\n";
      return 0;
    }
    out << result.problems.size() << (result.problems.size() == 1 ? " problem" : " problems")
        << "\n";
    return kExitFailure;
  } catch (...) {
    return ReportError(err);
  }
}

}  // namespace mdbtokvt
