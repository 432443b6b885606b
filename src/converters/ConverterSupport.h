// Small helpers the three converters share: a column looked up by name once,
// on its first read, and name shortening that notes what it changed.
#pragma once

#include <string>
#include <string_view>

#include "converters/ConversionContext.h"
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
  // The current value's identity (Recordset::ValueIdentity), after Read.
  int32_t Identity(const Recordset& recordset) const { return recordset.ValueIdentity(index_); }
  std::string_view name() const { return name_; }

 private:
  std::string_view name_;
  int index_ = -1;
};

// Passes name through table and records the change in the context's report.
// lostSource: the name as the source holds it when the code page lost
// characters of it (Value::lostSource).
std::string ShortenAndNote(ConversionContext& context, NameTable& table, std::string_view tableFile,
                           const std::string& name, std::string_view lostSource = {});

// Records the characters of value that were written as '?', when there are
// any: written is what went into a field of width bytes (NUL included), and
// only the characters kept there count.
void NoteReplaced(ConversionContext& context, std::string_view tableFile, int32_t row,
                  std::string_view column, const Value& value, std::string_view written,
                  size_t width);

// How many characters of source (UTF-8) became '?' in the first kept bytes
// of converted, its code page form (one byte per character).
int32_t CharactersWrittenAsQuestionMarks(std::string_view source, std::string_view converted,
                                         size_t kept);

// Records a value that was Null (or empty where a number was wanted) and so
// was written as its default.
void NoteDefaulted(ConversionContext& context, std::string_view tableFile, int32_t row,
                   std::string_view column);

// The value taken as text, noting a Null as defaulted.
std::string TextOf(ConversionContext& context, const Value& value, std::string_view tableFile,
                   int32_t row, std::string_view column);

}  // namespace mdbtokvt
