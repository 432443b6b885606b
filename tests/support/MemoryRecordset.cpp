#include "MemoryRecordset.h"

#include <algorithm>

#include "common/Error.h"

namespace mdbtokvt {

MemoryRecordset::MemoryRecordset(std::vector<std::string> columns,
                                 std::vector<std::vector<Value>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {
  // Like a snapshot: the first row is current when the result has rows.
  position_ = rows_.empty() ? 0 : 0;
  highestVisited_ = rows_.empty() ? -1 : 0;
}

void MemoryRecordset::MoveFirst() {
  if (rows_.empty()) ThrowNoCurrentRecord();
  position_ = 0;
}

void MemoryRecordset::MoveNext() {
  if (Eof()) ThrowNoCurrentRecord();
  ++position_;
  highestVisited_ = std::max(highestVisited_, position_);
}

int32_t MemoryRecordset::RecordCount() const {
  // A forward walk knows the rows it has passed; at the end that is all of them.
  return static_cast<int32_t>(std::min<long>(highestVisited_ + 1, static_cast<long>(rows_.size())));
}

int MemoryRecordset::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (NamesEqual(columns_[i], name)) return static_cast<int>(i);
  }
  ThrowItemNotFound();
}

const Value& MemoryRecordset::FieldValue(int index) const {
  if (Bof() || Eof()) ThrowNoCurrentRecord();
  const auto& row = rows_[static_cast<size_t>(position_)];
  if (index < 0 || static_cast<size_t>(index) >= row.size()) ThrowItemNotFound();
  return row[static_cast<size_t>(index)];
}

}  // namespace mdbtokvt
