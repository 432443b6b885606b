#include "query/MergedRecordset.h"

#include "common/Error.h"
#include "sortorder/SortKey.h"

namespace mdbtokvt {

MergedRecordset::MergedRecordset(std::vector<std::unique_ptr<SqliteRecordset>> parts)
    : parts_(std::move(parts)) {
  PickCurrent();
}

bool MergedRecordset::Bof() const {
  for (const auto& part : parts_) {
    if (!part->Bof()) return false;
  }
  return true;
}

void MergedRecordset::PickCurrent() {
  current_ = nullptr;
  for (const auto& part : parts_) {
    if (part->Eof()) continue;
    if (current_ == nullptr || CompareSortKeys(part->SortKey(), current_->SortKey()) < 0) {
      current_ = part.get();
    }
  }
}

void MergedRecordset::MoveFirst() {
  if (Bof()) ThrowNoCurrentRecord();
  for (const auto& part : parts_) {
    if (!part->Bof()) part->MoveFirst();
  }
  PickCurrent();
}

void MergedRecordset::MoveNext() {
  if (current_ == nullptr) ThrowNoCurrentRecord();
  current_->MoveNext();
  PickCurrent();
}

int32_t MergedRecordset::RecordCount() const {
  int32_t count = 0;
  for (const auto& part : parts_) count += part->RecordCount();
  return count;
}

int MergedRecordset::FieldIndex(std::string_view name) const {
  return parts_.front()->FieldIndex(name);
}

const Value& MergedRecordset::FieldValue(int index) const {
  // At the end the first part answers: 3265 for a bad index, else 3021.
  return (current_ != nullptr ? current_ : parts_.front().get())->FieldValue(index);
}

}  // namespace mdbtokvt
