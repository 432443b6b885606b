// What a conversion changed on the way: truncated groups, shortened names,
// values defaulted because they were Null or empty, characters the code page
// has no form for, and names in one table that match no record of the table
// they refer to; and what is worth knowing about how the source was read,
// the text written and what the output folder held. Collecting it never
// changes a byte of the table files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mdbtokvt {

struct TruncatedGroup {
  std::string group;      // stored (shortened) group name
  int32_t sourceMembers;  // members the source has
  int32_t keptMembers;    // members written

  bool operator==(const TruncatedGroup&) const = default;
};

struct ShortenedName {
  std::string table;  // "TERMTAB.KVT", "USERTAB.KVT" or "GROUPTAB.KVT"
  std::string longName;
  std::string storedName;
  // The long name as the source holds it (UTF-8) when the code page lost
  // characters of it; empty otherwise, longName then saying it all.
  std::string longSource;

  bool operator==(const ShortenedName&) const = default;
};

// A value written with characters the code page has no form for, each
// written as '?'.
struct ReplacedCharacters {
  std::string table;
  int32_t row;  // 1-based row of the record source
  std::string column;
  std::string text;    // the value as the source holds it, UTF-8
  std::string stored;  // what was written (the table files' code page)
  int32_t characters;  // how many of its characters were written as '?'

  bool operator==(const ReplacedCharacters&) const = default;
};

struct DefaultedValue {
  std::string table;
  int32_t row;  // 1-based row of the record source
  std::string column;

  bool operator==(const DefaultedValue&) const = default;
};

struct DanglingName {
  std::string table;  // the table whose record holds the name
  std::string owner;  // receiver or group name holding the reference
  std::string name;   // the name that matches nothing

  bool operator==(const DanglingName&) const = default;
};

struct ConversionReport {
  // The code page text was written in, and why, e.g. "Windows-1250, from
  // the locale pl_PL.UTF-8" (UTF-8). Not a change: it leaves the report empty.
  std::string codePage;
  // Facts about how the source database was read and its text written, one
  // line each (UTF-8).
  std::vector<std::string> sourceNotes;
  // What was found in the output folder and set right before the conversion:
  // files a stopped conversion left, a replacement it had begun.
  std::vector<std::string> outputNotes;
  std::vector<TruncatedGroup> truncatedGroups;
  std::vector<ShortenedName> shortenedNames;
  std::vector<DefaultedValue> defaultedValues;
  std::vector<ReplacedCharacters> replacedCharacters;
  std::vector<DanglingName> unknownServices;  // receivers naming no service record
  std::vector<DanglingName> unknownMembers;   // group members naming no receiver record

  bool empty() const {
    return sourceNotes.empty() && outputNotes.empty() && truncatedGroups.empty() &&
           shortenedNames.empty() && defaultedValues.empty() && replacedCharacters.empty() &&
           unknownServices.empty() && unknownMembers.empty();
  }
  // Characters written as '?', over all values.
  int64_t ReplacedCharacterCount() const {
    int64_t count = 0;
    for (const auto& r : replacedCharacters) count += r.characters;
    return count;
  }
  void clear() { *this = ConversionReport(); }
};

}  // namespace mdbtokvt
