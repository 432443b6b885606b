// The layout of a table file: the 15-byte header and the records of the three
// tables, field by field. The record writers, the table file reader and the
// tests all take their offsets and widths from here.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mdbtokvt {

// How a field's bytes are written: one byte, a little-endian 16-bit word or
// 32-bit long, or a fixed-width text ending in at least one NUL byte.
enum class FieldType : uint8_t { kByte, kWord, kLong, kText };

struct Field {
  int offset;
  int width;
  FieldType type;
  // What the writer puts in a field the row does not fill (a text: empty).
  int16_t constant = 0;

  constexpr int end() const { return offset + width; }
  friend constexpr bool operator==(const Field&, const Field&) = default;
};

// The fields at an offset: the constant ones, so a layout reads as a list.
constexpr Field ByteAt(int offset, int16_t constant = 0) {
  return {offset, 1, FieldType::kByte, constant};
}
constexpr Field WordAt(int offset) { return {offset, 2, FieldType::kWord}; }
constexpr Field LongAt(int offset, int16_t constant = 0) {
  return {offset, 4, FieldType::kLong, constant};
}
constexpr Field TextAt(int offset, int width) { return {offset, width, FieldType::kText}; }

// True when the fields follow each other without a gap and fill size bytes.
template <size_t n>
constexpr bool FillsWithoutGaps(const std::array<Field, n>& fields, int size) {
  int at = 0;
  for (const Field& field : fields) {
    if (field.offset != at) return false;
    at = field.end();
  }
  return at == size;
}

// The header every table file starts with: the tag, the schema version and
// the number of records that follow it.
namespace table_header {
inline constexpr std::string_view kTagText = "DB_VER";
inline constexpr Field kTag = TextAt(0, 7);
inline constexpr Field kMajor = WordAt(7);
inline constexpr Field kMinor = WordAt(9);
inline constexpr Field kPatch = WordAt(11);
inline constexpr Field kRecordCount = WordAt(13);
inline constexpr int kSize = 15;
inline constexpr std::array kFields{kTag, kMajor, kMinor, kPatch, kRecordCount};
static_assert(FillsWithoutGaps(kFields, kSize));
}  // namespace table_header

// The schema version every table file and record writer uses.
inline constexpr int16_t kSchemaMajor = 9;
inline constexpr int16_t kSchemaMinor = 6;
inline constexpr int16_t kSchemaPatch = 0;

// A service record (TERMTAB.KVT). Besides the five fields a row fills, it
// holds empty texts, zeros and the constants 1, 2 and 30.
namespace service_record {
inline constexpr Field kName = TextAt(0, 33);
inline constexpr Field kTerminalAddress = TextAt(47, 33);
inline constexpr Field kMaxMessageLength = WordAt(548);
inline constexpr Field kBaudCode = ByteAt(550);
inline constexpr Field kSettingsCode = ByteAt(551);
inline constexpr int kSize = 572;
// Every field in the order written.
// clang-format off
inline constexpr std::array kFields{
    kName, ByteAt(33), ByteAt(34), ByteAt(35), LongAt(36, 1), TextAt(40, 7),
    kTerminalAddress, TextAt(80, 33), TextAt(113, 33), TextAt(146, 129), TextAt(275, 129),
    WordAt(404), TextAt(406, 129), ByteAt(535), WordAt(536), WordAt(538), LongAt(540),
    LongAt(544), kMaxMessageLength, kBaudCode, kSettingsCode, WordAt(552), WordAt(554),
    WordAt(556), ByteAt(558), ByteAt(559, 2), ByteAt(560, 30), ByteAt(561), WordAt(562),
    LongAt(564), LongAt(568)};
// clang-format on
static_assert(FillsWithoutGaps(kFields, kSize));
}  // namespace service_record

// A receiver record (USERTAB.KVT): three texts, then zeros and one 1.
namespace receiver_record {
inline constexpr Field kName = TextAt(0, 33);
inline constexpr Field kPagerId = TextAt(33, 257);
inline constexpr Field kServiceName = TextAt(290, 33);
inline constexpr int kSize = 352;
inline constexpr std::array kFields{kName,       kPagerId,    kServiceName,   ByteAt(323),
                                    LongAt(324), LongAt(328), ByteAt(332, 1), ByteAt(333),
                                    WordAt(334), WordAt(336), WordAt(338),    WordAt(340),
                                    WordAt(342), LongAt(344), LongAt(348)};
static_assert(FillsWithoutGaps(kFields, kSize));
}  // namespace receiver_record

// A group record (GROUPTAB.KVT): the name and member count, the member slots
// (as many in every record of a file: 32 or 500), then zeros.
namespace group_record {
inline constexpr Field kName = TextAt(0, 33);
inline constexpr Field kPadding = ByteAt(33);
inline constexpr Field kMemberCount = WordAt(34);
inline constexpr int kSlotsOffset = 36;
inline constexpr int kSlotWidth = 33;
// After the last slot, with offsets from the slots' end.
inline constexpr std::array kTrailer{WordAt(0), WordAt(2), LongAt(4), LongAt(8)};
inline constexpr int kTrailerSize = 12;
static_assert(FillsWithoutGaps(kTrailer, kTrailerSize));
static_assert(kMemberCount.end() == kSlotsOffset);

// A record with slots member slots; 48 + 33 x slots bytes.
constexpr int Size(int slots) { return kSlotsOffset + kSlotWidth * slots + kTrailerSize; }
// The slot of index slot, from 0.
constexpr Field Slot(int slot) {
  return {kSlotsOffset + kSlotWidth * slot, kSlotWidth, FieldType::kText};
}
// The slot count of a record of size bytes, or -1 when no count gives it.
constexpr int SlotsForSize(int size) {
  const int slotBytes = size - Size(0);
  return slotBytes > 0 && slotBytes % kSlotWidth == 0 ? slotBytes / kSlotWidth : -1;
}
}  // namespace group_record

}  // namespace mdbtokvt
