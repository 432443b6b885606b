// String helpers shared by the converters.
#pragma once

#include <string>

#include "common/Value.h"

namespace mdbtokvt {

// The empty text for Null, otherwise the value taken as text.
std::string NullToEmpty(const Value& value);

}  // namespace mdbtokvt
