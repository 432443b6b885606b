// The work of the reader process: everything that touches libmdb. Kept out
// of the converting process because a damaged file can make libmdb loop
// forever or allocate without end, which only a process boundary contains.
#pragma once

#include <functional>
#include <string>

#include "readerprotocol/ReaderProtocol.h"

namespace mdbtokvt {

struct ReaderRequest {
  std::string databasePath;  // the Access file, as the user named it
  // The file to fill: tablesFd, an empty file open for writing (the job
  // takes it over), named tablesPath in messages; without a descriptor, the
  // existing file tablesPath, truncated.
  std::string tablesPath;
  std::string codePage;      // iconv name of the output code page
  std::string recordSource;  // a table name or an SQL SELECT statement
  int tablesFd = -1;
};

// What the reader process does at two points of the job; either may be
// empty.
struct ReaderJobSteps {
  // Runs once everything the job opens is open (the tables file, the
  // database with its header page read, the code pages) and before libmdb
  // reads any other page.
  std::function<void()> afterFilesOpened;
  // Runs once between the catalog and the first read of a table's pages.
  std::function<void()> beforeTableReads;
};

// Opens the tables file, the output code page and the database; then reads
// the catalog, creates every user table empty in an in-memory SQLite
// database, prepares the record source there to learn which tables and
// columns it reads, and loads just those into the tables file
// (LoadedTables.h). Raises the data source's errors: 3024, 3051 and 3343 for
// the file, 3078 and 3061 for the record source, 3000 for SQLite failures, 5
// for the code page, and the file errors of the tables file.
ReaderResult RunReaderJob(const ReaderRequest& request, const ReaderJobSteps& steps);

// A record source is an SQL statement when it starts with SELECT (any case,
// after blanks); otherwise it names a table.
bool IsSqlText(std::string_view source);

}  // namespace mdbtokvt
