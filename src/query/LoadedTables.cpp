#include "query/LoadedTables.h"

#include <cstring>

#include "sortorder/CollatedText.h"

namespace mdbtokvt {

void LoadedColumn::NoteKind(ValueKind kind) {
  const auto value = static_cast<uint8_t>(kind);
  if (soleKind_ == kNoRows) {
    soleKind_ = value;
  } else if (soleKind_ != value) {
    soleKind_ = kMixedKinds;
  }
}

void LoadedColumn::Widen() {
  // Conversion to unsigned is modular: negative values keep their 64 bits.
  slots_.assign(ints_.begin(), ints_.end());
  kinds_.assign(ints_.size(), static_cast<uint8_t>(ValueKind::kInteger));
  ints_ = {};
  compact_ = false;
}

void LoadedColumn::AppendNull() {
  if (compact_) Widen();
  NoteKind(ValueKind::kNull);
  kinds_.push_back(static_cast<uint8_t>(ValueKind::kNull));
  slots_.push_back(0);
}

void LoadedColumn::AppendInteger(int64_t value) {
  if (compact_) Widen();
  NoteKind(ValueKind::kInteger);
  kinds_.push_back(static_cast<uint8_t>(ValueKind::kInteger));
  slots_.push_back(static_cast<uint64_t>(value));
}

void LoadedColumn::AppendDouble(double value) {
  if (compact_) Widen();
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  NoteKind(ValueKind::kDouble);
  kinds_.push_back(static_cast<uint8_t>(ValueKind::kDouble));
  slots_.push_back(bits);
  onlyIntegers_ = false;
}

void LoadedColumn::AppendText(std::string_view text, std::string_view key,
                              std::string_view lostSource) {
  const size_t start = BeginBytes(ValueKind::kText);
  if (key.empty()) {
    arena_.append(text);
  } else {
    AppendCollatedText(text, key, arena_, lostSource);
  }
  EndBytes(start);
}

void LoadedColumn::AppendBlob(std::string_view bytes) {
  const size_t start = BeginBytes(ValueKind::kBlob);
  arena_.append(bytes);
  EndBytes(start);
}

size_t LoadedColumn::BeginBytes(ValueKind kind) {
  if (compact_) Widen();
  NoteKind(kind);
  kinds_.push_back(static_cast<uint8_t>(kind));
  slots_.push_back(arena_.size());
  onlyIntegers_ = false;
  const size_t start = arena_.size();
  arena_.append(kLengthBytes, '\0');
  return start;
}

void LoadedColumn::EndBytes(size_t start) {
  // Access values are far below 4 GB (a Memo holds at most 1 GB).
  const auto length = static_cast<uint32_t>(arena_.size() - start - kLengthBytes);
  std::memcpy(arena_.data() + start, &length, kLengthBytes);
}

void LoadedColumn::Reserve(size_t rows) {
  if (compact_) {
    ints_.reserve(rows);
    return;
  }
  kinds_.reserve(rows);
  slots_.reserve(rows);
}

void LoadedColumn::Clear() {
  ints_.clear();
  compact_ = false;
  kinds_.clear();
  slots_.clear();
  arena_.clear();
  soleKind_ = kNoRows;
  onlyIntegers_ = true;
}

double LoadedColumn::number(size_t row) const {
  double value = 0;
  std::memcpy(&value, &slots_[row], sizeof value);
  return value;
}

std::string_view LoadedColumn::bytes(size_t row) const {
  const size_t offset = slots_[row];
  uint32_t length = 0;
  std::memcpy(&length, arena_.data() + offset, kLengthBytes);
  return {arena_.data() + offset + kLengthBytes, length};
}

std::string_view LoadedColumn::text(size_t row) const { return CollatedTextOf(bytes(row)); }

}  // namespace mdbtokvt
