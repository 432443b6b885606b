#include "query/CollatedText.h"

#include <cstdint>

namespace mdbtokvt {

bool TextStaysPlain(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
      continue;
    }
    switch (c) {
      case '+':
      case '-':
      case '.':
      case 'e':
      case 'E':
      case ' ':
      case '\t':
      case '\n':
      case '\v':
      case '\f':
      case '\r':
        continue;
      default:
        return false;
    }
  }
  return digit;
}

void AppendCollatedText(std::string_view text, std::string_view key, std::string& stored) {
  if (TextStaysPlain(text) || key.size() > 0xFFFF) {
    stored.append(text);
    return;
  }
  stored.push_back('\0');
  stored.push_back(static_cast<char>(key.size() & 0xFF));
  stored.push_back(static_cast<char>(key.size() >> 8));
  stored.append(key);
  stored.append(text);
}

std::string_view SortKeyOfStored(SortOrder order, std::string_view stored, std::string& scratch) {
  if (IsNullTextMarker(stored)) return {};
  const CollatedText split = SplitCollatedText(stored);
  if (split.keyed) return split.key;
  scratch = SortKeyOfUtf8(order, split.text);
  return scratch;
}

}  // namespace mdbtokvt
