// Group table: one record per run of rows with the same (shortened) group
// name; the group query orders the rows by group name, then member name.
#include "converters/ConvertGroups.h"

#include <string>
#include <vector>

#include "converters/ConverterSupport.h"
#include "converters/RecordWriters.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/TableFileNames.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {

namespace {

constexpr std::string_view kTable = kGroupTableFile;
// Width of a group or member name field, NUL included.
constexpr auto kNameField = static_cast<size_t>(group_record::kName.width);

struct CurrentGroup {
  std::string name;
  // The first memberCount are this group's filled slots, in row order; the
  // strings after them are kept for their buffers, which the next groups'
  // members reuse.
  std::vector<std::string> members;
  size_t memberCount = 0;
  int32_t sourceMembers = 0;  // rows seen for this group, kept or not
};

// The text of a member name to store, as ShortenAndNote(TextOf(...)) gives
// it, written into stored (reusing its buffer).
void StoreMemberName(ConversionContext& context, const Value& value, int32_t row,
                     std::string_view column, std::string& stored) {
  // A text that needs no shortening is stored as it is, with nothing to
  // note unless the code page lost characters of it.
  if (value.kind() == ValueKind::kText && value.text().size() <= NameTable::kMaxLength) {
    stored.assign(value.text());
  } else {
    stored = ShortenAndNote(context, context.names.receiverNames, kTable,
                            TextOf(context, value, kTable, row, column), value.lostSource());
  }
  NoteReplaced(context, kTable, row, column, value, stored, kNameField);
}

void WriteCurrentGroup(ConversionContext& context, TableFile& file, const CurrentGroup& group,
                       int16_t slots) {
  const auto memberCount = static_cast<int16_t>(group.memberCount);
  WriteKVTGroup(file, kSchemaMajor, kSchemaMinor, kSchemaPatch, group.name, group.members,
                memberCount, slots);
  if (group.sourceMembers > memberCount) {
    context.report.truncatedGroups.push_back({group.name, group.sourceMembers, memberCount});
  }
  for (size_t i = 0; i < group.memberCount; ++i) {
    const std::string& member = group.members[i];
    if (!context.writtenReceivers.contains(member)) {
      context.report.unknownMembers.push_back({std::string(kTable), group.name, member});
    }
  }
}

}  // namespace

int32_t ConvertGroupTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                          const GroupColumns& columns) {
  const int16_t slots = MemberLimitForEdition(context.edition);
  if (recordset.Bof() && recordset.Eof()) return 0;
  recordset.MoveFirst();
  LazyField groupColumn(columns.group);
  LazyField memberColumn(columns.member);

  int32_t groupCount = 1;
  int32_t row = 0;
  CurrentGroup current;
  current.members.resize(static_cast<size_t>(slots));
  current.name = context.names.groupNames.ShortenName(ValueAsText(groupColumn.Read(recordset)));
  // The group text of the row before, when it was a text: a row with the
  // same text belongs to the same group (shortening gives the same name).
  std::string previousText;
  bool previousWasText = false;
  while (!recordset.Eof()) {
    ++row;
    const Value& groupValue = groupColumn.Read(recordset);
    const bool isText = groupValue.kind() == ValueKind::kText;
    if (!(isText && previousWasText && groupValue.text() == previousText)) {
      // The name of a group is written once, and noted on its first row.
      std::string name = ShortenAndNote(
          context, context.names.groupNames, kTable,
          TextOf(context, groupValue, kTable, row, groupColumn.name()), groupValue.lostSource());
      NoteReplaced(context, kTable, row, groupColumn.name(), groupValue, name, kNameField);
      previousWasText = isText;
      if (isText) previousText.assign(groupValue.text());
      if (name != current.name) {
        WriteCurrentGroup(context, file, current, slots);
        ++groupCount;
        current.memberCount = 0;
        current.sourceMembers = 0;
        current.name = std::move(name);
      }
    }
    ++current.sourceMembers;
    if (current.memberCount < static_cast<size_t>(slots)) {
      StoreMemberName(context, memberColumn.Read(recordset), row, memberColumn.name(),
                      current.members[current.memberCount]);
      ++current.memberCount;
    }
    recordset.MoveNext();
  }
  WriteCurrentGroup(context, file, current, slots);
  return groupCount;
}

}  // namespace mdbtokvt
