// Name shortening: names longer than 32 bytes become their first 28 bytes and a
// number in parentheses, the same long name always getting the same number.
// One table is kept per kind of name (services', receivers', groups'); each
// only grows, so a later conversion in the same context continues the numbering.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mdbtokvt {

class NameTable {
 public:
  static constexpr size_t kMaxLength = 32;
  static constexpr size_t kPrefixLength = 28;

  // The name unchanged when it has at most 32 bytes, else prefix + "(k)" where
  // k is the position of the name among the distinct long names with the same
  // 28-byte prefix, in the order they were first given. Comparisons are exact.
  // Raises 6 "Overflow" on a 32768th prefix or a 32768th name under one prefix.
  std::string ShortenName(std::string_view name);

  // Number of prefix entries (for tests and reports).
  size_t EntryCount() const { return entries_.size(); }

 private:
  struct Entry {
    std::string prefix;
    std::vector<std::string> fullNames;                // in order of arrival
    std::unordered_map<std::string, int16_t> numbers;  // full name -> position (1-based)
  };
  std::vector<Entry> entries_;                             // in order of arrival
  std::unordered_map<std::string, size_t> entryByPrefix_;  // prefix -> index in entries_
};

}  // namespace mdbtokvt
