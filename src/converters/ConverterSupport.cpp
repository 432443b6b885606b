#include "converters/ConverterSupport.h"

namespace mdbtokvt {

std::string ShortenAndNote(ConversionContext& context, NameTable& table, std::string_view tableFile,
                           const std::string& name) {
  std::string stored = table.ShortenName(name);
  if (stored.size() != name.size()) {
    // Each long name is reported once per table file.
    std::string key = std::string(tableFile) + '\0' + name;
    if (context.reportedShortenings.insert(std::move(key)).second) {
      context.report.shortenedNames.push_back({std::string(tableFile), name, stored});
    }
  }
  return stored;
}

void NoteDefaulted(ConversionContext& context, std::string_view tableFile, int32_t row,
                   std::string_view column) {
  context.report.defaultedValues.push_back({std::string(tableFile), row, std::string(column)});
}

std::string TextOf(ConversionContext& context, const Value& value, std::string_view tableFile,
                   int32_t row, std::string_view column) {
  if (value.IsNull()) {
    NoteDefaulted(context, tableFile, row, column);
    return {};
  }
  return ValueAsText(value);
}

}  // namespace mdbtokvt
