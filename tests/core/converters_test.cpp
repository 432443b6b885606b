#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "MemoryRecordset.h"
#include "TestSupport.h"
#include "common/Error.h"
#include "converters/ConvertGroups.h"
#include "converters/ConvertReceivers.h"
#include "converters/ConvertServices.h"
#include "converters/FatalError.h"
#include "converters/RecordWriters.h"
#include "run/DBConvert.h"
#include "run/ReportText.h"
#include "source/Recordset.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {
namespace {

using Row = std::vector<Value>;
using test::ErrorNumberOf;
Value T(const char* s) { return Value::Text(s); }
Value N() { return Value::Null(); }
Value I(int64_t v) { return Value::Integer(v); }

constexpr Field kServiceName = service_record::kName;
constexpr Field kAddress = service_record::kTerminalAddress;
constexpr Field kBaud = service_record::kBaudCode;
constexpr Field kSettings = service_record::kSettingsCode;
constexpr Field kMaxLength = service_record::kMaxMessageLength;

// Runs a converter over rows into memory; returns the records' bytes.
struct Converted {
  int32_t count;
  std::vector<uint8_t> bytes;
  std::string Text(size_t record, size_t recordSize, const Field& field) const {
    const char* p =
        reinterpret_cast<const char*>(bytes.data()) + record * recordSize + field.offset;
    return std::string(p, strnlen(p, static_cast<size_t>(field.width)));
  }
  int Word(size_t at) const { return static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8)); }
};

// The converter runs as in a conversion, reading the columns the run names
// for the context's source kind.
Converted Convert(const TableRun& run, ConversionContext& context, std::vector<std::string> columns,
                  std::vector<Row> rows) {
  MemoryRecordset recordset(std::move(columns), std::move(rows));
  test::MemoryTableFile out;
  const int32_t count =
      SourceFor(run, context.addressBookSource).convert(context, recordset, out.file);
  return {count, out.Flushed()};
}

const std::vector<std::string> kPostOffice = {"poName", "poAddress", "pObaud", "poCommSettings",
                                              "poTypeData1"};
const std::vector<std::string> kPagerCompany = {"PGNAME",     "pgTermPhone", "pgbaud",  "pgparity",
                                                "pgdatabits", "pgstopbits",  "pgmaxmsg"};

TEST(ServiceConverter, EmptyTableWritesNothing) {
  NameTables names;
  ConversionContext context(names);
  const Converted c = Convert(kServiceRun, context, kPostOffice, {});
  EXPECT_EQ(c.count, 0);
  EXPECT_TRUE(c.bytes.empty());
}

TEST(ServiceConverter, AddressBookRecords) {
  NameTables names;
  ConversionContext context(names);
  context.addressBookSource = true;
  const std::string address40(40, '5');
  const Converted c =
      Convert(kServiceRun, context, kPostOffice,
              {{T("Alpha"), T(address40.c_str()), T("28800"), T("E,7,1"), T("160")},
               {T("Beta"), T("555"), T("14400"), T("e,7,1"), N()},
               {T("Gamma"), N(), N(), T("E,7,1 "), I(80)},
               {N(), T("1"), I(9600), N(), T(" 240 ")},
               {T("Delta"), T("1"), Value::Double(9600.5), T("N,8,1"), Value::Double(12.5)}});
  ASSERT_EQ(c.count, 5);
  ASSERT_EQ(c.bytes.size(), 5u * service_record::kSize);
  const size_t R = service_record::kSize;
  EXPECT_EQ(c.Text(0, R, kServiceName), "Alpha");
  EXPECT_EQ(c.Text(0, R, kAddress), address40.substr(0, 32));
  EXPECT_EQ(c.bytes[kAddress.end() - 1], 0);
  // Baud codes: 28800 -> 5, 14400 -> 0, Null -> 0, number 9600 -> 4, 9600.5 -> 0.
  EXPECT_EQ(c.bytes[kBaud.offset], 5);
  EXPECT_EQ(c.bytes[R + kBaud.offset], 0);
  EXPECT_EQ(c.bytes[2 * R + kBaud.offset], 0);
  EXPECT_EQ(c.bytes[3 * R + kBaud.offset], 4);
  EXPECT_EQ(c.bytes[4 * R + kBaud.offset], 0);
  // Settings: only the exact "E,7,1" gives 0.
  EXPECT_EQ(c.bytes[kSettings.offset], 0);
  EXPECT_EQ(c.bytes[R + kSettings.offset], 1);
  EXPECT_EQ(c.bytes[2 * R + kSettings.offset], 1);
  EXPECT_EQ(c.bytes[3 * R + kSettings.offset], 1);
  // Maximum message length: text digits, Null -> 0, number, trimmed text, 12.5 -> 12.
  EXPECT_EQ(c.Word(kMaxLength.offset), 160);
  EXPECT_EQ(c.Word(R + kMaxLength.offset), 0);
  EXPECT_EQ(c.Word(2 * R + kMaxLength.offset), 80);
  EXPECT_EQ(c.Word(3 * R + kMaxLength.offset), 240);
  EXPECT_EQ(c.Word(4 * R + kMaxLength.offset), 12);
  // Null name gives an empty field. The constants sit at the byte positions
  // the format fixes, written out here rather than taken from the layout, so
  // that a slip in the layout shows.
  EXPECT_EQ(c.Text(3, R, kServiceName), "");
  EXPECT_EQ(c.bytes[36], 1);
  EXPECT_EQ(c.bytes[559], 2);
  EXPECT_EQ(c.bytes[560], 30);
  // Every other byte of the first record is zero.
  for (size_t i = 0; i < R; ++i) {
    const bool known = i < 33 || (i >= 47 && i < 80) || i == 36 || i == 548 || i == 549 ||
                       i == 550 || i == 559 || i == 560;
    if (!known) {
      EXPECT_EQ(c.bytes[i], 0) << "offset " << i;
    }
  }
  // Nulls: poTypeData1 (row 2), address and baud (row 3), name and settings (row 4).
  EXPECT_EQ(context.report.defaultedValues.size(), 5u);
}

TEST(ServiceConverter, MdbLineSettingsAndMessageLength) {
  NameTables names;
  ConversionContext context(names);
  const Converted c = Convert(
      kServiceRun, context, kPagerCompany,
      {{T("A"), T("1"), T("9600"), T("EVEN"), I(7), I(1), N()},
       {T("B"), T("1"), T("9600"), T("Even"), I(7), I(1), T("160")},
       {T("C"), T("1"), T("9600"), T("EVEN"), I(8), I(1), N()},
       {T("D"), T("1"), T("9600"), T("EVEN"), T("7"), N(), T("")},
       {T("E"), T("1"), T("9600"), T("EVEN"), T(" 7 "), Value::Double(1.0), Value::Double(13.5)},
       {T("F"), T("1"), T("9600"), T("EVEN"), Value::Double(7.5), I(1), I(-1)}});
  ASSERT_EQ(c.count, 6);
  const size_t R = service_record::kSize;
  const int expectedSettings[] = {0, 1, 1, 1, 0, 1};
  // Null and empty never carry the previous row's limit over.
  const int expectedLength[] = {0, 160, 0, 0, 14, -1};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(c.bytes[i * R + kSettings.offset], expectedSettings[i]) << "row " << i;
    EXPECT_EQ(c.Word(i * R + kMaxLength.offset), expectedLength[i]) << "row " << i;
  }
}

// pgmaxmsg is read as text first: a Yes/No column gives "True"/"False", which
// must come back as -1/0, as must the same words in a text column.
TEST(ServiceConverter, YesNoMessageLength) {
  NameTables names;
  ConversionContext context(names);
  const Converted c =
      Convert(kServiceRun, context, kPagerCompany,
              {{T("A"), T("1"), T("9600"), T("EVEN"), I(7), I(1), Value::Boolean(true)},
               {T("B"), T("1"), T("9600"), T("EVEN"), I(7), I(1), Value::Boolean(false)},
               {T("C"), T("1"), T("9600"), T("EVEN"), I(7), I(1), T("True")},
               {T("D"), T("1"), T("9600"), T("EVEN"), I(7), I(1), T(" false ")}});
  ASSERT_EQ(c.count, 4);
  const size_t R = service_record::kSize;
  EXPECT_EQ(c.Word(kMaxLength.offset), -1);
  EXPECT_EQ(c.Word(R + kMaxLength.offset), 0);
  EXPECT_EQ(c.Word(2 * R + kMaxLength.offset), -1);
  EXPECT_EQ(c.Word(3 * R + kMaxLength.offset), 0);
  EXPECT_TRUE(context.report.defaultedValues.empty());
  // The address book reads poTypeData1 as a number directly.
  context.addressBookSource = true;
  const Converted book = Convert(kServiceRun, context, kPostOffice,
                                 {{T("E"), T("1"), T("9600"), T("E,7,1"), T("TRUE")},
                                  {T("F"), T("1"), T("9600"), T("E,7,1"), Value::Boolean(false)}});
  EXPECT_EQ(book.Word(kMaxLength.offset), -1);
  EXPECT_EQ(book.Word(R + kMaxLength.offset), 0);
}

TEST(ServiceConverter, BadMessageLengthStopsTheWalk) {
  NameTables names;
  ConversionContext context(names);
  EXPECT_EQ(ErrorNumberOf([&] {
              Convert(kServiceRun, context, kPagerCompany,
                      {{T("A"), T("1"), T("9600"), T("EVEN"), I(7), I(1), T("abc")}});
            }),
            NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorNumberOf([&] {
              Convert(kServiceRun, context, kPagerCompany,
                      {{T("A"), T("1"), T("9600"), T("EVEN"), I(7), I(1), T("Yes")}});
            }),
            NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorNumberOf([&] {
              Convert(kServiceRun, context, kPagerCompany,
                      {{T("A"), T("1"), T("9600"), T("EVEN"), I(7), I(1), I(40000)}});
            }),
            NumberOf(ErrorNumber::kOverflow));
  context.addressBookSource = true;
  EXPECT_EQ(ErrorNumberOf([&] { Convert(kServiceRun, context, {"poName"}, {{T("A")}}); }),
            NumberOf(ErrorNumber::kItemNotFound));
}

TEST(ReceiverConverter, NamesMatchTheServiceTableAndPagerIdsAreCut) {
  NameTables names;
  ConversionContext context(names);
  context.addressBookSource = true;
  const std::string longService = "Metropolitan Paging Service Cooperative";
  Convert(kServiceRun, context, kPostOffice,
          {{T(longService.c_str()), T("1"), T("9600"), T("E,7,1"), T("1")}});
  const std::string pager300(300, '7');
  const std::string longName = "Dr. Alexandra Montgomery-Wellington III";
  const Converted c = Convert(kReceiverRun, context, {"CTNAME", "CTADDRESS", "PONAME"},
                              {{T(longName.c_str()), T(pager300.c_str()), T(longService.c_str())},
                               {T(longName.c_str()), N(), T("Nobody")},
                               {N(), T(""), N()}});
  ASSERT_EQ(c.count, 3);
  ASSERT_EQ(c.bytes.size(), 3u * receiver_record::kSize);
  const size_t R = receiver_record::kSize;
  EXPECT_EQ(c.Text(0, R, receiver_record::kName), longName.substr(0, 28) + "(1)");
  EXPECT_EQ(c.Text(1, R, receiver_record::kName), longName.substr(0, 28) + "(1)");
  EXPECT_EQ(c.Text(0, R, receiver_record::kPagerId), pager300.substr(0, 256));
  EXPECT_EQ(c.Text(0, R, receiver_record::kServiceName), longService.substr(0, 28) + "(1)");
  EXPECT_EQ(c.Text(2, R, receiver_record::kName), "");
  for (size_t r = 0; r < 3; ++r) {
    for (size_t i = receiver_record::kServiceName.end(); i < R; ++i)
      EXPECT_EQ(c.bytes[r * R + i], i == 332 ? 1 : 0);
  }
  ASSERT_EQ(context.report.unknownServices.size(), 2u);
  EXPECT_EQ(context.report.unknownServices[0].name, "Nobody");
}

std::vector<Row> GroupRows(const char* group, int members, const char* prefix = "Member ") {
  std::vector<Row> rows;
  for (int i = 0; i < members; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%02d", prefix, i + 1);
    rows.push_back({T(group), T(name)});
  }
  return rows;
}

TEST(GroupConverter, MemberLimitFollowsTheEdition) {
  for (const Edition edition : {Edition::kLumen, Edition::kVireo, Edition::kNone}) {
    NameTables names;
    ConversionContext context(names);
    context.edition = edition;
    auto rows = GroupRows("Big", 40);
    auto small = GroupRows("Small", 2, "Zed ");
    rows.insert(rows.end(), small.begin(), small.end());
    const Converted c = Convert(kGroupRun, context, {"GroupName", "UserName"}, rows);
    const size_t slots = edition == Edition::kLumen ? 32 : 500;
    const size_t R = group_record::Size(static_cast<int>(slots));
    SCOPED_TRACE("edition " + std::to_string(EditionRow(edition)));
    ASSERT_EQ(c.count, 2);
    ASSERT_EQ(c.bytes.size(), 2 * R);
    EXPECT_EQ(c.Text(0, R, group_record::kName), "Big");
    EXPECT_EQ(c.Word(group_record::kMemberCount.offset), edition == Edition::kLumen ? 32 : 40);
    EXPECT_EQ(c.Text(0, R, group_record::Slot(0)), "Member 01");
    EXPECT_EQ(c.Text(0, R, group_record::Slot(31)), "Member 32");
    // The smaller group after the big one has only NUL bytes past its members.
    EXPECT_EQ(c.Word(R + group_record::kMemberCount.offset), 2);
    EXPECT_EQ(c.Text(1, R, group_record::Slot(1)), "Zed 02");
    for (size_t i = R + group_record::Slot(2).offset; i < 2 * R; ++i) ASSERT_EQ(c.bytes[i], 0) << i;
    if (edition == Edition::kLumen) {
      ASSERT_EQ(context.report.truncatedGroups.size(), 1u);
      EXPECT_EQ(context.report.truncatedGroups[0].sourceMembers, 40);
      EXPECT_EQ(context.report.truncatedGroups[0].keptMembers, 32);
    } else {
      EXPECT_TRUE(context.report.truncatedGroups.empty());
    }
  }
}

TEST(GroupConverter, LongAndEmptyGroupNames) {
  NameTables names;
  ConversionContext context(names);
  context.addressBookSource = true;
  const std::string longA = "Emergency Response Coordination Team North";
  const std::string longB = "Emergency Response Coordination Team South";
  const std::string longMember = "Dr. Alexandra Montgomery-Wellington III";
  context.names.receiverNames.ShortenName("Dr. Alexandra Montgomery-Wellington II");
  const Converted c = Convert(kGroupRun, context, {"GrName", "ctName"},
                              {{N(), T("a")},
                               {T(""), T("b")},
                               {T(longA.c_str()), T(longMember.c_str())},
                               {T(longB.c_str()), T("c")}});
  const size_t R = group_record::Size(32);
  ASSERT_EQ(c.count, 3);
  ASSERT_EQ(c.bytes.size(), 3 * R);
  EXPECT_EQ(c.Text(0, R, group_record::kName), "");
  EXPECT_EQ(c.Word(group_record::kMemberCount.offset), 2);
  EXPECT_EQ(c.Text(1, R, group_record::kName), longA.substr(0, 28) + "(1)");
  EXPECT_EQ(c.Text(1, R, group_record::Slot(0)), longMember.substr(0, 28) + "(2)");
  EXPECT_EQ(c.Text(2, R, group_record::kName), longB.substr(0, 28) + "(2)");
}

TEST(GroupConverter, CharactersWrittenAsQuestionMarksAreNoted) {
  // Lossy texts as the data source gives them: the code page form and the
  // source's text. A group name is noted once, on its first row; a member
  // on each row it is written; characters cut off by shortening do not
  // count, and a value whose every lost character was cut off is no entry.
  NameTables names;
  ConversionContext context(names);
  context.addressBookSource = true;
  const Value greekGroup = Value::LossyText("??? Team", "\xCE\xB1\xCE\xB2\xCE\xB3 Team");
  const Value kanjiMember =
      Value::LossyText("Fujita ?? Kenji", "Fujita \xE8\x97\xA4\xE7\x94\xB0 Kenji");
  const std::string longTail = std::string(35, 'x') + "?";
  const Value cutOff = Value::LossyText(longTail, std::string(35, 'x') + "\xE2\x98\x8E");
  const Value questionOfItsOwn = Value::LossyText("Why? ?", "Why? \xE2\x98\x8E");
  Convert(kGroupRun, context, {"GrName", "ctName"},
          {{greekGroup, kanjiMember}, {greekGroup, cutOff}, {greekGroup, questionOfItsOwn}});
  const auto& replaced = context.report.replacedCharacters;
  ASSERT_EQ(replaced.size(), 3u);
  EXPECT_EQ(replaced[0].row, 1);
  EXPECT_EQ(replaced[0].column, "GrName");
  EXPECT_EQ(replaced[0].text, "\xCE\xB1\xCE\xB2\xCE\xB3 Team");
  EXPECT_EQ(replaced[0].stored, "??? Team");
  EXPECT_EQ(replaced[0].characters, 3);
  EXPECT_EQ(replaced[1].column, "ctName");
  EXPECT_EQ(replaced[1].characters, 2);
  EXPECT_EQ(replaced[2].row, 3);
  EXPECT_EQ(replaced[2].characters, 1);  // the '?' after "Why" was typed
  EXPECT_EQ(context.report.ReplacedCharacterCount(), 6);
  context.report.unknownMembers.clear();
  EXPECT_EQ(ReportSummary(context.report, 32), "1 name shortened, 6 characters written as ?");
  context.report.replacedCharacters.resize(1);
  context.report.replacedCharacters[0].characters = 1;
  context.report.shortenedNames.clear();
  EXPECT_EQ(ReportSummary(context.report, 32), "1 character written as ?");
  // The shortened member keeps its source's text as its long name.
  context.StartConversion();
  Convert(kGroupRun, context, {"GrName", "ctName"}, {{T("G"), cutOff}});
  ASSERT_EQ(context.report.shortenedNames.size(), 1u);
  EXPECT_EQ(context.report.shortenedNames[0].longSource, std::string(35, 'x') + "\xE2\x98\x8E");
}

TEST(GroupConverter, EmptyRecordsetAndSingleGroup) {
  NameTables names;
  ConversionContext context(names);
  EXPECT_EQ(Convert(kGroupRun, context, {"GroupName", "UserName"}, {}).count, 0);
  const Converted c = Convert(kGroupRun, context, {"GroupName", "UserName"}, GroupRows("G", 3));
  EXPECT_EQ(c.count, 1);
  EXPECT_EQ(c.bytes.size(), static_cast<size_t>(group_record::Size(32)));
}

// Members the recordset tells apart (by identity) are shortened and looked
// up once each: the records and every note are those of a recordset that
// tells nothing, on rows that repeat members and groups, with Null, long,
// lossy and unknown members, a Null group and a group past its slots.
TEST(GroupConverter, KnownMembersGiveTheSameRecordsAndReport) {
  const std::string longMember = "Dr. Alexandra Montgomery-Wellington III";
  const Value lossy = Value::LossyText("Fujita ?? Kenji", "Fujita \xE8\x97\xA4\xE7\x94\xB0 Kenji");
  std::vector<Row> rows;
  for (const char* group : {"Alpha", "Alpha", "Beta", "Beta", "Gamma"}) {
    for (const Value& member :
         {T("Ann"), T(longMember.c_str()), N(), lossy, T("Ghost"), T("Bob")}) {
      rows.push_back({T(group), member});
    }
  }
  rows.push_back({N(), T("Ann")});
  for (int i = 0; i < 40; ++i) rows.push_back({T("Zeta"), T(i % 2 ? "Ann" : "Bob")});
  const auto convert = [&](bool identities, ConversionContext& context) {
    context.edition = Edition::kLumen;
    context.writtenReceivers.insert("Ann");
    context.writtenReceivers.insert("Bob");
    context.writtenReceivers.insert(longMember.substr(0, 28) + "(1)");
    MemoryRecordset recordset({"GroupName", "UserName"}, rows);
    if (identities) recordset.GiveIdentities();
    test::MemoryTableFile out;
    const int32_t count = SourceFor(kGroupRun, false).convert(context, recordset, out.file);
    return std::pair(count, out.Flushed());
  };
  NameTables plainNames;
  ConversionContext plain(plainNames);
  NameTables knownNames;
  ConversionContext known(knownNames);
  const auto expected = convert(false, plain);
  EXPECT_EQ(convert(true, known), expected);
  EXPECT_EQ(expected.first, 5);
  const ConversionReport& a = plain.report;
  const ConversionReport& b = known.report;
  EXPECT_EQ(b.truncatedGroups, a.truncatedGroups);
  EXPECT_EQ(b.shortenedNames, a.shortenedNames);
  EXPECT_EQ(b.defaultedValues, a.defaultedValues);
  EXPECT_EQ(b.replacedCharacters, a.replacedCharacters);
  EXPECT_EQ(b.unknownMembers, a.unknownMembers);
  EXPECT_EQ(a.defaultedValues.size(), 6u);     // the Null members, the Null group
  EXPECT_EQ(a.replacedCharacters.size(), 5u);  // the lossy member on each of its rows
  EXPECT_GE(a.unknownMembers.size(), 6u);      // Ghost, the lossy name, the empty name
  EXPECT_EQ(a.truncatedGroups.size(), 1u);     // Zeta
}

// The writers end nothing themselves: the error, with the text the front
// end shows, reaches the caller.
TEST(RecordWriters, WrongSchemaVersionIsFatal) {
  test::MemoryTableFile t;
  const auto shown = [](const std::function<void()>& write) {
    try {
      write();
    } catch (const FatalError& e) {
      return e.title() + "|" + e.text();
    }
    return std::string("no error");
  };
  EXPECT_EQ(shown([&] { WriteKVTReceiver(t.file, 9, 6, 1, "a", "b", "c"); }),
            "Fatal Error|WriteKVTReceiver: KVT schema 9.6.1 not currently supported.");
  EXPECT_EQ(shown([&] { WriteKVTGroup(t.file, 10, 0, 0, "g", {}, 0, 32); }),
            "Fatal Error|WriteKVTReceiver: KVT schema 10.0.0 not currently supported.");
  EXPECT_EQ(shown([&] { WriteKVTService(t.file, 9, 5, 0, "s", "a", 0, 0, 0); }),
            "Fatal Error|WriteKVTService: KVT schema 9.5.0 not currently supported.");
  EXPECT_TRUE(t.Flushed().empty());
}

}  // namespace
}  // namespace mdbtokvt
