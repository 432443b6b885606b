#include "tablefile/WriteKVT.h"

#include "tablefile/WriteBin.h"

namespace mdbtokvt {

void WriteTableHeader(TableFile& file, int16_t major, int16_t minor, int16_t patch) {
  WriteFixedString(file, table_header::kTagText, table_header::kTag.width);
  WriteWord(file, major);
  WriteWord(file, minor);
  WriteWord(file, patch);
  WriteWord(file, 0);
}

void WriteRecordCount(TableFile& file, int16_t count) {
  const auto bits = static_cast<uint16_t>(count);
  const uint8_t bytes[2] = {static_cast<uint8_t>(bits & 0xFF), static_cast<uint8_t>(bits >> 8)};
  file.Overwrite(table_header::kRecordCount.offset, bytes, sizeof bytes);
}

}  // namespace mdbtokvt
