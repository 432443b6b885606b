#include "run/ReportText.h"

namespace mdbtokvt {

namespace {

std::string Count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

std::string ReportSummary(const ConversionReport& report, int memberLimit) {
  std::vector<std::string> parts;
  if (!report.truncatedGroups.empty()) {
    parts.push_back(Count(report.truncatedGroups.size(), "group", "groups") + " truncated to " +
                    std::to_string(memberLimit) + " members");
  }
  if (!report.shortenedNames.empty()) {
    parts.push_back(Count(report.shortenedNames.size(), "name", "names") + " shortened");
  }
  if (!report.defaultedValues.empty()) {
    parts.push_back(Count(report.defaultedValues.size(), "empty value", "empty values"));
  }
  if (!report.replacedCharacters.empty()) {
    parts.push_back(
        Count(static_cast<size_t>(report.ReplacedCharacterCount()), "character", "characters") +
        " written as ?");
  }
  if (!report.unknownServices.empty()) {
    parts.push_back(Count(report.unknownServices.size(), "receiver", "receivers") +
                    " with an unknown service");
  }
  if (!report.unknownMembers.empty()) {
    parts.push_back(Count(report.unknownMembers.size(), "group member", "group members") +
                    " without a receiver");
  }
  std::string summary;
  for (const auto& p : parts) summary += (summary.empty() ? "" : ", ") + p;
  return summary;
}

std::string CodePageLine(const ConversionReport& report) {
  return report.codePage.empty() ? std::string() : "Code page: " + report.codePage;
}

std::string LongNameText(const ShortenedName& name, const Utf8Converter& toUtf8) {
  return name.longSource.empty() ? toUtf8(name.longName) : name.longSource;
}

std::vector<std::string> ReportDetailLines(const ConversionReport& report,
                                           const Utf8Converter& toUtf8) {
  std::vector<std::string> lines = report.sourceNotes;
  lines.insert(lines.end(), report.outputNotes.begin(), report.outputNotes.end());
  auto quoted = [&](const std::string& stored) { return Quoted(toUtf8(stored)); };
  for (const auto& g : report.truncatedGroups) {
    lines.push_back("Group " + quoted(g.group) + ": " + std::to_string(g.sourceMembers) +
                    " members, " + std::to_string(g.keptMembers) + " kept");
  }
  for (const auto& s : report.shortenedNames) {
    lines.push_back(s.table + ": " + Quoted(LongNameText(s, toUtf8)) + " stored as " +
                    quoted(s.storedName));
  }
  for (const auto& d : report.defaultedValues) {
    lines.push_back(d.table + ": row " + std::to_string(d.row) + ", column " + d.column +
                    " is empty");
  }
  for (const auto& r : report.replacedCharacters) {
    lines.push_back(r.table + ": row " + std::to_string(r.row) + ", column " + r.column + ": " +
                    Quoted(r.text) + " written as " + quoted(r.stored));
  }
  for (const auto& u : report.unknownServices) {
    lines.push_back("Receiver " + quoted(u.owner) + " names service " + quoted(u.name) +
                    ", which is not in the service table");
  }
  for (const auto& u : report.unknownMembers) {
    lines.push_back("Group " + quoted(u.owner) + " has member " + quoted(u.name) +
                    ", who is not in the receiver table");
  }
  return lines;
}

}  // namespace mdbtokvt
