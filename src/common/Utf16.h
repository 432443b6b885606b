// UTF-8 to UTF-16, for text typed by a user or written in SQL: what the code
// page conversion and the sort keys take. A byte that does not belong to a
// valid sequence becomes U+FFFD; a character beyond the BMP a surrogate pair.
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

}  // namespace mdbtokvt
