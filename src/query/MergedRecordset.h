// The rows of several recordsets, each sorted by one column in its text
// collation and holding values of that column no other one holds, walked as
// one recordset in that column's order. Runs one statement on parts of its
// ordered table in parallel (OrderedTable.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "query/SqliteRecordset.h"

namespace mdbtokvt {

class MergedRecordset final : public Recordset {
 public:
  // parts: at least one, all with the same columns, each keeping the sort
  // keys of the column they are sorted by.
  explicit MergedRecordset(std::vector<std::unique_ptr<SqliteRecordset>> parts);

  bool Bof() const override;
  bool Eof() const override { return current_ == nullptr; }
  void MoveFirst() override;
  void MoveNext() override;
  int32_t RecordCount() const override;
  int FieldIndex(std::string_view name) const override;
  const Value& FieldValue(int index) const override;

 private:
  // Makes current_ the part whose row comes first (the earliest part on a
  // tie, which the parts' distinct values rule out anyway), or null at the end.
  void PickCurrent();

  std::vector<std::unique_ptr<SqliteRecordset>> parts_;
  SqliteRecordset* current_ = nullptr;
};

}  // namespace mdbtokvt
