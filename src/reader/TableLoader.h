// Loading Access tables: the one step that reads rows through libmdb. It
// runs in the reader process (see ReaderJob.h) and writes the loaded tables
// to a file that the query side then reads.
#pragma once

#include <string>
#include <vector>

#include "access/Catalog.h"
#include "query/LoadedTables.h"
#include "query/PreparedQuery.h"

namespace mdbtokvt {

class AccessFile;
class CodePage;

struct TableLoad {
  std::string table;                 // catalog name of the table
  std::vector<std::string> columns;  // catalog names of the columns to fill
};

// The tables and columns of catalog among reads (what SQLite read to prepare
// the record source), each once, in the order first read. A table read
// without a column (count(*)) is loaded with no columns, for its rows;
// names that are no column of the catalog (rowid) and tables that are not
// in it (SQLite's own) are left out.
std::vector<TableLoad> TablesToLoad(const std::vector<ColumnRead>& reads, const Catalog& catalog);

// Reads each requested table of file in slot order, keeping the requested
// columns (in the table's own order, with the types CreateTables declares;
// text in the output code page), and writes it to out as it is read, a part
// of partRows rows (at most kLoadedPartRows) at a time; out is not
// finished. Raises
// 3078 for a table the file does not have and 3343, naming the table and
// what gave way, for a table that cannot be read completely, and the file
// errors of out.
void LoadTables(const AccessFile& file, const CodePage& output,
                const std::vector<TableLoad>& tables, LoadedTablesWriter& out,
                size_t partRows = kLoadedPartRows);

}  // namespace mdbtokvt
