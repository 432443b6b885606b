// Little helpers for reading the pages of an Access file: little-endian
// numbers, the row slot table of a data page, and the error raised when the
// file's structure does not hold together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace mdbtokvt {

// Raised inside the source layer when the file's pages contradict each other;
// the caller that knows the file's path turns it into error 3343.
class DamagedFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadU24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
}
inline uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Data page layout: byte 0 is the page type, bytes 4..7 the table definition
// page the data belongs to; at rowCountOffset a 16-bit row count is followed
// by one 16-bit offset per row slot. Rows are packed from the end of the page
// downwards, so a row ends where the previous slot's row starts. The two top
// bits of an offset are flags.
inline constexpr uint8_t kDataPageType = 0x01;
// Access keeps the catalog's table definition (MSysObjects) on page 2.
inline constexpr size_t kCatalogDefinitionPage = 2;
inline constexpr uint16_t kSlotOffsetMask = 0x1FFF;
// The slot holds a pointer (row number, then 3-byte page number) to where the
// row was moved when it grew.
inline constexpr uint16_t kSlotOverflowFlag = 0x4000;
// The row is not part of a table scan: either deleted (both flags) or the
// moved data of a row, reached through its pointer.
inline constexpr uint16_t kSlotHiddenFlag = 0x8000;

struct PageGeometry {
  size_t pageSize;
  size_t rowCountOffset;
};

struct SlotBounds {
  uint16_t flags;
  size_t start;
  size_t length;
};

inline size_t SlotCount(const uint8_t* page, const PageGeometry& g) {
  return ReadU16(page + g.rowCountOffset);
}

// Where the row of slot lies on page; false when the slot table is damaged
// (the slot does not exist or its row lies outside the page).
inline bool FindSlot(const uint8_t* page, const PageGeometry& g, size_t slot, SlotBounds& out) {
  const size_t count = SlotCount(page, g);
  const size_t tableEnd = g.rowCountOffset + 2 + 2 * count;
  if (slot >= count || tableEnd > g.pageSize) return false;
  const uint16_t raw = ReadU16(page + g.rowCountOffset + 2 + 2 * slot);
  const size_t start = raw & kSlotOffsetMask;
  const size_t end =
      slot == 0 ? g.pageSize : (ReadU16(page + g.rowCountOffset + 2 * slot) & kSlotOffsetMask);
  if (start < tableEnd || end > g.pageSize || start > end) return false;
  out = {static_cast<uint16_t>(raw & ~kSlotOffsetMask), start, end - start};
  return true;
}

}  // namespace mdbtokvt
