// A recordset over rows held in memory, walked like the others; the tests
// hand converters and front ends canned results through it.
#pragma once

#include <string>
#include <vector>

#include "common/Value.h"
#include "source/Recordset.h"

namespace mdbtokvt {

class MemoryRecordset final : public Recordset {
 public:
  MemoryRecordset(std::vector<std::string> columns, std::vector<std::vector<Value>> rows);

  // From now on each value's identity is the first row holding an equal
  // value in its column, as a recordset that tells source values apart
  // gives them.
  void GiveIdentities();
  int32_t ValueIdentity(int index) const override;

  bool Bof() const override { return position_ < 0 || rows_.empty(); }
  bool Eof() const override {
    return rows_.empty() || position_ >= static_cast<long>(rows_.size());
  }
  void MoveFirst() override;
  void MoveNext() override;
  int32_t RecordCount() const override;
  int FieldIndex(std::string_view name) const override;
  const Value& FieldValue(int index) const override;

 private:
  std::vector<std::string> columns_;
  std::vector<std::vector<Value>> rows_;
  std::vector<std::vector<int32_t>> identities_;  // per row, per column, when given
  long position_;
  long highestVisited_;
};

}  // namespace mdbtokvt
