// The conversion report in words: a one-line summary and readable detail lines.
#pragma once

#include <string>
#include <vector>

#include "common/Utf8Converter.h"
#include "converters/ConversionReport.h"

namespace mdbtokvt {

// E.g. "2 groups truncated to 32 members, 14 names shortened, 3 empty values,
// 5 characters written as ?"; empty when the report is.
std::string ReportSummary(const ConversionReport& report, int memberLimit);

// The line naming the code page, e.g. "Code page: Windows-1250, from the
// locale pl_PL.UTF-8"; empty when the report names none.
std::string CodePageLine(const ConversionReport& report);

// One line per fact, in UTF-8 (names as stored read through toUtf8, the
// table files' code page): the notes on the source and on the output folder
// first.
std::vector<std::string> ReportDetailLines(const ConversionReport& report,
                                           const Utf8Converter& toUtf8);

// A shortened name's long form in UTF-8: as the source holds it.
std::string LongNameText(const ShortenedName& name, const Utf8Converter& toUtf8);

}  // namespace mdbtokvt
