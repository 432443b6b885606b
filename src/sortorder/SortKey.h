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
// Access 2010's order differs from 2000-2007's in the codes of the
// characters (ü sorts as "ue", the soft hyphen counts for nothing, some
// symbols take other places), not in how the key is built from them.
// Only the first 255 characters count, and trailing spaces do not.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace mdbtokvt {

enum class SortOrder : uint8_t {
  kGeneral97,      // Access 97 (Jet 3 files)
  kGeneralLegacy,  // Access 2000-2007, "General - Legacy" in later versions (Jet 4 files)
  kGeneral,        // Access 2010 and later (files whose header names version 1 of 1033)
};

// Appends the key of text, given as UTF-16 code units, to key.
void AppendSortKey(SortOrder order, std::u16string_view text, std::string& key);

// The key of a UTF-8 text (see Utf16FromUtf8 for bytes that are not).
std::string SortKeyOfUtf8(SortOrder order, std::string_view utf8);

// <0, 0 or >0 as the text of key a sorts before, with or after that of b.
// Inline and eight bytes at a time: a large sort makes millions of these
// comparisons, most of them between short keys.
inline int CompareSortKeys(std::string_view a, std::string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  for (; i + 8 <= common; i += 8) {
    uint64_t x = 0;
    uint64_t y = 0;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) {
      // The first differing byte decides: compare as big-endian numbers.
      if constexpr (std::endian::native == std::endian::little) {
        x = __builtin_bswap64(x);
        y = __builtin_bswap64(y);
      }
      return x < y ? -1 : 1;
    }
  }
  for (; i < common; ++i) {
    const auto x = static_cast<uint8_t>(a[i]);
    const auto y = static_cast<uint8_t>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace mdbtokvt
