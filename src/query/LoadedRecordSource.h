// The converting side of a record source the reader process has loaded
// (ReaderJob.h): the loaded tables read back from the reader's file and
// served to an in-memory SQLite connection, with the text collations, and
// the record source's statement running on them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "query/LoadedTables.h"
#include "source/RecordPlan.h"
#include "source/Recordset.h"

namespace mdbtokvt {

class StopRequest;

// Runs sql (the statement RunReaderJob returned, as it is) on the tables the
// reader loaded, with what plan allows on them:
//   plain               every loaded table a virtual table (LoadedTableModule.h);
//                       SQLite sorts what it must.
//   an order column     its table (up to 100,000 rows) stored by SQLite with
//                       an index on it (OrderedTable.h), so SQLite sorts
//                       only each run of rows sharing its value.
//   ... in parts        besides, from 256 distinct texts in that column on,
//                       on a machine of two cores or more, the statement
//                       run on two connections at once, each with every
//                       other value, their rows merged on it (MergedRecordset.h).
//   a membership join   the tables joined without SQLite (MembershipJoin.h),
//                       when they are what that takes (MembershipPlan.h);
//                       else as the order column and parts allow.
// Raises 3000 when SQLite cannot run the statement. stop, when given (it must
// outlive the recordset): a stop requested while the statement runs or the
// recordset is walked raises 18.
std::unique_ptr<Recordset> OpenLoadedRecordSource(LoadedTables tables, std::string_view sql,
                                                  const RecordPlan& plan = {},
                                                  const StopRequest* stop = nullptr);

// The same on the tables of a file the reader wrote. A membership join
// (RecordPlan.h) reads its largest table from the file a part at a time
// whenever it passes over it, so memory does not grow with that table;
// other statements read every table whole.
std::unique_ptr<Recordset> OpenLoadedRecordSource(std::shared_ptr<const LoadedTablesFile> file,
                                                  std::string_view sql, const RecordPlan& plan = {},
                                                  const StopRequest* stop = nullptr);

// The same on the tables of the file tablesPath; the recordset holds the
// tables, so the file may be unlinked as soon as this returns. Raises 3000
// also when the file is not one the reader wrote.
std::unique_ptr<Recordset> OpenLoadedRecordSource(const std::string& tablesPath,
                                                  std::string_view sql,
                                                  const RecordPlan& plan = {});

}  // namespace mdbtokvt
