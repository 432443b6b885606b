// What a conversion changed on the way: truncated groups, shortened names,
// values defaulted because they were Null or empty, and names in one table
// that match no record of the table they refer to; and what is worth
// knowing about how the source was read and what the output folder held.
// Collecting it never changes a byte of the table files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mdbtokvt {

struct TruncatedGroup {
  std::string group;      // stored (shortened) group name
  int32_t sourceMembers;  // members the source has
  int32_t keptMembers;    // members written
};

struct ShortenedName {
  std::string table;  // "TERMTAB.KVT", "USERTAB.KVT" or "GROUPTAB.KVT"
  std::string longName;
  std::string storedName;
};

struct DefaultedValue {
  std::string table;
  int32_t row;  // 1-based row of the record source
  std::string column;
};

struct DanglingName {
  std::string table;  // the table whose record holds the name
  std::string owner;  // receiver or group name holding the reference
  std::string name;   // the name that matches nothing
};

struct ConversionReport {
  // Facts about how the source database was read, one line each (UTF-8).
  std::vector<std::string> sourceNotes;
  // What was found in the output folder and set right before the conversion:
  // files a stopped conversion left, a replacement it had begun.
  std::vector<std::string> outputNotes;
  std::vector<TruncatedGroup> truncatedGroups;
  std::vector<ShortenedName> shortenedNames;
  std::vector<DefaultedValue> defaultedValues;
  std::vector<DanglingName> unknownServices;  // receivers naming no service record
  std::vector<DanglingName> unknownMembers;   // group members naming no receiver record

  bool empty() const {
    return sourceNotes.empty() && outputNotes.empty() && truncatedGroups.empty() &&
           shortenedNames.empty() && defaultedValues.empty() && unknownServices.empty() &&
           unknownMembers.empty();
  }
  void clear() { *this = ConversionReport(); }
};

}  // namespace mdbtokvt
