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
  long position_;
  long highestVisited_;
};

}  // namespace mdbtokvt
