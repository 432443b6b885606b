// The sort order of text in queries, as the Access engine sorts by default:
// texts in the output code page compared byte by byte with letters folded to
// lower case; Null and empty text equal and before everything else.
//
// SQLite never hands NULL to a collation, so a Null text is stored as a
// marker, a text of the single byte 00, which the collation takes for empty
// and the recordset turns back into Null.
#pragma once

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "source/CodePage.h"

namespace mdbtokvt {

inline constexpr std::string_view kNullTextMarker{"\0", 1};
inline constexpr const char* kTextCollationName = "ACCESSTEXT";

inline bool IsNullTextMarker(const void* data, int size) {
  return size == 1 && *static_cast<const unsigned char*>(data) == 0;
}

// <0, 0 or >0 as a sorts before, with or after b.
int CompareFoldedText(const std::array<uint8_t, 256>& fold, std::string_view a, std::string_view b);

// Registers the collation kTextCollationName on db for codePage's letters.
void RegisterTextCollation(sqlite3* db, const CodePage& codePage);

}  // namespace mdbtokvt
