// The conversion report as JSON (the field names are documented in the README).
#pragma once

#include <string>

#include "cli/TextOutput.h"
#include "converters/ConversionReport.h"
#include "converters/Edition.h"
#include "run/DBConvert.h"

namespace mdbtokvt {

std::string ReportJson(const ConversionReport& report, const Utf8Converter& toUtf8,
                       const std::string& source, const std::string& outputFolder, Edition edition,
                       const ConversionCounts& counts);

}  // namespace mdbtokvt
