// Group table: one record per run of rows with the same (shortened) group
// name; the group query orders the rows by group name, then member name.
#include "converters/ConvertGroups.h"

#include <string>
#include <vector>

#include "converters/ConverterSupport.h"
#include "converters/RecordWriters.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {

namespace {

constexpr std::string_view kTable = "GROUPTAB.KVT";

struct CurrentGroup {
  std::string name;
  std::vector<std::string> members;  // filled slots, in row order
  int32_t sourceMembers = 0;         // rows seen for this group, kept or not
};

void WriteCurrentGroup(ConversionContext& context, TableFile& file, const CurrentGroup& group,
                       int16_t slots) {
  const auto memberCount = static_cast<int16_t>(group.members.size());
  WriteKVTGroup(context.reportFatal, file, kSchemaMajor, kSchemaMinor, kSchemaPatch, group.name,
                group.members, memberCount, slots);
  if (group.sourceMembers > memberCount) {
    context.report.truncatedGroups.push_back({group.name, group.sourceMembers, memberCount});
  }
  for (const auto& member : group.members) {
    if (!context.writtenReceivers.contains(member)) {
      context.report.unknownMembers.push_back({std::string(kTable), group.name, member});
    }
  }
}

}  // namespace

int32_t ConvertGroupTable(ConversionContext& context, Recordset& recordset, TableFile& file) {
  const int16_t slots = MemberLimitForEdition(context.editionRow);
  if (recordset.Bof() && recordset.Eof()) return 0;
  recordset.MoveFirst();
  const bool addressBook = context.addressBookSource;
  LazyField groupColumn(addressBook ? "GrName" : "GroupName");
  LazyField memberColumn(addressBook ? "ctName" : "UserName");

  int32_t groupCount = 1;
  int32_t row = 0;
  CurrentGroup current;
  current.members.reserve(static_cast<size_t>(slots));
  current.name = context.groupNames.ShortenName(ValueAsText(groupColumn.Read(recordset)));
  while (!recordset.Eof()) {
    ++row;
    std::string name = ShortenAndNote(
        context, context.groupNames, kTable,
        TextOf(context, groupColumn.Read(recordset), kTable, row, groupColumn.name()));
    if (name != current.name) {
      WriteCurrentGroup(context, file, current, slots);
      ++groupCount;
      current.members.clear();
      current.sourceMembers = 0;
      current.name = std::move(name);
    }
    ++current.sourceMembers;
    if (current.members.size() < static_cast<size_t>(slots)) {
      current.members.push_back(ShortenAndNote(
          context, context.receiverNames, kTable,
          TextOf(context, memberColumn.Read(recordset), kTable, row, memberColumn.name())));
    }
    recordset.MoveNext();
  }
  WriteCurrentGroup(context, file, current, slots);
  return groupCount;
}

}  // namespace mdbtokvt
