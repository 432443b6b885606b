#include "sortorder/CollatedText.h"

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

void AppendCollatedText(std::string_view text, std::string_view key, std::string& stored,
                        std::string_view lostSource) {
  auto appendLength = [&](size_t length, size_t width) {
    for (size_t i = 0; i < width; ++i)
      stored.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  };
  if (TextStaysPlain(text) || key.size() >= collated_text_detail::kLostSourceMark) {
    stored.append(text);
    return;
  }
  stored.push_back('\0');
  if (!lostSource.empty()) appendLength(collated_text_detail::kLostSourceMark, 2);
  appendLength(key.size(), 2);
  stored.append(key);
  if (!lostSource.empty()) {
    appendLength(lostSource.size(), 4);
    stored.append(lostSource);
  }
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
