// Loading Access tables into SQLite: the one step that reads rows through
// libmdb. It runs in the reader process (see ReaderJob.h), which writes the
// rows into an SQLite database file that the query side then opens.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace mdbtokvt {

class AccessFile;
class CodePage;

struct TableLoad {
  std::string table;                 // catalog name of the table
  std::vector<std::string> columns;  // catalog names of the columns to fill
};

// Reads each requested table of file in slot order and inserts its rows into
// the table of the same name in target, which CreateTables made from the
// file's catalog: the requested columns get the values (text in the output
// code page, Null text as the Null marker), the others stay Null. All rows go
// in one transaction. Raises 3078 for a table the file does not have and
// 3343, naming the table and what gave way, for a table that cannot be read
// completely.
void LoadTables(const AccessFile& file, const CodePage& output,
                const std::vector<TableLoad>& tables, sqlite3* target);

}  // namespace mdbtokvt
