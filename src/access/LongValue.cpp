#include "access/LongValue.h"

#include <algorithm>
#include <unordered_set>

namespace mdbtokvt {

namespace {

constexpr size_t kReferenceSize = 12;
constexpr uint32_t kInlineFlag = 0x80000000;
constexpr uint32_t kSinglePageFlag = 0x40000000;
constexpr uint32_t kFlagMask = 0xC0000000;
// Long-value pages are data pages whose owner field holds this tag.
constexpr uint8_t kLongValueTag[4] = {'L', 'V', 'A', 'L'};

bool IsLongValuePage(const uint8_t* page) {
  return page[0] == kDataPageType && std::equal(page + 4, page + 8, kLongValueTag);
}

// Loads the page of a long-value row reference (row number in the low byte,
// page above it) into the second page buffer and finds the row on it.
SlotBounds FindLongValueRow(const AccessFile& file, uint32_t rowReference) {
  MdbHandle* mdb = file.handle();
  const PageGeometry geometry = file.geometry();
  const uint32_t page = rowReference >> 8;
  if (page == 0 || page >= file.PageCount()) {
    throw DamagedFileError("a memo value lies beyond the end of the file");
  }
  file.NotePageRead();
  if (mdb_read_alt_pg(mdb, page) != static_cast<ssize_t>(geometry.pageSize) ||
      !IsLongValuePage(mdb->alt_pg_buf)) {
    throw DamagedFileError("a memo value points to a page that holds no memo values");
  }
  SlotBounds bounds{};
  if (!FindSlot(mdb->alt_pg_buf, geometry, rowReference & 0xFF, bounds) || bounds.flags != 0) {
    throw DamagedFileError("a memo value points to a row that does not exist");
  }
  return bounds;
}

}  // namespace

void ReadLongValue(const AccessFile& file, const uint8_t* value, size_t size, std::string& bytes) {
  bytes.clear();
  if (size < kReferenceSize) throw DamagedFileError("a memo value is cut short");
  const uint32_t header = ReadU32(value);
  const size_t length = header & ~kFlagMask;
  // No value can be longer than the file; this also bounds what a damaged
  // reference can make us collect.
  if (length > file.PageCount() * file.geometry().pageSize) {
    throw DamagedFileError("a memo value is longer than the file");
  }
  const uint32_t rowReference = ReadU32(value + 4);
  const uint8_t* page = file.handle()->alt_pg_buf;

  if (header & kInlineFlag) {
    if (size - kReferenceSize < length) throw DamagedFileError("a memo value is cut short");
    bytes.assign(reinterpret_cast<const char*>(value + kReferenceSize), length);
    return;
  }
  if (header & kSinglePageFlag) {
    const SlotBounds row = FindLongValueRow(file, rowReference);
    if (row.length < length) throw DamagedFileError("a memo value is cut short");
    bytes.assign(reinterpret_cast<const char*>(page + row.start), length);
    return;
  }
  // A chain: each row starts with the reference of the next one (0 at the
  // end), and together they hold exactly the declared length.
  std::unordered_set<uint32_t> visited;
  uint32_t next = rowReference;
  while (next != 0) {
    if (!visited.insert(next).second)
      throw DamagedFileError("the pieces of a memo value form a loop");
    const SlotBounds row = FindLongValueRow(file, next);
    if (row.length < 4) throw DamagedFileError("a memo value is cut short");
    next = ReadU32(page + row.start);
    const size_t piece = row.length - 4;
    if (piece > length - bytes.size())
      throw DamagedFileError("a memo value is longer than declared");
    bytes.append(reinterpret_cast<const char*>(page + row.start + 4), piece);
  }
  if (bytes.size() != length) throw DamagedFileError("a memo value is cut short");
}

}  // namespace mdbtokvt
