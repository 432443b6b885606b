// The user tables of an Access file with their columns: what the query side
// needs to know about a file before anything is loaded. Plain data, so it can
// be handed over from a reading process.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdbtokvt {

struct CatalogColumn {
  std::string name;  // UTF-8, as stored
  int type = 0;      // libmdb column type (MDB_TEXT, MDB_LONGINT, ...)
};

struct CatalogTable {
  std::string name;  // UTF-8, as stored
  std::vector<CatalogColumn> columns;
};

using Catalog = std::vector<CatalogTable>;

// Reads the user tables and their columns. Raises 3024 / 3343 as AccessFile
// does. A table whose definition cannot be read is left out (it then reads as
// missing).
Catalog ReadCatalog(std::string_view databasePath);

// The table whose name equals name without regard to case (ASCII letters and
// the letters of Latin-1), or null.
const CatalogTable* FindCatalogTable(const Catalog& catalog, std::string_view name);

}  // namespace mdbtokvt
