#include "source/LoadedRecordSource.h"

#include <algorithm>
#include <string>
#include <thread>

#include "common/Error.h"
#include "source/LoadedTableModule.h"
#include "source/LoadedTables.h"
#include "source/OrderedTable.h"
#include "source/QueryPlan.h"
#include "source/SqliteDatabase.h"
#include "source/SqliteRecordset.h"
#include "source/TextCollation.h"

namespace mdbtokvt {

namespace {

constexpr unsigned kMostSorterThreads = 4;

// Helper threads beside the one running the query: one per further core.
unsigned SorterThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? std::min(cores - 1, kMostSorterThreads) : 0;
}

}  // namespace

std::unique_ptr<Recordset> OpenLoadedRecordSource(const std::string& tablesPath,
                                                  const CodePage& codePage, std::string_view sql) {
  try {
    LoadedTables tables = ReadLoadedTables(tablesPath);
    SqliteDb db = OpenSqlite(":memory:");
    // A statement that must sort its whole result has SQLite sort the
    // pieces in helper threads while the query runs.
    ExecuteSql(db.get(), "PRAGMA threads=" + std::to_string(SorterThreads()));
    RegisterTextCollation(db.get(), codePage);
    const std::optional<OrderedColumn> ordered = FindLeadingOrderColumn(sql, tables);
    if (ordered) StoreOrderedTable(db.get(), tables[ordered->table], ordered->column);
    AttachLoadedTables(db.get(), std::move(tables),
                       ordered ? std::optional<size_t>(ordered->table) : std::nullopt);
    PreparedQuery query = PrepareQuery(db.get(), sql, {});
    return std::make_unique<SqliteRecordset>(std::move(db), std::move(query.statement));
  } catch (const SqliteError& e) {
    throw ConversionError(
        kErrSyntax, std::string("The database engine cannot run the query: ") + e.what() + ".");
  }
}

}  // namespace mdbtokvt
