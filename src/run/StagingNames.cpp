#include "run/StagingNames.h"

#include <unistd.h>

#include <random>

namespace mdbtokvt {

namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::string_view kBackupSuffix = ".old";

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::string TemporaryNameFor(std::string_view fileName) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  return "." + std::string(fileName) + "." + std::to_string(::getpid()) + "-" +
         std::to_string(random() % 1000000000) + std::string(kTemporarySuffix);
}

std::string BackupNameFor(std::string_view temporaryName) {
  return std::string(temporaryName) + std::string(kBackupSuffix);
}

std::optional<StagingName> ParseStagingName(std::string_view name) {
  StagingName parsed;
  if (name.ends_with(kBackupSuffix)) {
    parsed.backup = true;
    name.remove_suffix(kBackupSuffix.size());
  }
  if (!name.starts_with('.') || !name.ends_with(kTemporarySuffix)) return std::nullopt;
  name.remove_prefix(1);
  name.remove_suffix(kTemporarySuffix.size());
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  const std::string_view tag = name.substr(dot + 1);
  const size_t dash = tag.find('-');
  if (dash == std::string_view::npos || !AllDigits(tag.substr(0, dash)) ||
      !AllDigits(tag.substr(dash + 1))) {
    return std::nullopt;
  }
  parsed.target = std::string(name.substr(0, dot));
  return parsed;
}

}  // namespace mdbtokvt
