#include "converters/ConverterSupport.h"

#include <algorithm>

namespace mdbtokvt {

std::string ShortenAndNote(ConversionContext& context, NameTable& table, std::string_view tableFile,
                           const std::string& name, std::string_view lostSource) {
  std::string stored = table.ShortenName(name);
  if (stored.size() != name.size()) {
    // Each long name is reported once per table file.
    std::string key = std::string(tableFile) + '\0' + name;
    if (context.reportedShortenings.insert(std::move(key)).second) {
      context.report.shortenedNames.push_back(
          {std::string(tableFile), name, stored, std::string(lostSource)});
    }
  }
  return stored;
}

int32_t CharactersWrittenAsQuestionMarks(std::string_view source, std::string_view converted,
                                         size_t kept) {
  kept = std::min(kept, converted.size());
  int32_t count = 0;
  size_t at = 0;  // in source
  for (size_t i = 0; i < kept && at < source.size(); ++i) {
    // One byte of converted per character of source.
    const auto lead = static_cast<unsigned char>(source[at]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (converted[i] == '?' && source[at] != '?') ++count;
    at += length;
  }
  return count;
}

void NoteReplaced(ConversionContext& context, std::string_view tableFile, int32_t row,
                  std::string_view column, const Value& value, std::string_view written,
                  size_t width) {
  if (value.lostSource().empty()) return;
  written = written.substr(0, width > 0 ? width - 1 : 0);
  const std::string& converted = value.text();
  size_t kept = 0;
  while (kept < written.size() && kept < converted.size() && written[kept] == converted[kept]) {
    ++kept;
  }
  const int32_t characters = CharactersWrittenAsQuestionMarks(value.lostSource(), converted, kept);
  if (characters == 0) return;  // every lost character was cut off
  context.report.replacedCharacters.push_back({std::string(tableFile), row, std::string(column),
                                               value.lostSource(), std::string(written),
                                               characters});
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
