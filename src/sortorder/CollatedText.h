// How a text value travels through SQLite: its bytes in the output code page
// with its sort key in front, so every comparison SQLite makes in a text
// column's collation compares keys computed once, from the text as the
// source holds it (a Greek name sorts where Access sorts it even though the
// code page writes it as "?").
//
//   Null             one byte 00 (SQLite hands no Null to a collation)
//   a keyed text     00, the key's length (2 bytes, little-endian), the key,
//                    then the text
//   a keyed text that lost characters to the code page
//                    00 FF FF, the key's length (2 bytes), the key, the
//                    length of the text as stored, in UTF-8 (4 bytes), that
//                    text, then the text
//   a plain text     the text itself, its key derived from its bytes
//
// Texts SQLite may read as numbers (digits, signs, points, exponents and
// blanks) stay plain, so a comparison with a number column still finds
// them equal to that number; their bytes are the same in every code page.
// A text in the SQL itself is plain too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sortorder/SortKey.h"

namespace mdbtokvt {

inline constexpr std::string_view kNullTextMarker{"\0", 1};

inline bool IsNullTextMarker(std::string_view stored) { return stored == kNullTextMarker; }

// Whether text is stored plain: it may read as a number (digits, signs,
// points, exponents and blanks, a digit among them).
bool TextStaysPlain(std::string_view text);

// Appends the stored form of text (output code page bytes) with its key and,
// when the code page lost characters of it, the text as stored (UTF-8).
void AppendCollatedText(std::string_view text, std::string_view key, std::string& stored,
                        std::string_view lostSource = {});

struct CollatedText {
  std::string_view text;  // output code page bytes
  std::string_view key;   // empty for a plain text
  bool keyed = false;
  std::string_view lostSource;  // UTF-8; empty unless characters were lost
};

namespace collated_text_detail {
inline constexpr uint16_t kLostSourceMark = 0xFFFF;
inline size_t ReadLength(std::string_view bytes, size_t at, size_t width) {
  size_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    value |= static_cast<size_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  }
  return value;
}
}  // namespace collated_text_detail

// Splits a stored value; any bytes at all give a valid result.
inline CollatedText SplitCollatedText(std::string_view stored) {
  using collated_text_detail::ReadLength;
  constexpr size_t kHeaderBytes = 3;
  const CollatedText plain{stored, {}, false, {}};
  if (stored.size() < kHeaderBytes || stored[0] != '\0') return plain;
  size_t at = 1;
  size_t keyLength = ReadLength(stored, at, 2);
  at += 2;
  const bool lost = keyLength == collated_text_detail::kLostSourceMark;
  if (lost) {
    if (stored.size() - at < 2) return plain;
    keyLength = ReadLength(stored, at, 2);
    at += 2;
  }
  if (keyLength > stored.size() - at) return plain;
  const std::string_view key = stored.substr(at, keyLength);
  at += keyLength;
  std::string_view source;
  if (lost) {
    if (stored.size() - at < 4) return plain;
    const size_t sourceLength = ReadLength(stored, at, 4);
    at += 4;
    if (sourceLength > stored.size() - at) return plain;
    source = stored.substr(at, sourceLength);
    at += sourceLength;
  }
  return {stored.substr(at), key, true, source};
}

// The text of a stored value (empty for Null).
inline std::string_view CollatedTextOf(std::string_view stored) {
  return IsNullTextMarker(stored) ? std::string_view() : SplitCollatedText(stored).text;
}

// The sort key of a stored value: empty for Null, which sorts before every
// text; a plain text's key is built into scratch.
std::string_view SortKeyOfStored(SortOrder order, std::string_view stored, std::string& scratch);

}  // namespace mdbtokvt
