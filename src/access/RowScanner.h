// Walks the rows of a table in slot order, the order Access returns them:
// data pages in usage map order, slots in order on each page, a row that was
// moved to another page (its slot holding an overflow pointer) read where the
// pointer leads but delivered at its own slot's place.
#pragma once

#include <functional>
#include <vector>

#include "access/AccessFile.h"

namespace mdbtokvt {

// Called once per row with one cracked field per table column (in the order
// of table.columns). The fields point into the handle's page buffer and are
// valid only during the call; the callee may read other pages through the
// handle's second page buffer (long values), not through the first.
using RowCallback = std::function<void(const MdbField* fields)>;

// Reads every live row of table. Raises DamagedFileError when a page of the
// table or one of its rows cannot be read, when its page map names a page
// that is not one of its data pages, when moved rows cannot be followed to
// exactly one hidden row each, and when the rows found are not as many as the
// table definition counts. Reads only this table until it returns: libmdb's
// page buffer is shared by all tables of a handle.
void ScanTableRows(const AccessFile& file, MdbTableDef& table, const RowCallback& onRow);

}  // namespace mdbtokvt
