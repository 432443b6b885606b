// Small helpers the three converters share: a column looked up by name once,
// on its first read, and name shortening that notes what it changed.
#pragma once

#include <string>
#include <string_view>

#include "run/ConversionContext.h"
#include "source/Recordset.h"

namespace mdbtokvt {

// A column of the recordset, found by name on its first read (so a column
// that is never read is never looked up, and a missing one raises 3265 then).
class LazyField {
 public:
  explicit LazyField(std::string_view name) : name_(name) {}
  const Value& Read(const Recordset& recordset) {
    if (index_ < 0) index_ = recordset.FieldIndex(name_);
    return recordset.FieldValue(index_);
  }
  std::string_view name() const { return name_; }

 private:
  std::string_view name_;
  int index_ = -1;
};

// Passes name through table and records the change in the context's report.
std::string ShortenAndNote(ConversionContext& context, NameTable& table, std::string_view tableFile,
                           const std::string& name);

// Records a value that was Null (or empty where a number was wanted) and so
// was written as its default.
void NoteDefaulted(ConversionContext& context, std::string_view tableFile, int32_t row,
                   std::string_view column);

// The value taken as text, noting a Null as defaulted.
std::string TextOf(ConversionContext& context, const Value& value, std::string_view tableFile,
                   int32_t row, std::string_view column);

}  // namespace mdbtokvt
