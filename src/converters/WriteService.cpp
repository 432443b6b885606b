// The 572-byte service record.
#include "common/Error.h"
#include "converters/FatalError.h"
#include "converters/RecordWriters.h"
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
  WriteFixedString(file, serviceName, 33);
  WriteByte(file, 0);
  WriteByte(file, 0);
  WriteByte(file, 0);
  WriteLong(file, 1);
  WriteFixedString(file, "", 7);
  WriteFixedString(file, terminalAddress, 33);
  WriteFixedString(file, "", 33);
  WriteFixedString(file, "", 33);
  WriteFixedString(file, "", 129);
  WriteFixedString(file, "", 129);
  WriteWord(file, 0);
  WriteFixedString(file, "", 129);
  WriteByte(file, 0);
  WriteWord(file, 0);
  WriteWord(file, 0);
  WriteLong(file, 0);
  WriteLong(file, 0);
  WriteWord(file, maxMessageLength);
  WriteByte(file, baud);
  WriteByte(file, settings);
  WriteWord(file, 0);
  WriteWord(file, 0);
  WriteWord(file, 0);
  WriteByte(file, 0);
  WriteByte(file, 2);
  WriteByte(file, 30);
  WriteByte(file, 0);
  WriteWord(file, 0);
  WriteLong(file, 0);
  WriteLong(file, 0);
}

}  // namespace

void WriteKVTService(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                     std::string_view serviceName, std::string_view terminalAddress,
                     int16_t baudCode, int16_t settingsCode, int16_t maxMessageLength) {
  if (major != 9 || minor != 6 || patch != 0) {
    throw FatalError("Fatal Error", SchemaMessage("WriteKVTService", major, minor, patch));
  }
  WriteServiceRecord(file, serviceName, terminalAddress, baudCode, settingsCode, maxMessageLength);
}

}  // namespace mdbtokvt
