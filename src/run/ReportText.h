// The conversion report in words: a one-line summary and readable detail lines.
#pragma once

#include <string>
#include <vector>

#include "run/ConversionReport.h"

namespace mdbtokvt {

// E.g. "2 groups truncated to 32 members, 14 names shortened, 3 empty values";
// empty when the report is.
std::string ReportSummary(const ConversionReport& report, int memberLimit);

// One line per fact, names as stored (in the table files' code page); the
// notes on the source and on the output folder first.
std::vector<std::string> ReportDetailLines(const ConversionReport& report);

}  // namespace mdbtokvt
