// The help texts of mdbtokvt-cli: the whole program's and each command's.
#pragma once

#include <string_view>

namespace mdbtokvt {

extern const std::string_view kProgramUsage;
extern const std::string_view kConvertUsage;
extern const std::string_view kDumpUsage;
extern const std::string_view kVerifyUsage;

}  // namespace mdbtokvt
