#include "access/FieldDecoder.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "access/LongValue.h"

namespace mdbtokvt {

namespace {

constexpr size_t kGuidSize = 16;
constexpr size_t kNumericSize = 17;

template <typename T>
T ReadRaw(const uint8_t* data) {
  T value;
  std::memcpy(&value, data, sizeof value);  // the file is little-endian, as are our targets
  return value;
}

// A fixed-width value read from the first bytes of a field of size bytes.
template <typename T>
T ReadFixed(const uint8_t* data, size_t size) {
  if (size < sizeof(T)) throw DamagedFileError("field too short for its type");
  return ReadRaw<T>(data);
}

void SetInteger(Cell& cell, int64_t value) {
  cell.kind = ValueKind::kInteger;
  cell.integer = value;
}

void SetNumber(Cell& cell, double value) {
  cell.kind = ValueKind::kDouble;
  cell.number = value;
}

// A Replication ID as Access shows it: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX},
// the first three groups stored little-endian.
std::string FormatGuid(const uint8_t* d) {
  static constexpr int kOrder[kGuidSize] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "{";
  for (size_t i = 0; i < kGuidSize; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(kHex[d[kOrder[i]] >> 4]);
    text.push_back(kHex[d[kOrder[i]] & 0x0F]);
  }
  text.push_back('}');
  return text;
}

}  // namespace

double WidenSingle(float value) {
  if (!std::isfinite(value)) return value;
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
  double widened = value;
  std::from_chars(buffer, written.ptr, widened);
  return widened;
}

double DecodeNumeric(const uint8_t* data, int scale) {
  // Four 32-bit little-endian words, the most significant first.
  long double mantissa = 0;
  for (int word = 0; word < 4; ++word) {
    mantissa = mantissa * 4294967296.0L + ReadU32(data + 1 + 4 * word);
  }
  const long double value = mantissa / std::pow(10.0L, scale);
  return static_cast<double>((data[0] & 0x80) ? -value : value);
}

void FieldDecoder::DecodeText(const uint8_t* data, size_t size, SortOrder order, Cell& cell) {
  cell.kind = ValueKind::kText;
  text_.Decode(data, size, order, cell.text);
}

void FieldDecoder::Decode(const MdbColumn& column, const MdbField& field, SortOrder textOrder,
                          Cell& cell) {
  if (column.col_type == MDB_BOOL) {
    // The null-mask bit is the value.
    cell.kind = ValueKind::kInteger;
    cell.integer = field.is_null ? 0 : 1;
    return;
  }
  cell.kind = ValueKind::kNull;
  if (field.is_null || column.col_type == MDB_OLE) return;
  const size_t pageSize = file_.geometry().pageSize;
  if (field.siz < 0 || field.start < 0 || static_cast<size_t>(field.start) + field.siz > pageSize) {
    throw DamagedFileError("field outside its page");
  }
  const uint8_t* data = file_.handle()->pg_buf + field.start;
  const auto size = static_cast<size_t>(field.siz);
  auto needs = [&](size_t bytes) {
    if (size < bytes) throw DamagedFileError("field too short for its type");
  };

  switch (column.col_type) {
    case MDB_BYTE:
      SetInteger(cell, ReadFixed<uint8_t>(data, size));
      return;
    case MDB_INT:
      SetInteger(cell, ReadFixed<int16_t>(data, size));
      return;
    case MDB_LONGINT:
    case MDB_COMPLEX:
      SetInteger(cell, ReadFixed<int32_t>(data, size));
      return;
    case MDB_MONEY:
      SetNumber(cell, static_cast<double>(ReadFixed<int64_t>(data, size)) / 10000.0);
      return;
    case MDB_FLOAT:
      SetNumber(cell, WidenSingle(ReadFixed<float>(data, size)));
      return;
    case MDB_DOUBLE:
    case MDB_DATETIME:
      SetNumber(cell, ReadFixed<double>(data, size));
      return;
    case MDB_NUMERIC:
      needs(kNumericSize);
      SetNumber(cell, DecodeNumeric(data, column.col_prec));  // libmdb keeps the scale here
      return;
    case MDB_TEXT:
      DecodeText(data, size, textOrder, cell);
      return;
    case MDB_MEMO:
      ReadLongValue(file_, data, size, longValue_);
      DecodeText(reinterpret_cast<const uint8_t*>(longValue_.data()), longValue_.size(), textOrder,
                 cell);
      return;
    case MDB_REPID: {
      needs(kGuidSize);
      cell.kind = ValueKind::kText;
      text_.DecodeAscii(FormatGuid(data), textOrder, cell.text);
      return;
    }
    default:  // Binary and types this program has no use for: raw bytes
      cell.kind = ValueKind::kBlob;
      cell.bytes.assign(reinterpret_cast<const char*>(data), size);
      return;
  }
}

}  // namespace mdbtokvt
