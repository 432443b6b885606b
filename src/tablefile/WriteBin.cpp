#include "tablefile/WriteBin.h"

#include <algorithm>

#include "common/Error.h"

namespace mdbtokvt {

void WriteByte(TableFile& file, uint8_t value) { file.PutByte(value); }

void WriteWord(TableFile& file, int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  file.PutByte(static_cast<uint8_t>(bits & 0xFF));
  file.PutByte(static_cast<uint8_t>(bits >> 8));
}

void WriteLong(TableFile& file, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  WriteWord(file, static_cast<int16_t>(bits & 0xFFFF));
  WriteWord(file, static_cast<int16_t>(bits >> 16));
}

void WriteFixedString(TableFile& file, std::string_view text, int16_t width) {
  if (width < 1) {
    throw ConversionError(ErrorNumber::kInvalidArgument,
                          ClassicDescription(ErrorNumber::kInvalidArgument));
  }
  const size_t room = static_cast<size_t>(width) - 1;
  const size_t n = std::min(text.size(), room);
  file.PutPadded(text.substr(0, n), static_cast<size_t>(width));
}

void WriteConstantField(TableFile& file, const Field& field) {
  switch (field.type) {
    case FieldType::kByte:
      WriteByte(file, static_cast<uint8_t>(field.constant));
      return;
    case FieldType::kWord:
      WriteWord(file, field.constant);
      return;
    case FieldType::kLong:
      WriteLong(file, field.constant);
      return;
    case FieldType::kText:
      WriteFixedString(file, "", static_cast<int16_t>(field.width));
      return;
  }
}

void WriteRecord(TableFile& file, std::span<const Field> layout,
                 std::initializer_list<FieldValue> values) {
  for (const Field& field : layout) {
    const auto given = std::find_if(values.begin(), values.end(),
                                    [&](const FieldValue& value) { return value.field == field; });
    if (given == values.end()) {
      WriteConstantField(file, field);
      continue;
    }
    switch (field.type) {
      case FieldType::kByte:
        WriteByte(file, static_cast<uint8_t>(given->number));
        break;
      case FieldType::kWord:
        WriteWord(file, static_cast<int16_t>(given->number));
        break;
      case FieldType::kLong:
        WriteLong(file, given->number);
        break;
      case FieldType::kText:
        WriteFixedString(file, given->text, static_cast<int16_t>(field.width));
        break;
    }
  }
}

}  // namespace mdbtokvt
