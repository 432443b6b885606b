// Quoting UTF-8 text for CSV output.
#pragma once

#include <string>
#include <string_view>

#include "common/Utf8Converter.h"

namespace mdbtokvt {

// A CSV field: quoted, with quotes doubled.
std::string CsvField(std::string_view utf8);

}  // namespace mdbtokvt
