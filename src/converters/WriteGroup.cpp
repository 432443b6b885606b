// The group record: 48 + 33 x slots bytes.
#include "converters/FatalError.h"
#include "converters/RecordWriters.h"
#include "tablefile/WriteBin.h"

namespace mdbtokvt {

namespace {

void WriteGroupRecord(TableFile& file, std::string_view groupName,
                      const std::vector<std::string>& members, int16_t memberCount,
                      int16_t slotCount) {
  WriteFixedString(file, groupName, 33);
  WriteByte(file, 0);
  WriteWord(file, memberCount);
  int slot = 0;
  for (; slot < slotCount && slot < memberCount && static_cast<size_t>(slot) < members.size();
       ++slot) {
    WriteFixedString(file, members[static_cast<size_t>(slot)], 33);
  }
  // The empty slots after the members, all zeros, in one piece.
  if (slot < slotCount) file.PutZeros(static_cast<size_t>(slotCount - slot) * 33);
  WriteWord(file, 0);
  WriteWord(file, 0);
  WriteLong(file, 0);
  WriteLong(file, 0);
}

}  // namespace

void WriteKVTGroup(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                   std::string_view groupName, const std::vector<std::string>& members,
                   int16_t memberCount, int16_t slotCount) {
  if (major != 9 || minor != 6 || patch != 0) {
    // The group writer shares the receiver writer's message word for word.
    throw FatalError("Fatal Error", SchemaMessage("WriteKVTReceiver", major, minor, patch));
  }
  WriteGroupRecord(file, groupName, members, memberCount, slotCount);
}

}  // namespace mdbtokvt
