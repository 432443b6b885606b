#include "tablefile/TableFileReader.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "common/Error.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/TableFileNames.h"

namespace mdbtokvt {

namespace {

constexpr size_t kHeader = table_header::kSize;

[[noreturn]] void Invalid(std::string_view fileName, const std::string& why) {
  throw ConversionError(ErrorNumber::kInvalidFileFormat,
                        ClassicDescription(ErrorNumber::kInvalidFileFormat) + ": " +
                            std::string(fileName) + ": " + why);
}

// 3447 as "3,447", the way the messages give sizes.
std::string Grouped(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string Counted(int64_t n, const char* one, const char* many) {
  return Grouped(static_cast<uint64_t>(n < 0 ? -n : n)).insert(0, n < 0 ? "-" : "") + " " +
         (n == 1 ? one : many);
}

std::string Bytes(uint64_t n) { return Counted(static_cast<int64_t>(n), "byte", "bytes"); }

// The size of one record of each kind; 0 for groups, whose size depends on
// their member slots.
size_t FixedRecordSize(TableKind kind) {
  switch (kind) {
    case TableKind::kService:
      return service_record::kSize;
    case TableKind::kReceiver:
      return receiver_record::kSize;
    case TableKind::kGroup:
    case TableKind::kUnknown:
      break;
  }
  return 0;
}

// "572 for services, 352 for receivers, 48 + 33 per member slot for groups"
std::string RecordSizes() {
  return std::to_string(service_record::kSize) + " for services, " +
         std::to_string(receiver_record::kSize) + " for receivers, " +
         std::to_string(group_record::Size(0)) + " + " + std::to_string(group_record::kSlotWidth) +
         " per member slot for groups";
}

// The fields of the record that starts at byte record of the file.
int16_t Word(std::string_view b, size_t record, const Field& word) {
  const size_t at = record + static_cast<size_t>(word.offset);
  return static_cast<int16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

int16_t Word(std::string_view b, const Field& headerWord) { return Word(b, 0, headerWord); }

uint8_t Byte(std::string_view b, size_t record, const Field& byte) {
  return static_cast<uint8_t>(b[record + static_cast<size_t>(byte.offset)]);
}

// A fixed string field: the text up to its first NUL, which must lie inside it.
std::string Text(std::string_view b, size_t record, const Field& text, std::string_view fileName) {
  const size_t at = record + static_cast<size_t>(text.offset);
  const std::string_view field = b.substr(at, static_cast<size_t>(text.width));
  const size_t nul = field.find('\0');
  if (nul == std::string_view::npos) {
    Invalid(fileName, "the text field at offset " + Grouped(at) + " has no terminating NUL");
  }
  return std::string(field.substr(0, nul));
}

TableKind KindFromName(std::string_view fileName) {
  const size_t slash = fileName.find_last_of('/');
  std::string base(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  if (base == kServiceTableFile) return TableKind::kService;
  if (base == kReceiverTableFile) return TableKind::kReceiver;
  if (base == kGroupTableFile) return TableKind::kGroup;
  return TableKind::kUnknown;
}

}  // namespace

std::string_view TableKindName(TableKind kind) {
  switch (kind) {
    case TableKind::kService:
      return "service";
    case TableKind::kReceiver:
      return "receiver";
    case TableKind::kGroup:
      return "group";
    case TableKind::kUnknown:
      break;
  }
  return "unknown";
}

TableFileContents ParseTableFile(std::string_view b, std::string_view fileName) {
  TableFileContents t;
  if (b.size() < kHeader) {
    Invalid(fileName, "the file holds " + Bytes(b.size()) + ", fewer than the " +
                          std::to_string(kHeader) + " of a table file's header");
  }
  if (b.substr(0, table_header::kTag.width) !=
      std::string(table_header::kTagText).append(1, '\0')) {
    Invalid(fileName, "it does not begin with DB_VER, as a table file does");
  }
  t.major = Word(b, table_header::kMajor);
  t.minor = Word(b, table_header::kMinor);
  t.patch = Word(b, table_header::kPatch);
  if (t.major != kSchemaMajor || t.minor != kSchemaMinor || t.patch != kSchemaPatch) {
    Invalid(fileName, "the header names schema " + std::to_string(t.major) + "." +
                          std::to_string(t.minor) + "." + std::to_string(t.patch) + ", not " +
                          std::to_string(kSchemaMajor) + "." + std::to_string(kSchemaMinor) + "." +
                          std::to_string(kSchemaPatch));
  }
  t.recordCount = Word(b, table_header::kRecordCount);
  const std::string headerSays = "the header says " + Counted(t.recordCount, "record", "records");
  if (t.recordCount < 0) Invalid(fileName, headerSays);
  const size_t body = b.size() - kHeader;
  const TableKind named = KindFromName(fileName);
  if (t.recordCount == 0) {
    if (body != 0) {
      Invalid(fileName, headerSays + ", but the file holds " + Bytes(b.size()) + " (" +
                            std::to_string(kHeader) + " for the header alone)");
    }
    t.kind = named;
    return t;
  }
  const auto count = static_cast<size_t>(t.recordCount);
  if (const size_t fixed = FixedRecordSize(named); fixed > 0 && body != count * fixed) {
    Invalid(fileName, headerSays + " of " + Bytes(fixed) + " (" + Bytes(kHeader + count * fixed) +
                          "), but the file holds " + Bytes(b.size()));
  }
  if (body == 0) {
    Invalid(fileName, headerSays + ", but the file holds only the " + std::to_string(kHeader) +
                          "-byte header");
  }
  if (body % count != 0) {
    Invalid(fileName, headerSays + ", but the " + Bytes(body) + " after the " +
                          std::to_string(kHeader) + "-byte header do not divide into " +
                          Counted(t.recordCount, "record", "records") + " of one size");
  }
  t.recordSize = static_cast<int32_t>(body / count);
  TableKind sized = TableKind::kUnknown;
  if (t.recordSize == service_record::kSize) {
    sized = TableKind::kService;
  } else if (t.recordSize == receiver_record::kSize) {
    sized = TableKind::kReceiver;
  } else if (const int slots = group_record::SlotsForSize(t.recordSize); slots > 0) {
    sized = TableKind::kGroup;
    t.groupSlots = slots;
  }
  const std::string eachSize = headerSays + " in " + Bytes(body) + ", " +
                               Bytes(static_cast<uint64_t>(t.recordSize)) + " each";
  if (sized == TableKind::kUnknown) {
    Invalid(fileName,
            eachSize + ", which is the size of no table's records (" + RecordSizes() + ")");
  }
  if (named != TableKind::kUnknown && named != sized) {
    // Only a group table's name leaves its record size open.
    Invalid(fileName, eachSize + ": " + std::string(TableKindName(sized)) +
                          " records, not the group records its name calls for (" +
                          std::to_string(group_record::Size(0)) + " bytes + " +
                          std::to_string(group_record::kSlotWidth) + " per member slot)");
  }
  t.kind = sized;
  for (int32_t i = 0; i < t.recordCount; ++i) {
    const size_t r = kHeader + static_cast<size_t>(i) * static_cast<size_t>(t.recordSize);
    switch (t.kind) {
      case TableKind::kService: {
        ServiceRecord s;
        s.name = Text(b, r, service_record::kName, fileName);
        s.terminalAddress = Text(b, r, service_record::kTerminalAddress, fileName);
        s.maxMessageLength = Word(b, r, service_record::kMaxMessageLength);
        s.baudCode = Byte(b, r, service_record::kBaudCode);
        s.settingsCode = Byte(b, r, service_record::kSettingsCode);
        t.services.push_back(std::move(s));
        break;
      }
      case TableKind::kReceiver:
        t.receivers.push_back({Text(b, r, receiver_record::kName, fileName),
                               Text(b, r, receiver_record::kPagerId, fileName),
                               Text(b, r, receiver_record::kServiceName, fileName)});
        break;
      case TableKind::kGroup: {
        GroupRecord g;
        g.name = Text(b, r, group_record::kName, fileName);
        g.memberCount = Word(b, r, group_record::kMemberCount);
        if (g.memberCount < 0 || g.memberCount > t.groupSlots) {
          Invalid(fileName, "record " + std::to_string(i + 1) + " counts " +
                                Counted(g.memberCount, "member", "members") + " in " +
                                Counted(t.groupSlots, "slot", "slots"));
        }
        for (int m = 0; m < g.memberCount; ++m) {
          g.members.push_back(Text(b, r, group_record::Slot(m), fileName));
        }
        t.groups.push_back(std::move(g));
        break;
      }
      case TableKind::kUnknown:
        break;
    }
  }
  return t;
}

TableFileContents ReadTableFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    throw ConversionError(ErrorNumber::kFileNotFound,
                          ClassicDescription(ErrorNumber::kFileNotFound) + ": " + path);
  }
  if (S_ISDIR(st.st_mode)) {
    throw ConversionError(ErrorNumber::kPathFileAccess,
                          ClassicDescription(ErrorNumber::kPathFileAccess) + ": " + path +
                              " is a folder, not a table file");
  }
  if (!S_ISREG(st.st_mode)) {
    throw ConversionError(
        ErrorNumber::kPathFileAccess,
        ClassicDescription(ErrorNumber::kPathFileAccess) + ": " + path + " is not a regular file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw ConversionError(ErrorNumber::kPathFileAccess,
                          ClassicDescription(ErrorNumber::kPathFileAccess) + ": " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad())
    throw ConversionError(ErrorNumber::kPathFileAccess,
                          ClassicDescription(ErrorNumber::kPathFileAccess) + ": " + path);
  const std::string data = bytes.str();
  return ParseTableFile(data, path);
}

}  // namespace mdbtokvt
