// The 15-byte table file header: tag "DB_VER", schema version, record count.
#pragma once

#include <cstdint>

#include "tablefile/RecordLayouts.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// Writes the header with a record count of 0.
void WriteTableHeader(TableFile& file, int16_t major, int16_t minor, int16_t patch);
// Writes count into the header's record count field; nothing else changes.
void WriteRecordCount(TableFile& file, int16_t count);

}  // namespace mdbtokvt
