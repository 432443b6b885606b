// Reads a table file back: checks its header and length, tells its kind from
// the file name or the record size, and decodes every record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mdbtokvt {

enum class TableKind { kUnknown, kService, kReceiver, kGroup };

struct ServiceRecord {
  std::string name;
  std::string terminalAddress;
  int16_t maxMessageLength = 0;
  uint8_t baudCode = 0;
  uint8_t settingsCode = 0;
};

struct ReceiverRecord {
  std::string name;
  std::string pagerId;
  std::string serviceName;
};

struct GroupRecord {
  std::string name;
  int16_t memberCount = 0;
  std::vector<std::string> members;  // the first memberCount slots
};

struct TableFileContents {
  TableKind kind = TableKind::kUnknown;
  int16_t major = 0, minor = 0, patch = 0;
  int32_t recordCount = 0;
  int32_t recordSize = 0;  // 0 for an empty table
  int32_t groupSlots = 0;  // member slots per group record
  std::vector<ServiceRecord> services;
  std::vector<ReceiverRecord> receivers;
  std::vector<GroupRecord> groups;
};

// Raises 53 "File not found" for a missing file and 321 "Invalid file format"
// with what is wrong for anything that is not a well-formed table file.
TableFileContents ReadTableFile(const std::string& path);
// The same for bytes already in memory; fileName only helps tell the kind.
TableFileContents ParseTableFile(std::string_view bytes, std::string_view fileName);

std::string_view TableKindName(TableKind kind);  // "service", "receiver", "group"

}  // namespace mdbtokvt
