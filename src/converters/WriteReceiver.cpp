// The receiver record, field by field as its layout lists them.
#include "converters/FatalError.h"
#include "converters/RecordWriters.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/WriteBin.h"

namespace mdbtokvt {

namespace {

void WriteReceiverRecord(TableFile& file, std::string_view receiverName, std::string_view pagerId,
                         std::string_view serviceName) {
  namespace layout = receiver_record;
  WriteRecord(file, layout::kFields,
              {{.field = layout::kName, .text = receiverName},
               {.field = layout::kPagerId, .text = pagerId},
               {.field = layout::kServiceName, .text = serviceName}});
}

}  // namespace

void WriteKVTReceiver(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                      std::string_view receiverName, std::string_view pagerId,
                      std::string_view serviceName) {
  if (major != kSchemaMajor || minor != kSchemaMinor || patch != kSchemaPatch) {
    throw FatalError("Fatal Error", SchemaMessage("WriteKVTReceiver", major, minor, patch));
  }
  WriteReceiverRecord(file, receiverName, pagerId, serviceName);
}

}  // namespace mdbtokvt
