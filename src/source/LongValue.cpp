#include "source/LongValue.h"

#include <algorithm>

namespace mdbtokvt {

namespace {

constexpr size_t kReferenceSize = 12;
constexpr uint32_t kInlineFlag = 0x80000000;
constexpr uint32_t kSinglePageFlag = 0x40000000;
constexpr uint32_t kFlagMask = 0xC0000000;

// Loads the page of a long-value row reference (row number in the low byte,
// page above it) into the second page buffer and finds the row on it.
SlotBounds FindLongValueRow(const AccessFile& file, uint32_t rowReference) {
  MdbHandle* mdb = file.handle();
  const PageGeometry geometry = file.geometry();
  const uint32_t page = rowReference >> 8;
  SlotBounds bounds{};
  if (page == 0 || page >= file.PageCount() ||
      mdb_read_alt_pg(mdb, page) != static_cast<ssize_t>(geometry.pageSize) ||
      !FindSlot(mdb->alt_pg_buf, geometry, rowReference & 0xFF, bounds)) {
    throw DamagedFileError("long value reference cannot be followed");
  }
  return bounds;
}

}  // namespace

void ReadLongValue(const AccessFile& file, const uint8_t* value, size_t size, std::string& bytes) {
  bytes.clear();
  if (size < kReferenceSize) throw DamagedFileError("long value reference too short");
  const uint32_t header = ReadU32(value);
  // No value can be longer than the file; this bounds what a damaged
  // reference can make us collect.
  const size_t length =
      std::min<size_t>(header & ~kFlagMask, file.PageCount() * file.geometry().pageSize);
  const uint32_t rowReference = ReadU32(value + 4);
  const uint8_t* page = file.handle()->alt_pg_buf;

  if (header & kInlineFlag) {
    bytes.assign(reinterpret_cast<const char*>(value + kReferenceSize),
                 std::min(length, size - kReferenceSize));
    return;
  }
  if (header & kSinglePageFlag) {
    const SlotBounds row = FindLongValueRow(file, rowReference);
    bytes.assign(reinterpret_cast<const char*>(page + row.start), std::min(length, row.length));
    return;
  }
  // A chain: each row starts with the reference of the next one (0 at the
  // end). Every row adds at least one byte, so the declared length bounds the
  // walk even when the chain loops.
  uint32_t next = rowReference;
  while (next != 0 && bytes.size() < length) {
    const SlotBounds row = FindLongValueRow(file, next);
    if (row.length <= 4) throw DamagedFileError("empty long value row");
    next = ReadU32(page + row.start);
    const size_t take = std::min(row.length - 4, length - bytes.size());
    bytes.append(reinterpret_cast<const char*>(page + row.start + 4), take);
  }
}

}  // namespace mdbtokvt
