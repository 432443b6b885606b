// Prepares a record source's SQL on a connection and reports which tables
// and columns SQLite reads to run it, so the reader loads only those.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "query/SqliteDatabase.h"

namespace mdbtokvt {

// One read SQLite announces while it prepares a statement: a column of a
// table under the table's declared name. Every table of a FROM clause is
// announced, with an empty column name when none of its columns is read
// (count(*)); column is empty when SQLite names none.
struct ColumnRead {
  std::string table;
  std::optional<std::string> column;
};

struct PreparedQuery {
  SqliteStatement statement;
  std::vector<ColumnRead> reads;  // in the order SQLite announced them
};

// Prepares sql unchanged on db. Raises 3078 for a table the statement names
// that does not exist (named as in the statement), 3061 "Too few parameters.
// Expected 1." for an unknown column, 3000 for other statements SQLite cannot
// prepare.
PreparedQuery PrepareQuery(sqlite3* db, std::string_view sql);

}  // namespace mdbtokvt
