#include "cli/ReportJson.h"

#include "cli/JsonText.h"
#include "run/ReportText.h"
#include "tablefile/TableFileNames.h"

namespace mdbtokvt {

namespace {

// A JSON array with one object per item, each made by toObject.
template <typename Items, typename ToObject>
Json ArrayOf(const Items& items, ToObject toObject) {
  Json array = Json::array();
  for (const auto& item : items) array.push_back(toObject(item));
  return array;
}

}  // namespace

std::string ReportJson(const ConversionReport& report, const Utf8Converter& toUtf8,
                       const std::string& source, const std::string& outputFolder, Edition edition,
                       const ConversionCounts& counts) {
  Json json = Json::object();
  json["source"] = source;
  json["outputFolder"] = outputFolder;
  json["editionRow"] = EditionRow(edition);
  json["memberLimit"] = MemberLimitForEdition(edition);
  json["codePage"] = report.codePage;
  json["sourceNotes"] = report.sourceNotes;
  json["outputNotes"] = report.outputNotes;
  json["records"] = Json::object({{std::string(kServiceTableFile), counts.services},
                                  {std::string(kReceiverTableFile), counts.receivers},
                                  {std::string(kGroupTableFile), counts.groups}});
  json["truncatedGroups"] = ArrayOf(report.truncatedGroups, [&](const TruncatedGroup& g) {
    return Json::object({{"group", toUtf8(g.group)},
                         {"sourceMembers", g.sourceMembers},
                         {"keptMembers", g.keptMembers}});
  });
  json["shortenedNames"] = ArrayOf(report.shortenedNames, [&](const ShortenedName& s) {
    return Json::object({{"table", s.table},
                         {"longName", LongNameText(s, toUtf8)},
                         {"storedName", toUtf8(s.storedName)}});
  });
  json["defaultedValues"] = ArrayOf(report.defaultedValues, [&](const DefaultedValue& d) {
    return Json::object({{"table", d.table}, {"row", d.row}, {"column", d.column}});
  });
  json["replacedCharacters"] = ArrayOf(report.replacedCharacters, [&](const ReplacedCharacters& r) {
    return Json::object({{"table", r.table},
                         {"row", r.row},
                         {"column", r.column},
                         {"text", r.text},
                         {"stored", toUtf8(r.stored)}});
  });
  json["unknownServices"] = ArrayOf(report.unknownServices, [&](const DanglingName& u) {
    return Json::object({{"receiver", toUtf8(u.owner)}, {"service", toUtf8(u.name)}});
  });
  json["unknownMembers"] = ArrayOf(report.unknownMembers, [&](const DanglingName& u) {
    return Json::object({{"group", toUtf8(u.owner)}, {"member", toUtf8(u.name)}});
  });
  return JsonText(json);
}

}  // namespace mdbtokvt
