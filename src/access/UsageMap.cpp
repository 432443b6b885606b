#include "access/UsageMap.h"

namespace mdbtokvt {

namespace {

constexpr uint8_t kInlineMap = 0;
constexpr uint8_t kReferenceMap = 1;
constexpr uint8_t kUsageMapPageType = 0x05;

// Adds the page of every set bit of bitmap (bit i of byte i/8 standing for
// firstPage + i). Page 0 is the header and pages past the end do not exist:
// a map naming them is damaged, or the file was cut short.
void AddSetBits(const uint8_t* bitmap, size_t bytes, uint64_t firstPage, size_t pageCount,
                std::vector<uint32_t>& pages) {
  for (size_t i = 0; i < bytes; ++i) {
    if (bitmap[i] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if ((bitmap[i] & (1 << bit)) == 0) continue;
      const uint64_t page = firstPage + i * 8 + static_cast<uint64_t>(bit);
      if (page == 0 || page >= pageCount) {
        throw DamagedFileError("its page map names a page beyond the end of the file");
      }
      pages.push_back(static_cast<uint32_t>(page));
    }
  }
}

}  // namespace

std::vector<uint32_t> TableDataPages(const AccessFile& file, const MdbTableDef& table) {
  std::vector<uint32_t> pages;
  const auto* map = table.usage_map;
  const size_t size = table.map_sz;
  if (map == nullptr || size == 0) return pages;
  MdbHandle* mdb = file.handle();
  const size_t pageSize = file.geometry().pageSize;

  if (map[0] == kInlineMap) {
    if (size >= 5) AddSetBits(map + 5, size - 5, ReadU32(map + 1), file.PageCount(), pages);
    return pages;
  }
  if (map[0] != kReferenceMap) throw DamagedFileError("its page map has an unknown form");

  const uint64_t pagesPerMapPage = static_cast<uint64_t>(pageSize - 4) * 8;
  for (size_t index = 0; 1 + 4 * index + 4 <= size; ++index) {
    const uint32_t mapPage = ReadU32(map + 1 + 4 * index);
    if (mapPage == 0) continue;
    if (mapPage >= file.PageCount()) {
      throw DamagedFileError("its page map lies beyond the end of the file");
    }
    if (mdb_read_alt_pg(mdb, mapPage) != static_cast<ssize_t>(pageSize) ||
        mdb->alt_pg_buf[0] != kUsageMapPageType) {
      throw DamagedFileError("its page map cannot be read");
    }
    AddSetBits(mdb->alt_pg_buf + 4, pageSize - 4, index * pagesPerMapPage, file.PageCount(), pages);
  }
  return pages;
}

}  // namespace mdbtokvt
