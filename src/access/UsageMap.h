// The data pages of a table, read from its usage map: the pages a scan of the
// table visits, in the order it visits them.
#pragma once

#include <cstdint>
#include <vector>

#include "access/AccessFile.h"

namespace mdbtokvt {

// Page numbers in ascending order. The map comes in two forms: an inline
// bitmap starting at a given page (type 0), or a list of map pages that each
// hold a bitmap of a fixed range of pages (type 1). Raises DamagedFileError
// for a map of another form, a map page that cannot be read, and a map naming
// the header page or a page past the end of the file.
std::vector<uint32_t> TableDataPages(const AccessFile& file, const MdbTableDef& table);

}  // namespace mdbtokvt
