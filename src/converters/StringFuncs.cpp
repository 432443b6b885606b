#include "converters/StringFuncs.h"

namespace mdbtokvt {

std::string NullToEmpty(const Value& value) {
  return value.IsNull() ? std::string() : ValueAsText(value);
}

}  // namespace mdbtokvt
