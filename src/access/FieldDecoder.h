// Decodes one cracked field of a row from its raw bytes into a typed cell:
// numbers from their little-endian bytes (never through libmdb's locale-
// dependent strings), text converted to the output code page with its sort
// key, Null kept apart from an empty text.
#pragma once

#include <cstdint>
#include <string>

#include "access/AccessFile.h"
#include "access/TextDecoder.h"
#include "common/ValueKind.h"

namespace mdbtokvt {

struct Cell {
  ValueKind kind = ValueKind::kNull;  // never a Boolean: Yes/No gives 1/0
  int64_t integer = 0;
  double number = 0;
  DecodedText text;   // a text
  std::string bytes;  // raw bytes of a blob
};

class FieldDecoder {
 public:
  FieldDecoder(const AccessFile& file, TextDecoder& text) : file_(file), text_(text) {}

  // Fills cell with the value of column in the row just cracked into field;
  // a text gets the key of textOrder.
  // Yes/No gives 1/0 (it is never Null); Date/Time gives days since
  // 1899-12-30 (the fraction the time of day), Currency its exact value as a
  // double; OLE objects are not read and give Null. Raises DamagedFileError for a field that lies
  // outside its page.
  void Decode(const MdbColumn& column, const MdbField& field, SortOrder textOrder, Cell& cell);

 private:
  void DecodeText(const uint8_t* data, size_t size, SortOrder order, Cell& cell);

  const AccessFile& file_;
  TextDecoder& text_;
  std::string longValue_;  // reused buffer for Memo bytes
};

// Single-precision values are widened through their shortest decimal form,
// so 0.15f reads as 0.15 rather than 0.15000000596046448.
double WidenSingle(float value);

// A Numeric (decimal) value: a sign byte, then a 128-bit mantissa; the value
// is the mantissa divided by 10^scale.
double DecodeNumeric(const uint8_t* data, int scale);

}  // namespace mdbtokvt
