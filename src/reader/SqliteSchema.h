// How Access tables look in SQLite: one SQLite table per user table, same
// names, with declared types that keep each value's kind and give text its
// sort order.
#pragma once

#include <sqlite3.h>

#include <string_view>

#include "access/Catalog.h"
#include "query/LoadedTables.h"
#include "sortorder/SortKey.h"

namespace mdbtokvt {

// Text, Memo and Replication ID columns: stored as output code page bytes
// with their sort keys (CollatedText.h), sorted with the text collation of
// the file's sort order, Null stored as the Null marker.
bool IsTextColumn(int mdbType);

// The column definition text for an Access column type, e.g.
// "INTEGER", "REAL", "TEXT COLLATE ACCESSTEXT"; text sorts in order.
std::string_view ColumnDefinition(int mdbType, SortOrder order);

// Creates every table of the catalog, empty, text sorting in order. The text
// collations must be registered on db first.
void CreateTables(sqlite3* db, const Catalog& catalog, SortOrder order);

}  // namespace mdbtokvt
