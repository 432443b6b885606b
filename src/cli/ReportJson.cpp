#include "cli/ReportJson.h"

#include <sstream>

namespace mdbtokvt {

namespace {

// Writes a JSON array of objects, one per item, each built by fields().
template <typename Items, typename Fields>
void Array(std::ostringstream& out, const char* name, const Items& items, Fields fields,
           bool last = false) {
  out << "  \"" << name << "\": [";
  bool first = true;
  for (const auto& item : items) {
    out << (first ? "\n    {" : ",\n    {") << fields(item) << "}";
    first = false;
  }
  out << (first ? "]" : "\n  ]") << (last ? "\n" : ",\n");
}

}  // namespace

std::string ReportJson(const ConversionReport& report, const Utf8Converter& toUtf8,
                       const std::string& source, const std::string& outputFolder,
                       int16_t editionRow, const ConversionCounts& counts) {
  auto text = [&](const std::string& bytes) { return JsonString(toUtf8(bytes)); };
  std::ostringstream out;
  out << "{\n";
  out << "  \"source\": " << JsonString(source) << ",\n";
  out << "  \"outputFolder\": " << JsonString(outputFolder) << ",\n";
  out << "  \"editionRow\": " << editionRow << ",\n";
  out << "  \"memberLimit\": " << MemberLimitForEdition(editionRow) << ",\n";
  out << "  \"sourceNotes\": [";
  for (size_t i = 0; i < report.sourceNotes.size(); ++i) {
    out << (i == 0 ? "" : ", ") << JsonString(report.sourceNotes[i]);
  }
  out << "],\n";
  out << "  \"records\": {\"TERMTAB.KVT\": " << counts.services
      << ", \"USERTAB.KVT\": " << counts.receivers << ", \"GROUPTAB.KVT\": " << counts.groups
      << "},\n";
  Array(out, "truncatedGroups", report.truncatedGroups, [&](const TruncatedGroup& g) {
    return "\"group\": " + text(g.group) +
           ", \"sourceMembers\": " + std::to_string(g.sourceMembers) +
           ", \"keptMembers\": " + std::to_string(g.keptMembers);
  });
  Array(out, "shortenedNames", report.shortenedNames, [&](const ShortenedName& s) {
    return "\"table\": " + JsonString(s.table) + ", \"longName\": " + text(s.longName) +
           ", \"storedName\": " + text(s.storedName);
  });
  Array(out, "defaultedValues", report.defaultedValues, [&](const DefaultedValue& d) {
    return "\"table\": " + JsonString(d.table) + ", \"row\": " + std::to_string(d.row) +
           ", \"column\": " + JsonString(d.column);
  });
  Array(out, "unknownServices", report.unknownServices, [&](const DanglingName& u) {
    return "\"receiver\": " + text(u.owner) + ", \"service\": " + text(u.name);
  });
  Array(
      out, "unknownMembers", report.unknownMembers,
      [&](const DanglingName& u) {
        return "\"group\": " + text(u.owner) + ", \"member\": " + text(u.name);
      },
      true);
  out << "}\n";
  return out.str();
}

}  // namespace mdbtokvt
