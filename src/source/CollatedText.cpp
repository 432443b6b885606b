#include "source/CollatedText.h"

#include <cstdint>

namespace mdbtokvt {

namespace {

constexpr size_t kHeaderBytes = 3;

bool StaysPlain(std::string_view text) {
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

}  // namespace

void AppendCollatedText(std::string_view text, std::string_view key, std::string& stored) {
  if (StaysPlain(text) || key.size() > 0xFFFF) {
    stored.append(text);
    return;
  }
  stored.push_back('\0');
  stored.push_back(static_cast<char>(key.size() & 0xFF));
  stored.push_back(static_cast<char>(key.size() >> 8));
  stored.append(key);
  stored.append(text);
}

CollatedText SplitCollatedText(std::string_view stored) {
  if (stored.size() < kHeaderBytes || stored[0] != '\0') return {stored, {}, false};
  const size_t keyLength =
      static_cast<uint8_t>(stored[1]) | (static_cast<size_t>(static_cast<uint8_t>(stored[2])) << 8);
  if (keyLength > stored.size() - kHeaderBytes) return {stored, {}, false};
  return {stored.substr(kHeaderBytes + keyLength), stored.substr(kHeaderBytes, keyLength), true};
}

std::string_view SortKeyOfStored(SortOrder order, std::string_view stored, std::string& scratch) {
  if (IsNullTextMarker(stored)) return {};
  const CollatedText split = SplitCollatedText(stored);
  if (split.keyed) return split.key;
  scratch = SortKeyOfUtf8(order, split.text);
  return scratch;
}

}  // namespace mdbtokvt
