// The service record, field by field as its layout lists them.
#include "common/Error.h"
#include "converters/FatalError.h"
#include "converters/RecordWriters.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/WriteBin.h"

namespace mdbtokvt {

std::string SchemaMessage(std::string_view writer, int16_t major, int16_t minor, int16_t patch) {
  return std::string(writer) + ": KVT schema " + std::to_string(major) + "." +
         std::to_string(minor) + "." + std::to_string(patch) + " not currently supported.";
}

namespace {

uint8_t NarrowToByte(int16_t value) {
  if (value < 0 || value > 255) ThrowOverflow();
  return static_cast<uint8_t>(value);
}

void WriteServiceRecord(TableFile& file, std::string_view serviceName,
                        std::string_view terminalAddress, int16_t baudCode, int16_t settingsCode,
                        int16_t maxMessageLength) {
  const uint8_t baud = NarrowToByte(baudCode);
  const uint8_t settings = NarrowToByte(settingsCode);
  namespace layout = service_record;
  WriteRecord(file, layout::kFields,
              {{.field = layout::kName, .text = serviceName},
               {.field = layout::kTerminalAddress, .text = terminalAddress},
               {.field = layout::kMaxMessageLength, .number = maxMessageLength},
               {.field = layout::kBaudCode, .number = baud},
               {.field = layout::kSettingsCode, .number = settings}});
}

}  // namespace

void WriteKVTService(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                     std::string_view serviceName, std::string_view terminalAddress,
                     int16_t baudCode, int16_t settingsCode, int16_t maxMessageLength) {
  if (major != kSchemaMajor || minor != kSchemaMinor || patch != kSchemaPatch) {
    throw FatalError("Fatal Error", SchemaMessage("WriteKVTService", major, minor, patch));
  }
  WriteServiceRecord(file, serviceName, terminalAddress, baudCode, settingsCode, maxMessageLength);
}

}  // namespace mdbtokvt
