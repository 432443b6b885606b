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

void MemoryRecordset::GiveIdentities() {
  identities_.assign(rows_.size(), std::vector<int32_t>(columns_.size(), -1));
  for (size_t c = 0; c < columns_.size(); ++c) {
    for (size_t r = 0; r < rows_.size(); ++r) {
      for (size_t first = 0; first <= r && c < rows_[r].size(); ++first) {
        if (c < rows_[first].size() && rows_[first][c] == rows_[r][c]) {
          identities_[r][c] = static_cast<int32_t>(first);
          break;
        }
      }
    }
  }
}

int32_t MemoryRecordset::ValueIdentity(int index) const {
  if (identities_.empty() || Bof() || Eof() || index < 0) return -1;
  const auto& row = identities_[static_cast<size_t>(position_)];
  return static_cast<size_t>(index) < row.size() ? row[static_cast<size_t>(index)] : -1;
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
