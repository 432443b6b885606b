// Loading Access tables into SQLite: the one step that reads rows through
// libmdb. Its inputs and outputs are plain data (paths, names, a code page
// name) so that it can run apart from the rest of the program, e.g. in a
// process of its own with time and memory limits, writing into an SQLite
// database file that the query side then opens.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace mdbtokvt {

struct TableLoad {
  std::string table;                 // catalog name of the table
  std::vector<std::string> columns;  // catalog names of the columns to fill
};

struct LoadRequest {
  std::string databasePath;  // the Access file
  std::string codePage;      // iconv name of the output code page
  std::vector<TableLoad> tables;
};

// Reads each requested table of the Access file in slot order and inserts its
// rows into the table of the same name in target, which CreateTables made
// from the same file's catalog: the requested columns get the values (text in
// the output code page, Null text as the Null marker), the others stay Null.
// All rows go in one transaction. Raises 3024 / 3343 for the Access file,
// 3078 for a table it does not have, 5 for an unusable code page.
void LoadTables(const LoadRequest& request, sqlite3* target);

}  // namespace mdbtokvt
