// JSON output of the command line (the conversion report and dump --format
// json), built as values and written by nlohmann-json.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace mdbtokvt {

// Objects keep their keys in the order they were added, the order the README
// lists them in.
using Json = nlohmann::ordered_json;

// The value as JSON text, indented by two blanks, with a final line end.
// Bytes of a text that are not UTF-8 (a path named in another encoding, say)
// each become U+FFFD, so the result is always valid JSON.
std::string JsonText(const Json& value);

}  // namespace mdbtokvt
