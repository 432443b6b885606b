#include "names/NameTable.h"

#include "common/Error.h"

namespace mdbtokvt {

// The hashed look-ups give the same answer as walking the entries and the
// names from the first upward: prefixes and full names are unique per table.
std::string NameTable::ShortenName(std::string_view name) {
  if (name.size() <= kMaxLength) return std::string(name);
  const std::string prefix(name.substr(0, kPrefixLength));

  size_t entryIndex;
  if (auto it = entryByPrefix_.find(prefix); it != entryByPrefix_.end()) {
    entryIndex = it->second;
  } else {
    if (entries_.size() >= 32767) {
      ThrowOverflow("a name table can hold at most 32767 different 28-character beginnings");
    }
    entries_.push_back(Entry{prefix, {}, {}});
    entryIndex = entries_.size() - 1;
    entryByPrefix_.emplace(prefix, entryIndex);
  }

  Entry& entry = entries_[entryIndex];
  const std::string fullName(name);
  int16_t number;
  if (auto it = entry.numbers.find(fullName); it != entry.numbers.end()) {
    number = it->second;
  } else {
    if (entry.fullNames.size() >= 32767) {
      ThrowOverflow("more than 32767 long names begin with \"" + prefix + "\"");
    }
    entry.fullNames.push_back(fullName);
    number = static_cast<int16_t>(entry.fullNames.size());
    entry.numbers.emplace(fullName, number);
  }
  return prefix + "(" + std::to_string(number) + ")";
}

}  // namespace mdbtokvt
