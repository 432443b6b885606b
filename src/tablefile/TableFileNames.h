// The names of the three table files, as they are written into the output
// folder and as the reader tells their kind from.
#pragma once

#include <string_view>

namespace mdbtokvt {

inline constexpr std::string_view kServiceTableFile = "TERMTAB.KVT";
inline constexpr std::string_view kReceiverTableFile = "USERTAB.KVT";
inline constexpr std::string_view kGroupTableFile = "GROUPTAB.KVT";

}  // namespace mdbtokvt
