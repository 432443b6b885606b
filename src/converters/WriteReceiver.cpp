// The receiver record, field by field as its layout lists them.
#include "converters/RecordWriters.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/WriteBin.h"

namespace mdbtokvt {

namespace {

void WriteReceiverRecord(TableFile& file, std::string_view receiverName, std::string_view pagerId,
                         std::string_view serviceName) {
  namespace layout = receiver_record;
  for (const Field& field : layout::kFields) {
    if (field == layout::kName) {
      WriteFixedString(file, receiverName, layout::kName.width);
    } else if (field == layout::kPagerId) {
      WriteFixedString(file, pagerId, layout::kPagerId.width);
    } else if (field == layout::kServiceName) {
      WriteFixedString(file, serviceName, layout::kServiceName.width);
    } else {
      WriteConstantField(file, field);
    }
  }
}

}  // namespace

void WriteKVTReceiver(const FatalReporter& reportFatal, TableFile& file, int16_t major,
                      int16_t minor, int16_t patch, std::string_view receiverName,
                      std::string_view pagerId, std::string_view serviceName) {
  if (major != kSchemaMajor || minor != kSchemaMinor || patch != kSchemaPatch) {
    EndWithFatalError(reportFatal, "Fatal Error",
                      SchemaMessage("WriteKVTReceiver", major, minor, patch));
  }
  WriteReceiverRecord(file, receiverName, pagerId, serviceName);
}

}  // namespace mdbtokvt
