// How a text value travels through SQLite: its bytes in the output code page
// with its sort key in front, so every comparison SQLite makes in a text
// column's collation compares keys computed once, from the text as the
// source holds it (a Greek name sorts where Access sorts it even though the
// code page writes it as "?").
//
//   Null             one byte 00 (SQLite hands no Null to a collation)
//   a keyed text     00, the key's length (2 bytes, little-endian), the key,
//                    then the text
//   a plain text     the text itself, its key derived from its bytes
//
// Texts SQLite may read as numbers (digits, signs, points, exponents and
// blanks) stay plain, so a comparison with a number column still finds
// them equal to that number; their bytes are the same in every code page.
// A text in the SQL itself is plain too.
#pragma once

#include <string>
#include <string_view>

#include "sortorder/SortKey.h"

namespace mdbtokvt {

inline constexpr std::string_view kNullTextMarker{"\0", 1};

inline bool IsNullTextMarker(std::string_view stored) { return stored == kNullTextMarker; }

// Whether text is stored plain: it may read as a number (digits, signs,
// points, exponents and blanks, a digit among them).
bool TextStaysPlain(std::string_view text);

// Appends the stored form of text (output code page bytes) with its key.
void AppendCollatedText(std::string_view text, std::string_view key, std::string& stored);

struct CollatedText {
  std::string_view text;  // output code page bytes
  std::string_view key;   // empty for a plain text
  bool keyed = false;
};

// Splits a stored value; any bytes at all give a valid result.
inline CollatedText SplitCollatedText(std::string_view stored) {
  constexpr size_t kHeaderBytes = 3;
  if (stored.size() < kHeaderBytes || stored[0] != '\0') return {stored, {}, false};
  const size_t keyLength = static_cast<unsigned char>(stored[1]) |
                           (static_cast<size_t>(static_cast<unsigned char>(stored[2])) << 8);
  if (keyLength > stored.size() - kHeaderBytes) return {stored, {}, false};
  return {stored.substr(kHeaderBytes + keyLength), stored.substr(kHeaderBytes, keyLength), true};
}

// The text of a stored value (empty for Null).
inline std::string_view CollatedTextOf(std::string_view stored) {
  return IsNullTextMarker(stored) ? std::string_view() : SplitCollatedText(stored).text;
}

// The sort key of a stored value: empty for Null, which sorts before every
// text; a plain text's key is built into scratch.
std::string_view SortKeyOfStored(SortOrder order, std::string_view stored, std::string& scratch);

}  // namespace mdbtokvt
