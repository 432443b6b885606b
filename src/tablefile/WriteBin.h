// The field primitives of a table file: byte, word, long and fixed-width
// string, all little-endian, appended at the current end of the file.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "tablefile/RecordLayouts.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

void WriteByte(TableFile& file, uint8_t value);
// Two bytes, low first. Negative values are written in two's complement
// (-2 gives FE FF), which is what a reader of a signed field expects.
void WriteWord(TableFile& file, int16_t value);
// Four bytes, low word first, two's complement for negative values.
void WriteLong(TableFile& file, int32_t value);
// Exactly width bytes: at most width - 1 bytes of text, then NUL bytes up to
// width, so the field always ends in at least one NUL. A width below 1 is
// refused with error 5.
void WriteFixedString(TableFile& file, std::string_view text, int16_t width);
// A field no row value fills, with the primitive its type calls for: its
// constant, or an empty text of its width.
void WriteConstantField(TableFile& file, const Field& field);

// A row's value for one field of a record: the text of a text field, the
// number of a byte, word or long.
struct FieldValue {
  Field field;
  std::string_view text = {};
  int32_t number = 0;
};

// Writes a record field by field in the layout's order, each with the
// primitive of its type: the value given for it, else its constant.
void WriteRecord(TableFile& file, std::span<const Field> layout,
                 std::initializer_list<FieldValue> values);

}  // namespace mdbtokvt
