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
inline constexpr Field kTag{0, 7, FieldType::kText};
inline constexpr Field kMajor{7, 2, FieldType::kWord};
inline constexpr Field kMinor{9, 2, FieldType::kWord};
inline constexpr Field kPatch{11, 2, FieldType::kWord};
inline constexpr Field kRecordCount{13, 2, FieldType::kWord};
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
inline constexpr Field kName{0, 33, FieldType::kText};
inline constexpr Field kTerminalAddress{47, 33, FieldType::kText};
inline constexpr Field kMaxMessageLength{548, 2, FieldType::kWord};
inline constexpr Field kBaudCode{550, 1, FieldType::kByte};
inline constexpr Field kSettingsCode{551, 1, FieldType::kByte};
inline constexpr int kSize = 572;
// Every field in the order written.
inline constexpr std::array kFields{
    kName,
    Field{33, 1, FieldType::kByte},
    Field{34, 1, FieldType::kByte},
    Field{35, 1, FieldType::kByte},
    Field{36, 4, FieldType::kLong, 1},
    Field{40, 7, FieldType::kText},
    kTerminalAddress,
    Field{80, 33, FieldType::kText},
    Field{113, 33, FieldType::kText},
    Field{146, 129, FieldType::kText},
    Field{275, 129, FieldType::kText},
    Field{404, 2, FieldType::kWord},
    Field{406, 129, FieldType::kText},
    Field{535, 1, FieldType::kByte},
    Field{536, 2, FieldType::kWord},
    Field{538, 2, FieldType::kWord},
    Field{540, 4, FieldType::kLong},
    Field{544, 4, FieldType::kLong},
    kMaxMessageLength,
    kBaudCode,
    kSettingsCode,
    Field{552, 2, FieldType::kWord},
    Field{554, 2, FieldType::kWord},
    Field{556, 2, FieldType::kWord},
    Field{558, 1, FieldType::kByte},
    Field{559, 1, FieldType::kByte, 2},
    Field{560, 1, FieldType::kByte, 30},
    Field{561, 1, FieldType::kByte},
    Field{562, 2, FieldType::kWord},
    Field{564, 4, FieldType::kLong},
    Field{568, 4, FieldType::kLong},
};
static_assert(FillsWithoutGaps(kFields, kSize));
}  // namespace service_record

// A receiver record (USERTAB.KVT): three texts, then zeros and one 1.
namespace receiver_record {
inline constexpr Field kName{0, 33, FieldType::kText};
inline constexpr Field kPagerId{33, 257, FieldType::kText};
inline constexpr Field kServiceName{290, 33, FieldType::kText};
inline constexpr int kSize = 352;
inline constexpr std::array kFields{
    kName,
    kPagerId,
    kServiceName,
    Field{323, 1, FieldType::kByte},
    Field{324, 4, FieldType::kLong},
    Field{328, 4, FieldType::kLong},
    Field{332, 1, FieldType::kByte, 1},
    Field{333, 1, FieldType::kByte},
    Field{334, 2, FieldType::kWord},
    Field{336, 2, FieldType::kWord},
    Field{338, 2, FieldType::kWord},
    Field{340, 2, FieldType::kWord},
    Field{342, 2, FieldType::kWord},
    Field{344, 4, FieldType::kLong},
    Field{348, 4, FieldType::kLong},
};
static_assert(FillsWithoutGaps(kFields, kSize));
}  // namespace receiver_record

// A group record (GROUPTAB.KVT): the name and member count, the member slots
// (as many in every record of a file: 32 or 500), then zeros.
namespace group_record {
inline constexpr Field kName{0, 33, FieldType::kText};
inline constexpr Field kPadding{33, 1, FieldType::kByte};
inline constexpr Field kMemberCount{34, 2, FieldType::kWord};
inline constexpr int kSlotsOffset = 36;
inline constexpr int kSlotWidth = 33;
// After the last slot, with offsets from the slots' end.
inline constexpr std::array kTrailer{
    Field{0, 2, FieldType::kWord},
    Field{2, 2, FieldType::kWord},
    Field{4, 4, FieldType::kLong},
    Field{8, 4, FieldType::kLong},
};
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
