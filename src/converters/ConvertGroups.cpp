// Group table: one record per run of rows with the same (shortened) group
// name; the group query orders the rows by group name, then member name.
#include "converters/ConvertGroups.h"

#include <algorithm>
#include <memory>
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
  // The first memberCount are this group's filled slots, in row order, each
  // a view of a buffer of its own below or of a known member's name.
  std::vector<std::string_view> members;
  // Each filled slot's member's identity in the recordset, or -1.
  std::vector<int32_t> identities;
  // Buffers for the slots' names; the next groups' members reuse them.
  std::vector<std::string> buffers;
  size_t memberCount = 0;
  int32_t sourceMembers = 0;  // rows seen for this group, kept or not
};

// What members' names come to, kept for each distinct source value the
// recordset tells apart (Recordset::ValueIdentity): the stored text, in
// chunks that never move (slots hold views of it), and whether it names a
// written receiver. A few bytes per identity, so the look-ups of a large
// table stay in the processor's cache and the values themselves are not
// read again.
class KnownMembers {
 public:
  // Identities kept at most: the member table's rows.
  static constexpr int32_t kMostIdentities = 1 << 22;

  // The stored name of identity, or nullptr when it is not known.
  const std::string_view* Find(int32_t identity) const {
    const auto at = static_cast<size_t>(identity);
    return at < stored_.size() && stored_[at].data() != nullptr ? &stored_[at] : nullptr;
  }

  std::string_view Keep(int32_t identity, std::string_view stored) {
    const auto at = static_cast<size_t>(identity);
    if (stored_.size() <= at) {
      stored_.resize(at + 1);
      written_.resize(at + 1, -1);
    }
    if (chunks_.empty() || kChunkBytes - used_ < stored.size()) {
      chunks_.push_back(std::make_unique<char[]>(std::max(kChunkBytes, stored.size())));
      used_ = 0;
    }
    char* place = chunks_.back().get() + used_;
    std::copy(stored.begin(), stored.end(), place);
    used_ += stored.size();
    return stored_[at] = std::string_view(place, stored.size());
  }

  // Whether the known identity's name is in receivers, looked up once.
  bool Written(int32_t identity, const NameSet& receivers) {
    int8_t& state = written_[static_cast<size_t>(identity)];
    if (state < 0) state = receivers.contains(stored_[static_cast<size_t>(identity)]) ? 1 : 0;
    return state == 1;
  }

 private:
  static constexpr size_t kChunkBytes = 64 << 10;
  std::vector<std::string_view> stored_;  // a null view: not known
  std::vector<int8_t> written_;           // -1: not looked up yet
  std::vector<std::unique_ptr<char[]>> chunks_;
  size_t used_ = 0;  // in the last chunk
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

// Fills the group's next slot with the member of the current row. A text
// that lost nothing to the code page is noted (shortened) the same on every
// row, so it is computed once per identity; any other value on each row.
void AddMember(ConversionContext& context, const Value& value, int32_t identity, int32_t row,
               std::string_view column, CurrentGroup& group, KnownMembers& known) {
  const size_t slot = group.memberCount++;
  const bool knowable = identity >= 0 && identity < KnownMembers::kMostIdentities;
  if (knowable) {
    if (const std::string_view* stored = known.Find(identity)) {
      group.members[slot] = *stored;
      group.identities[slot] = identity;
      return;
    }
  }
  std::string& buffer = group.buffers[slot];
  StoreMemberName(context, value, row, column, buffer);
  const bool keep = knowable && value.kind() == ValueKind::kText && value.lostSource().empty();
  group.members[slot] = keep ? known.Keep(identity, buffer) : std::string_view(buffer);
  group.identities[slot] = keep ? identity : -1;
}

void WriteCurrentGroup(ConversionContext& context, TableFile& file, const CurrentGroup& group,
                       int16_t slots, KnownMembers& known) {
  const auto memberCount = static_cast<int16_t>(group.memberCount);
  WriteKVTGroup(file, kSchemaMajor, kSchemaMinor, kSchemaPatch, group.name, group.members,
                memberCount, slots);
  if (group.sourceMembers > memberCount) {
    context.report.truncatedGroups.push_back({group.name, group.sourceMembers, memberCount});
  }
  for (size_t i = 0; i < group.memberCount; ++i) {
    const std::string_view member = group.members[i];
    const int32_t identity = group.identities[i];
    const bool written = identity >= 0 ? known.Written(identity, context.writtenReceivers)
                                       : context.writtenReceivers.contains(member);
    if (!written) {
      context.report.unknownMembers.push_back(
          {std::string(kTable), group.name, std::string(member)});
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
  current.identities.resize(static_cast<size_t>(slots));
  current.buffers.resize(static_cast<size_t>(slots));
  KnownMembers known;
  current.name = context.names.groupNames.ShortenName(ValueAsText(groupColumn.Read(recordset)));
  // The group text of the row before, when it was a text: a row with the
  // same text (or the same identity) belongs to the same group (shortening
  // gives the same name).
  std::string previousText;
  bool previousWasText = false;
  int32_t previousIdentity = -1;
  while (!recordset.Eof()) {
    ++row;
    const Value& groupValue = groupColumn.Read(recordset);
    const int32_t groupIdentity = groupColumn.Identity(recordset);
    const bool isText = groupValue.kind() == ValueKind::kText;
    const bool sameText = isText && previousWasText &&
                          ((groupIdentity >= 0 && groupIdentity == previousIdentity) ||
                           groupValue.text() == previousText);
    if (!sameText) {
      // The name of a group is written once, and noted on its first row.
      std::string name = ShortenAndNote(
          context, context.names.groupNames, kTable,
          TextOf(context, groupValue, kTable, row, groupColumn.name()), groupValue.lostSource());
      NoteReplaced(context, kTable, row, groupColumn.name(), groupValue, name, kNameField);
      previousWasText = isText;
      previousIdentity = groupIdentity;
      if (isText) previousText.assign(groupValue.text());
      if (name != current.name) {
        WriteCurrentGroup(context, file, current, slots, known);
        ++groupCount;
        current.memberCount = 0;
        current.sourceMembers = 0;
        current.name = std::move(name);
      }
    }
    ++current.sourceMembers;
    if (current.memberCount < static_cast<size_t>(slots)) {
      const Value& member = memberColumn.Read(recordset);
      AddMember(context, member, memberColumn.Identity(recordset), row, memberColumn.name(),
                current, known);
    }
    recordset.MoveNext();
  }
  WriteCurrentGroup(context, file, current, slots, known);
  return groupCount;
}

}  // namespace mdbtokvt
