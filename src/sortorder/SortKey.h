// Access's "General" text sort order as byte keys: two texts sort in the
// order of their keys compared byte by byte (a key that is a prefix of the
// other first), and texts with equal keys are equal in the order. The keys
// are the ones Access writes into its text indexes, so an Access-written
// index shows both the order and the key of each of its texts.
//
// The first level of the order: letter case does not count; an accented
// letter sorts with its base letter (after it only when all else is equal);
// hyphens, apostrophes and control characters count only to break ties;
// spaces, punctuation and symbols come before digits, digits before letters.
// Only the first 255 characters count, and trailing spaces do not.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mdbtokvt {

enum class SortOrder : uint8_t {
  kGeneral97,      // Access 97 (Jet 3 files)
  kGeneralLegacy,  // Access 2000-2007, "General - Legacy" in later versions (Jet 4 files)
};

// Appends the key of text, given as UTF-16 code units, to key.
void AppendSortKey(SortOrder order, std::u16string_view text, std::string& key);

// The key of a UTF-8 text (see Utf16FromUtf8 for bytes that are not).
std::string SortKeyOfUtf8(SortOrder order, std::string_view utf8);

// <0, 0 or >0 as the text of key a sorts before, with or after that of b.
int CompareSortKeys(std::string_view a, std::string_view b);

}  // namespace mdbtokvt
