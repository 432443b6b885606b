#include "cli/TextOutput.h"

namespace mdbtokvt {

std::string CsvField(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

std::string Counted(long count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace mdbtokvt
