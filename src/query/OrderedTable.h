// A record source's ORDER BY sorts all its joined rows. When the table its
// first term names is read in that order, SQLite only has to sort each run of
// rows sharing the first term's value (a block sort): for a large join that
// costs a fraction of the full sort and needs no temporary files. Virtual
// tables can offer an order only for the whole ORDER BY, so that one table
// goes into an ordinary SQLite table with a covering index on the column;
// the others stay virtual tables (LoadedTableModule.h).
//
// Which table and column is declared with the record source (RecordPlan.h):
// a wrong or missing one changes how SQLite runs the statement, never its
// result.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "query/LoadedTables.h"
#include "source/RecordPlan.h"

namespace mdbtokvt {

// Copying a table costs about a microsecond a row; a table larger than this
// is left virtual, and the statement sorts all its rows.
inline constexpr uint64_t kMostRowsToStore = 100'000;

struct OrderedColumn {
  size_t table;   // in the loaded tables
  size_t column;  // in that table
};

// The loaded column plan's order column names (in any case), when its
// table is small enough to be copied cheaply. Nothing for a plan without
// one, or when no loaded column or more than one has that name.
std::optional<OrderedColumn> FindOrderColumn(const RecordPlan& plan, const LoadedTables& tables);

// The rows of table (in row order) in parts: every distinct value of column
// in its text collation (equal sort keys) goes whole to one part, the k-th
// distinct value in sort order to part k % parts. Empty when column holds
// anything but text and Null, or has fewer than minimumValues distinct
// values.
std::vector<std::vector<uint32_t>> SplitByLeadingValue(const LoadedTable& table, size_t column,
                                                       size_t parts, size_t minimumValues);

// Creates table in db as an ordinary table under its own name, with its
// rows (only those listed, in their order, when rows is given), and an
// index on column covering every column. Raises SqliteError.
void StoreOrderedTable(sqlite3* db, const LoadedTable& table, size_t column,
                       const std::vector<uint32_t>* rows = nullptr);

}  // namespace mdbtokvt
