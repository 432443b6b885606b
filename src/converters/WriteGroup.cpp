// The group record: the name, the member count, the slots, then zeros.
#include "converters/FatalError.h"
#include "converters/RecordWriters.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/WriteBin.h"

namespace mdbtokvt {

namespace {

void WriteGroupRecord(TableFile& file, std::string_view groupName,
                      const std::vector<std::string_view>& members, int16_t memberCount,
                      int16_t slotCount) {
  namespace layout = group_record;
  WriteFixedString(file, groupName, layout::kName.width);
  WriteConstantField(file, layout::kPadding);
  WriteWord(file, memberCount);
  int slot = 0;
  for (; slot < slotCount && slot < memberCount && static_cast<size_t>(slot) < members.size();
       ++slot) {
    WriteFixedString(file, members[static_cast<size_t>(slot)], layout::kSlotWidth);
  }
  // The empty slots after the members, all zeros, in one piece.
  if (slot < slotCount) {
    file.PutZeros(static_cast<size_t>(slotCount - slot) * layout::kSlotWidth);
  }
  for (const Field& field : layout::kTrailer) WriteConstantField(file, field);
}

}  // namespace

void WriteKVTGroup(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                   std::string_view groupName, const std::vector<std::string_view>& members,
                   int16_t memberCount, int16_t slotCount) {
  if (major != kSchemaMajor || minor != kSchemaMinor || patch != kSchemaPatch) {
    // The group writer shares the receiver writer's message word for word.
    throw FatalError("Fatal Error", SchemaMessage("WriteKVTReceiver", major, minor, patch));
  }
  WriteGroupRecord(file, groupName, members, memberCount, slotCount);
}

}  // namespace mdbtokvt
