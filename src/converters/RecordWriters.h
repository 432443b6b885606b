// The record writers of the three table files. Each entry checks the schema
// version and hands the values to the routine that lays out the 9.6.0 record;
// on any other version it throws FatalError ("Fatal Error" and a message
// naming the writer and the version), which the front end shows before it ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tablefile/TableFile.h"

namespace mdbtokvt {

void WriteKVTService(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                     std::string_view serviceName, std::string_view terminalAddress,
                     int16_t baudCode, int16_t settingsCode, int16_t maxMessageLength);

void WriteKVTReceiver(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                      std::string_view receiverName, std::string_view pagerId,
                      std::string_view serviceName);

// members holds the filled slots in order (memberCount of them at most);
// slots past it are written as NUL bytes up to slotCount.
void WriteKVTGroup(TableFile& file, int16_t major, int16_t minor, int16_t patch,
                   std::string_view groupName, const std::vector<std::string_view>& members,
                   int16_t memberCount, int16_t slotCount);

// The text of the schema message, e.g. "WriteKVTReceiver: KVT schema 9.6.1 not
// currently supported."
std::string SchemaMessage(std::string_view writer, int16_t major, int16_t minor, int16_t patch);

}  // namespace mdbtokvt
