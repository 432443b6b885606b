// The 352-byte receiver record.
#include "converters/FatalError.h"
#include "converters/RecordWriters.h"
#include "tablefile/WriteBin.h"

namespace mdbtokvt {

namespace {

void WriteReceiverRecord(TableFile& file, std::string_view receiverName, std::string_view pagerId,
                         std::string_view serviceName) {
  WriteFixedString(file, receiverName, 33);
  WriteFixedString(file, pagerId, 257);
  WriteFixedString(file, serviceName, 33);
  WriteByte(file, 0);
  WriteLong(file, 0);
  WriteLong(file, 0);
  WriteByte(file, 1);
  WriteByte(file, 0);
  for (int i = 0; i < 5; ++i) WriteWord(file, 0);
  WriteLong(file, 0);
  WriteLong(file, 0);
}

}  // namespace

void WriteKVTReceiver(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                      std::string_view receiverName, std::string_view pagerId,
                      std::string_view serviceName) {
  if (major != 9 || minor != 6 || patch != 0) {
    throw FatalError("Fatal Error", SchemaMessage("WriteKVTReceiver", major, minor, patch));
  }
  WriteReceiverRecord(file, receiverName, pagerId, serviceName);
}

}  // namespace mdbtokvt
