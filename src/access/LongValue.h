// Long values (Memo, OLE): a 12-byte reference in the row, the data either
// inline after it, in one row of a long-value page, or in a chain of such rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "access/AccessFile.h"

namespace mdbtokvt {

// Replaces bytes with the stored bytes of the long value whose in-row part
// (reference and any inline data) is value[0..size). Reads long-value pages
// through the handle's second page buffer, so the row's page stays current.
// Raises DamagedFileError for a reference that cannot be followed (a page
// that is missing or holds no long values, a row that does not exist), for
// pieces that loop, and for pieces that do not add up to the stored length.
void ReadLongValue(const AccessFile& file, const uint8_t* value, size_t size, std::string& bytes);

}  // namespace mdbtokvt
