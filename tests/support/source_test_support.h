// Shared helpers of the source layer tests: fixture paths, reading a whole
// record source, and reading the CSV exports that come with the real files.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/Value.h"
#include "query/LoadedTables.h"
#include "source/RecordPlan.h"

namespace mdbtokvt::source_test {

std::string Fixture(std::string_view relative);

struct Result {
  std::vector<std::vector<Value>> rows;
  int recordCount = 0;
};

// Opens recordSource on the file with a fresh data source (with plan) and
// walks it to the end, collecting every value of every row.
Result ReadAll(const std::string& path, std::string_view recordSource,
               const std::string& codePage = "WINDOWS-1252", const RecordPlan& plan = {});

// Appends a text given in UTF-8 the way the reader loads a Jet 4 text: in
// Windows-1252, with its Access 2000-2007 sort key.
void AppendName(LoadedColumn& column, std::string_view utf8);

// Every row of sql run on db as one line of text, each value followed by
// "|" (SQL Null as "<null>", a text of the loaded tables without its key).
std::vector<std::string> SqlRows(sqlite3* db, const std::string& sql);

// One column of a result as text (Null as "<Null>"), for compact checks.
std::vector<std::string> Column(const Result& result, size_t index);

struct CsvField {
  bool quoted = false;
  std::string text;  // UTF-8
};
struct CsvTable {
  std::vector<std::string> names;
  std::vector<std::string> types;  // TEXT, MEMO, LONG, ... without (n)
  std::vector<std::vector<CsvField>> rows;
};
// Reads an export: quoted fields may hold doubled quotes and line breaks.
CsvTable ReadCsv(const std::string& path);

// A day number as the exports write dates: yyyy-MM-dd HH:mm:ss, plus .SSS
// when there are milliseconds; before 1899-12-30 the fraction still counts
// forward from midnight.
std::string FormatAccessDate(double days);

}  // namespace mdbtokvt::source_test
