// A record source's ORDER BY sorts all its joined rows. When the table its
// first term names is read in that order, SQLite only has to sort each run of
// rows sharing the first term's value (a block sort): for a large join that
// costs a fraction of the full sort and needs no temporary files. Virtual
// tables can offer an order only for the whole ORDER BY, so that one table
// goes into an ordinary SQLite table with a covering index on the column;
// the others stay virtual tables (LoadedTableModule.h).
//
// Which table and column is a hint read from the SQL text: a wrong or
// missing hint changes how SQLite runs the statement, never its result.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <optional>
#include <string_view>

#include "source/LoadedTables.h"

namespace mdbtokvt {

struct OrderedColumn {
  size_t table;   // in the loaded tables
  size_t column;  // in that table
};

// The loaded column the first term of sql's ORDER BY names, when it is a
// plain column reference ("NAME" or "TABLE.NAME") naming exactly one loaded
// column, and that column's table is small enough to be copied cheaply.
std::optional<OrderedColumn> FindLeadingOrderColumn(std::string_view sql,
                                                    const LoadedTables& tables);

// Creates table in db as an ordinary table under its own name, with its
// rows, and an index on column covering every column. Raises SqliteError.
void StoreOrderedTable(sqlite3* db, const LoadedTable& table, size_t column);

}  // namespace mdbtokvt
