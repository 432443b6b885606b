// Text the commands print: CSV fields, counted nouns.
#pragma once

#include <string>
#include <string_view>

#include "common/Utf8Converter.h"

namespace mdbtokvt {

// A CSV field: quoted, with quotes doubled.
std::string CsvField(std::string_view utf8);

// "1 record", "2 records".
std::string Counted(long count, std::string_view one, std::string_view many);

}  // namespace mdbtokvt
