// Quoting UTF-8 text for JSON and CSV output.
#pragma once

#include <string>
#include <string_view>

#include "common/Utf8Converter.h"

namespace mdbtokvt {

// A JSON string literal (with quotes) for UTF-8 text.
std::string JsonString(std::string_view utf8);
// A CSV field: quoted, with quotes doubled.
std::string CsvField(std::string_view utf8);

}  // namespace mdbtokvt
