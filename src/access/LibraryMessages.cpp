#include "access/LibraryMessages.h"

#include <array>

namespace mdbtokvt {

namespace {

constexpr std::array<std::string_view, 16> kDamageSigns = {
    "is beyond EOF",
    "Unable to seek",
    "error: reading page",
    "Invalid data location detected",
    "from map doesn't match",
    "Unrecognized format",
    "Unable to bind columns",
    "Unable to read table",
    "Unable to read columns",
    "incorrect memo length",
    "Unhandled memo field flags",
    "Unhandled ole field flags",
    "called on unsupported data type",
    "sequence error",
    "Unknown record type",
    "failed to allocate",
};

}  // namespace

std::string FirstDamageMessage(std::string_view messages) {
  size_t lineStart = 0;
  while (lineStart < messages.size()) {
    size_t lineEnd = messages.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = messages.size();
    const std::string_view line = messages.substr(lineStart, lineEnd - lineStart);
    for (std::string_view sign : kDamageSigns) {
      if (line.find(sign) != std::string_view::npos) {
        const size_t end = line.find_last_not_of(" \r\t.");
        return std::string(line.substr(0, end == std::string_view::npos ? 0 : end + 1));
      }
    }
    lineStart = lineEnd + 1;
  }
  return {};
}

bool ReportsMemoryExhausted(std::string_view messages) {
  return messages.find("failed to allocate") != std::string_view::npos;
}

}  // namespace mdbtokvt
