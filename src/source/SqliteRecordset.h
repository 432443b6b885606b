// A forward-walking recordset over an SQLite statement: rows are stepped as
// the walk goes, so even a large result never sits in memory as a whole.
// Owns the database it reads from.
#pragma once

#include <string>
#include <vector>

#include "source/Recordset.h"
#include "source/SqliteDatabase.h"

namespace mdbtokvt {

class SqliteRecordset final : public Recordset {
 public:
  // Steps to the first row. Raises 3000 when the statement fails.
  SqliteRecordset(SqliteDb db, SqliteStatement statement);

  bool Bof() const override { return empty_; }
  bool Eof() const override { return atEnd_; }
  // Back to the first row (by running the statement again when the walk has
  // moved on).
  void MoveFirst() override;
  void MoveNext() override;
  int32_t RecordCount() const override { return rowsSeen_; }
  int FieldIndex(std::string_view name) const override;
  const Value& FieldValue(int index) const override;

 private:
  // Steps once; fills row_ or sets atEnd_.
  void Step();
  Value ColumnValue(int index) const;

  SqliteDb db_;
  SqliteStatement statement_;
  std::vector<std::string> names_;
  std::vector<bool> booleanColumns_;
  std::vector<Value> row_;
  bool empty_ = false;
  bool atEnd_ = false;
  int32_t position_ = -1;
  int32_t rowsSeen_ = 0;
};

}  // namespace mdbtokvt
