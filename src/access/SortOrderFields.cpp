#include "access/SortOrderFields.h"

#include <array>

#include "access/PageLayout.h"

namespace mdbtokvt {

namespace {

// Jet 4 headers: the masked part starts at 0x18, the sort order at 0x6E
// (language, 2 bytes little-endian, then a byte, then the version).
constexpr size_t kMaskedStart = 0x18;
constexpr size_t kMaskedLength = 128;
constexpr size_t kHeaderSortOrder = 0x6E;
// In a Jet 4 column definition block.
constexpr size_t kColumnSortOrder = 11;
constexpr size_t kVersionAfterLanguage = 3;
constexpr unsigned kGeneral2010Version = 1;

// The header's mask is the RC4 key stream of the key 0x6B39DAC7 (its bytes
// little-endian), as the Jackcess and mdbtools sources give it.
std::array<uint8_t, kMaskedLength> HeaderMask() {
  static constexpr std::array<uint8_t, 4> kKey = {0xC7, 0xDA, 0x39, 0x6B};
  std::array<uint8_t, 256> state{};
  for (size_t i = 0; i < state.size(); ++i) state[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (size_t i = 0; i < state.size(); ++i) {
    j = static_cast<uint8_t>(j + state[i] + kKey[i % kKey.size()]);
    std::swap(state[i], state[j]);
  }
  std::array<uint8_t, kMaskedLength> mask{};
  uint8_t x = 0;
  uint8_t y = 0;
  for (uint8_t& byte : mask) {
    x = static_cast<uint8_t>(x + 1);
    y = static_cast<uint8_t>(y + state[x]);
    std::swap(state[x], state[y]);
    byte = state[static_cast<uint8_t>(state[x] + state[y])];
  }
  return mask;
}

uint8_t Byte(std::string_view bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

}  // namespace

std::optional<NamedSortOrder> HeaderSortOrder(std::string_view header) {
  const size_t last = kHeaderSortOrder + kVersionAfterLanguage;
  if (header.size() <= last) return std::nullopt;
  static const std::array<uint8_t, kMaskedLength> kMask = HeaderMask();
  auto unmasked = [&](size_t at) { return Byte(header, at) ^ kMask[at - kMaskedStart]; };
  return NamedSortOrder{
      static_cast<unsigned>(unmasked(kHeaderSortOrder) | (unmasked(kHeaderSortOrder + 1) << 8)),
      static_cast<unsigned>(unmasked(last))};
}

std::optional<NamedSortOrder> ColumnSortOrder(std::string_view columnBlock) {
  const size_t last = kColumnSortOrder + kVersionAfterLanguage;
  if (columnBlock.size() <= last) return std::nullopt;
  const auto* block = reinterpret_cast<const uint8_t*>(columnBlock.data());
  return NamedSortOrder{ReadU16(block + kColumnSortOrder), block[last]};
}

SortOrder GeneralOrderOf(NamedSortOrder named, SortOrder fallback) {
  if (named.language == 0) return fallback;
  return named.version == kGeneral2010Version ? SortOrder::kGeneral : SortOrder::kGeneralLegacy;
}

}  // namespace mdbtokvt
