// Prepares a record source's SQL on a database of empty tables and finds out
// which tables and columns it reads, so only those are loaded.
#pragma once

#include <sqlite3.h>

#include <string_view>
#include <vector>

#include "access/Catalog.h"
#include "query/SqliteDatabase.h"
#include "reader/TableLoader.h"

namespace mdbtokvt {

struct PreparedQuery {
  SqliteStatement statement;
  std::vector<TableLoad> reads;  // catalog names, in the order first read
};

// Prepares sql unchanged on db (whose tables CreateTables made from catalog).
// Raises 3078 for a table the statement names that does not exist (named as
// in the statement), 3061 "Too few parameters. Expected 1." for an unknown
// column, 3000 for other statements SQLite cannot prepare.
PreparedQuery PrepareQuery(sqlite3* db, std::string_view sql, const Catalog& catalog);

}  // namespace mdbtokvt
