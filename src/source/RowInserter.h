// Inserts decoded rows into one SQLite table, many rows per INSERT statement:
// per-statement work dominates the cost of loading narrow rows.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "source/FieldDecoder.h"
#include "source/SqliteDatabase.h"

namespace mdbtokvt {

class RowInserter {
 public:
  // textColumns[i] tells whether columns[i] holds text (a Null there is
  // stored as the Null marker). No columns: rows are inserted with default
  // (Null) values, which still counts them.
  RowInserter(sqlite3* db, const std::string& table, const std::vector<std::string>& columns,
              std::vector<bool> textColumns);

  // The cells of the next row, one per column, to be filled by the caller.
  std::vector<Cell>::iterator NextRow();
  // Inserts the rows still held back. Must be called after the last row.
  void Finish();

 private:
  SqliteStatement Prepare(size_t rows) const;
  void Insert(sqlite3_stmt* statement, size_t rows);

  sqlite3* db_;
  std::string prefix_;     // INSERT INTO "t" ("a", "b") VALUES
  std::string rowValues_;  // (?, ?)
  std::vector<bool> textColumns_;
  size_t batchRows_;
  SqliteStatement batch_;
  std::vector<Cell> cells_;  // batchRows_ rows of cells
  size_t pending_ = 0;
};

}  // namespace mdbtokvt
