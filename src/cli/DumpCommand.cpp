// mdbtokvt-cli dump: prints every record of a table file.
#include <iostream>

#include "cli/Commands.h"
#include "cli/JsonText.h"
#include "cli/TextOutput.h"
#include "cli/UsageText.h"
#include "source/DataSource.h"
#include "tablefile/TableFileReader.h"

namespace mdbtokvt {

namespace {

const CommandSyntax kDumpSyntax{"dump", kDumpUsage, {"--format", "--codepage"}, {"FILE.KVT"}};

std::string Schema(const TableFileContents& t) {
  return std::to_string(t.major) + "." + std::to_string(t.minor) + "." + std::to_string(t.patch);
}

void DumpText(const TableFileContents& t, const std::string& path, const Utf8Converter& u,
              std::ostream& out) {
  out << path << ": " << TableKindName(t.kind) << " table, schema " << Schema(t) << ", "
      << Counted(t.recordCount, "record", "records");
  if (t.recordSize > 0) out << " of " << t.recordSize << " bytes";
  if (t.groupSlots > 0) out << " (" << t.groupSlots << " member slots)";
  out << "\n";
  for (size_t i = 0; i < t.services.size(); ++i) {
    const ServiceRecord& s = t.services[i];
    out << "#" << i + 1 << " " << Quoted(u(s.name)) << " terminal " << Quoted(u(s.terminalAddress))
        << ", baud code " << int{s.baudCode} << ", settings code " << int{s.settingsCode}
        << ", max message " << s.maxMessageLength << "\n";
  }
  for (size_t i = 0; i < t.receivers.size(); ++i) {
    const ReceiverRecord& r = t.receivers[i];
    out << "#" << i + 1 << " " << Quoted(u(r.name)) << " pager " << Quoted(u(r.pagerId))
        << " service " << Quoted(u(r.serviceName)) << "\n";
  }
  for (size_t i = 0; i < t.groups.size(); ++i) {
    const GroupRecord& g = t.groups[i];
    out << "#" << i + 1 << " " << Quoted(u(g.name)) << ", "
        << Counted(g.memberCount, "member", "members") << "\n";
    for (const auto& m : g.members) out << "    " << Quoted(u(m)) << "\n";
  }
}

void DumpCsv(const TableFileContents& t, const Utf8Converter& u, std::ostream& out) {
  switch (t.kind) {
    case TableKind::kService:
      out << "record,name,terminalAddress,baudCode,settingsCode,maxMessageLength\n";
      break;
    case TableKind::kReceiver:
      out << "record,name,pagerId,serviceName\n";
      break;
    case TableKind::kGroup:
    case TableKind::kUnknown:
      out << "record,name,memberCount,slot,member\n";
      break;
  }
  for (size_t i = 0; i < t.services.size(); ++i) {
    const ServiceRecord& s = t.services[i];
    out << i + 1 << "," << CsvField(u(s.name)) << "," << CsvField(u(s.terminalAddress)) << ","
        << int{s.baudCode} << "," << int{s.settingsCode} << "," << s.maxMessageLength << "\n";
  }
  for (size_t i = 0; i < t.receivers.size(); ++i) {
    const ReceiverRecord& r = t.receivers[i];
    out << i + 1 << "," << CsvField(u(r.name)) << "," << CsvField(u(r.pagerId)) << ","
        << CsvField(u(r.serviceName)) << "\n";
  }
  // Groups: one line per member, and one line without a member for an empty group.
  for (size_t i = 0; i < t.groups.size(); ++i) {
    const GroupRecord& g = t.groups[i];
    const std::string lead = std::to_string(i + 1) + "," + CsvField(u(g.name)) + "," +
                             std::to_string(g.memberCount) + ",";
    if (g.members.empty()) out << lead << ",\n";
    for (size_t m = 0; m < g.members.size(); ++m) {
      out << lead << m + 1 << "," << CsvField(u(g.members[m])) << "\n";
    }
  }
}

void DumpJson(const TableFileContents& t, const std::string& path, const Utf8Converter& u,
              std::ostream& out) {
  Json json = Json::object();
  json["file"] = path;
  json["kind"] = std::string(TableKindName(t.kind));
  json["schema"] = Schema(t);
  json["recordCount"] = t.recordCount;
  json["recordSize"] = t.recordSize;
  if (t.kind == TableKind::kGroup) json["memberSlots"] = t.groupSlots;
  Json records = Json::array();
  for (const auto& s : t.services) {
    records.push_back(Json::object({{"name", u(s.name)},
                                    {"terminalAddress", u(s.terminalAddress)},
                                    {"baudCode", int{s.baudCode}},
                                    {"settingsCode", int{s.settingsCode}},
                                    {"maxMessageLength", s.maxMessageLength}}));
  }
  for (const auto& r : t.receivers) {
    records.push_back(Json::object(
        {{"name", u(r.name)}, {"pagerId", u(r.pagerId)}, {"serviceName", u(r.serviceName)}}));
  }
  for (const auto& g : t.groups) {
    Json members = Json::array();
    for (const auto& m : g.members) members.push_back(u(m));
    records.push_back(Json::object(
        {{"name", u(g.name)}, {"memberCount", g.memberCount}, {"members", std::move(members)}}));
  }
  json["records"] = std::move(records);
  out << JsonText(json);
}

}  // namespace

int DumpCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
  ParsedArguments parsed;
  if (const auto end = ParseCommandArguments(kDumpSyntax, args, parsed, out, err)) return *end;
  enum Format : size_t { kText, kCsv, kJson };
  size_t format = kText;
  if (const std::string* formatOption = parsed.Option("--format")) {
    const auto known = MatchKeyword(*formatOption, {"text", "csv", "json"});
    if (!known) {
      return UsageError(err, "dump",
                        "unknown format " + Typed(*formatOption) + " (text, csv or json)");
    }
    format = *known;
  }
  const std::optional<CodePageChoice> codePage = ChooseCodePage(parsed, "dump", err);
  if (!codePage) return kExitUsage;
  const std::string& path = parsed.positional[0];
  try {
    const Utf8Converter toUtf8(codePage->iconvName);
    const TableFileContents contents = ReadTableFile(path);
    if (format == kCsv) {
      DumpCsv(contents, toUtf8, out);
    } else if (format == kJson) {
      DumpJson(contents, path, toUtf8, out);
    } else {
      DumpText(contents, path, toUtf8, out);
    }
  } catch (...) {
    return ReportError(err);
  }
  return 0;
}

}  // namespace mdbtokvt
