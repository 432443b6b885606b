// The converting side of a record source the reader process has loaded
// (ReaderJob.h): the loaded tables read back from the reader's file and
// served to an in-memory SQLite connection, with the text collations, and
// the record source's statement running on them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "source/Recordset.h"

namespace mdbtokvt {

// Reads tablesPath and runs sql (the statement RunReaderJob returned) on its
// tables. The recordset holds the tables, so the file may be unlinked as
// soon as this returns. A plain join sorted by a text column of many values
// runs on two connections at once, merged on that column (OrderedTable.h,
// MergedRecordset.h). Raises 3000 when the file is not one the reader wrote
// or SQLite cannot run the statement.
std::unique_ptr<Recordset> OpenLoadedRecordSource(const std::string& tablesPath,
                                                  std::string_view sql);

}  // namespace mdbtokvt
