// UTF-8 to UTF-16, for text typed by a user or written in SQL: what the code
// page conversion and the sort keys take. A byte that does not belong to a
// valid sequence becomes U+FFFD; a character beyond the BMP a surrogate pair.
// And back, for text read from a database that is reported as it was typed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mdbtokvt {

inline std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string units;
  units.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    const size_t length = lead < 0x80           ? 1
                          : (lead >> 5) == 0x06 ? 2
                          : (lead >> 4) == 0x0E ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 0;
    bool valid = length > 0 && i + length <= utf8.size();
    char32_t c = length <= 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<uint8_t>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      units.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    i += length;
    if (c > 0xFFFF) {
      c -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  }
  return units;
}

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
inline std::string Utf8FromUtf16(std::u16string_view units) {
  std::string utf8;
  utf8.reserve(units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool paired =
          c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
      if (paired) {
        c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
      } else {
        c = 0xFFFD;
      }
    }
    if (c < 0x80) {
      utf8.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
      utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      utf8.push_back(static_cast<char>(0xF0 | (c >> 18)));
      utf8.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return utf8;
}

}  // namespace mdbtokvt
