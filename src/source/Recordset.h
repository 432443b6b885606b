// The open result of a record source, walked forward row by row; each column
// is read by name (matched without regard to case) as a value that may be Null.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/NamesEqual.h"
#include "common/Value.h"

namespace mdbtokvt {

class Recordset {
 public:
  virtual ~Recordset() = default;

  // Both true exactly when the result has no rows (read before the walk).
  virtual bool Bof() const = 0;
  virtual bool Eof() const = 0;
  // Makes the first row current (on a result with rows).
  virtual void MoveFirst() = 0;
  // Makes the next row current; past the last row Eof() becomes true.
  virtual void MoveNext() = 0;
  // The number of rows of the result, once the walk has reached Eof().
  virtual int32_t RecordCount() const = 0;

  // Position of the column with this name, without regard to case.
  // Raises 3265 "Item not found in this collection." when there is none.
  virtual int FieldIndex(std::string_view name) const = 0;
  // The current row's value in that column. Raises 3021 without a current row.
  virtual const Value& FieldValue(int index) const = 0;

  // A number the current row's value in column index shares with every
  // other row whose value there comes from the same source value (the values
  // are then equal), or -1 when the recordset cannot tell: what is computed
  // from a value can be kept by it. Numbers are below 2^31.
  virtual int32_t ValueIdentity(int index) const {
    static_cast<void>(index);
    return -1;
  }

  const Value& Field(std::string_view name) const { return FieldValue(FieldIndex(name)); }
};

}  // namespace mdbtokvt
