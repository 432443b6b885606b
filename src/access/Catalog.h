// The user tables of an Access file with their columns: what the query side
// needs to know about a file before anything is loaded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdbtokvt {

class AccessFile;

struct CatalogColumn {
  std::string name;  // UTF-8, as stored
  int type = 0;      // libmdb column type (MDB_TEXT, MDB_LONGINT, ...)
};

struct CatalogTable {
  std::string name;  // UTF-8, as stored
  std::vector<CatalogColumn> columns;
};

using Catalog = std::vector<CatalogTable>;

// Reads the user tables of the open file and their columns. A table whose
// definition cannot be read is left out (it then reads as missing) and its
// name added to unreadable, when given.
Catalog ReadCatalog(const AccessFile& file, std::vector<std::string>* unreadable = nullptr);

// Reads the pages of the catalog table itself (MSysObjects) as strictly as a
// user table's: libmdb reads it without a word when pages are missing, and
// tables then seem not to exist. Raises DamagedFileError.
void CheckCatalogPages(const AccessFile& file);

// The table whose name equals name without regard to case (ASCII letters and
// the letters of Latin-1), or null.
const CatalogTable* FindCatalogTable(const Catalog& catalog, std::string_view name);

}  // namespace mdbtokvt
