// The record sources the conversion runs, end to end through the data source:
// the four join statements on the sample files, table names, and the
// recordset's walk and column lookup.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "common/Error.h"
#include "readerclient/AccessDataSource.h"
#include "readerclient/ReaderSettings.h"
#include "source/DataSource.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

using source_test::Column;
using source_test::Fixture;
using source_test::ReadAll;

constexpr const char* kReceiversBook =
    "SELECT ctName,ctAddress,poNAME FROM Contacts, Postoffices WHERE "
    "contacts.ctPostOffice=PostOffices.poSequence";
constexpr const char* kReceiversMdb =
    "SELECT USERNAME,PAGERID,PGNAME FROM USERS, PAGERCOMPANY WHERE "
    "USERS.PAGERCOMPANYSEQUENCE=PAGERCOMPANY.TESEQUENCE";
constexpr const char* kGroupsBook =
    "SELECT GRNAME, CTNAME FROM GROUPS, CONTACTS, GROUPUSER WHERE "
    "GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
    "CONTACTS.CTSEQUENCE=GROUPUSER.GUCONTACTSEQUENCE  ORDER BY GRNAME, CTNAME";
constexpr const char* kGroupsMdb =
    "SELECT GROUPNAME, USERNAME FROM GROUPS, USERS, GROUPUSER WHERE "
    "GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
    "USERS.USEQUENCE=GROUPUSER.GUUSERSEQUENCE  ORDER BY GROUPNAME, USERNAME";

// Jet's default text order for ASCII names: case folded, then byte order.
std::string Folded(const Value& v) {
  std::string text = v.IsNull() ? "" : v.text();
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

void ExpectSortedCaseInsensitively(const source_test::Result& result) {
  for (size_t i = 1; i < result.rows.size(); ++i) {
    const auto& a = result.rows[i - 1];
    const auto& b = result.rows[i];
    const auto keyA = std::make_pair(Folded(a[0]), Folded(a[1]));
    const auto keyB = std::make_pair(Folded(b[0]), Folded(b[1]));
    EXPECT_LE(keyA, keyB) << "rows " << i - 1 << " and " << i;
  }
}

TEST(DataSourceQueries, AddressBookStatements) {
  const std::string book = Fixture("sample.abk");
  const auto services = ReadAll(book, "PostOffices");
  EXPECT_EQ(services.rows.size(), 6u);

  const auto receivers = ReadAll(book, kReceiversBook);
  ASSERT_EQ(receivers.rows.size(), 45u);
  EXPECT_EQ(receivers.recordCount, 45);
  // Join order: contacts as stored, each with its post office's name.
  EXPECT_EQ(receivers.rows[0][0].text(), "Alice Carter");
  EXPECT_EQ(receivers.rows[0][2].text(), "Metro Paging Central");
  EXPECT_EQ(receivers.rows[2][2].text(), "Bay Area Wireless Messaging Services");
  // ctAddress is a Memo; one pager ID is 300 characters long.
  const auto addresses = Column(receivers, 1);
  EXPECT_TRUE(std::any_of(addresses.begin(), addresses.end(),
                          [](const std::string& a) { return a.size() == 300; }));

  const auto groups = ReadAll(book, kGroupsBook);
  ASSERT_EQ(groups.rows.size(), 55u);
  EXPECT_EQ(groups.rows.front()[0].text(), "All Staff");
  EXPECT_EQ(groups.rows.front()[1].text(), "Adrian Moss");
  EXPECT_EQ(groups.rows.back()[0].text(), "Security");
  ExpectSortedCaseInsensitively(groups);
}

TEST(DataSourceQueries, MdbStatements) {
  const std::string mdb = Fixture("sample.mdb");
  const auto services = ReadAll(mdb, "PagerCompany");
  ASSERT_EQ(services.rows.size(), 7u);
  // pgmaxmsg: Null in rows 1 and 4, an empty text in row 7.
  EXPECT_TRUE(services.rows[0][7].IsNull());
  EXPECT_TRUE(services.rows[3][7].IsNull());
  ASSERT_EQ(services.rows[6][7].kind(), ValueKind::kText);
  EXPECT_EQ(services.rows[6][7].text(), "");
  EXPECT_EQ(services.rows[1][4].text(), "Even");  // stored as typed, not folded
  EXPECT_EQ(services.rows[0][0], Value::Integer(1));

  const auto receivers = ReadAll(mdb, kReceiversMdb);
  ASSERT_EQ(receivers.rows.size(), 40u);
  EXPECT_EQ(receivers.rows[33][0].text(), "Florence Ibsen");
  EXPECT_EQ(receivers.rows[33][1].text().size(), 700u);  // one long-value page
  // 2500 characters stored uncompressed over several long-value pages: 50
  // blocks of "123...789" followed by 'A', 'B', ...
  std::string expected;
  for (int block = 0; block < 50; ++block) {
    for (int digit = 0; digit < 49; ++digit) expected.push_back("1234567890"[digit % 10]);
    expected.push_back(static_cast<char>('A' + block));
  }
  EXPECT_EQ(receivers.rows[36][0].text(), "Isidore Lamb");
  EXPECT_EQ(receivers.rows[36][1].text(), expected);

  const auto groups = ReadAll(mdb, kGroupsMdb);
  ASSERT_EQ(groups.rows.size(), 48u);
  EXPECT_EQ(groups.rows.front()[0].text(), "Code Team");
  EXPECT_EQ(groups.rows.front()[1].text(), "Aaron Fletcher");
  ExpectSortedCaseInsensitively(groups);
}

TEST(DataSourceQueries, GroupOrderFoldsCaseAndPutsNullFirst) {
  // Two contacts differ only in the case of "emergency": folded, "Mike"
  // sorts before "Overflow".
  const auto longNames = ReadAll(Fixture("long-names.abk"), kGroupsBook);
  const auto members = Column(longNames, 1);
  const auto mike =
      std::find(members.begin(), members.end(), "Regional Emergency Dispatch Mike Shift");
  const auto overflow =
      std::find(members.begin(), members.end(), "Regional emergency Dispatch Overflow Desk");
  ASSERT_NE(mike, members.end());
  ASSERT_NE(overflow, members.end());
  EXPECT_LT(mike, overflow);
  ExpectSortedCaseInsensitively(longNames);

  // A Null group name comes first; within a group, Null members first.
  const auto nulls = ReadAll(Fixture("nulls.abk"), kGroupsBook);
  EXPECT_EQ(Column(nulls, 0),
            (std::vector<std::string>{"<Null>", "<Null>", "Day Shift", "Day Shift", "Day Shift",
                                      "Day Shift", "Night Shift", "Night Shift"}));
  EXPECT_EQ(Column(nulls, 1)[2], "<Null>");
  EXPECT_EQ(Column(nulls, 1)[3], "<Null>");
  EXPECT_EQ(Column(nulls, 1)[4], "Dana Whitfield");
}

TEST(DataSourceQueries, MovedRowsComeAtTheirOwnSlot) {
  // Four companies and two users were edited longer after being stored;
  // Access still returns them in key order.
  const auto companies = ReadAll(Fixture("edited.mdb"), "PagerCompany");
  ASSERT_EQ(companies.rows.size(), 40u);
  for (size_t i = 0; i < companies.rows.size(); ++i) {
    EXPECT_EQ(companies.rows[i][0], Value::Integer(static_cast<int64_t>(i) + 1)) << "row " << i;
  }
  const auto users = ReadAll(Fixture("edited.mdb"), "USERS");
  for (size_t i = 1; i < users.rows.size(); ++i) {
    EXPECT_LT(users.rows[i - 1][0].integer(), users.rows[i][0].integer()) << "row " << i;
  }
}

TEST(DataSourceQueries, TableNamesMatchWithoutRegardToCase) {
  EXPECT_EQ(ReadAll(Fixture("sample.mdb"), "pagercompany").rows.size(), 7u);
  EXPECT_EQ(ReadAll(Fixture("real/nwind.mdb"), "UMSÄTZE").rows.size(), 830u);
  EXPECT_EQ(ReadAll(Fixture("real/nwind.mdb"), "order details").rows.size(), 2155u);
}

TEST(DataSourceQueries, EmptyTablesGiveEmptyRecordsets) {
  for (const char* file : {"empty.mdb", "empty.abk"}) {
    const bool book = std::string(file).ends_with("abk");
    auto source = CreateAccessDataSource();
    source->Open(Fixture(file), book ? kGroupsBook : kGroupsMdb);
    Recordset& rs = source->recordset();
    EXPECT_TRUE(rs.Bof());
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_THROW(rs.MoveNext(), ConversionError);
  }
}

TEST(DataSourceQueries, RecordsetWalkAndColumnLookup) {
  auto source = CreateAccessDataSource();
  EXPECT_THROW(source->recordset(), ConversionError);
  source->Open(Fixture("sample.mdb"), kReceiversMdb);
  Recordset& rs = source->recordset();
  EXPECT_FALSE(rs.Bof());
  EXPECT_FALSE(rs.Eof());
  // Names as the statement spells them, found without regard to case.
  EXPECT_EQ(rs.FieldIndex("username"), 0);
  EXPECT_EQ(rs.FieldIndex("PgName"), 2);
  try {
    rs.FieldIndex("ctName");
    ADD_FAILURE() << "no error for a missing column";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kItemNotFound);
    EXPECT_STREQ(e.what(), "Item not found in this collection.");
  }
  const std::string first = rs.Field("UserName").text();
  rs.MoveNext();
  rs.MoveNext();
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.MoveFirst();
  EXPECT_EQ(rs.Field("UserName").text(), first);
  int rows = 1;
  while (!rs.Eof()) {
    rs.MoveNext();
    ++rows;
  }
  EXPECT_EQ(rows - 1, 40);
  EXPECT_EQ(rs.RecordCount(), 40);
  EXPECT_THROW(rs.FieldValue(0), ConversionError);

  // Opening again replaces the result.
  source->Open(Fixture("sample.mdb"), "GROUPS");
  EXPECT_EQ(source->recordset().FieldIndex("GroupName"), 1);
}

}  // namespace
}  // namespace mdbtokvt

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

int32_t Rows(DataSource& source) {
  int32_t rows = 0;
  for (Recordset& rs = source.recordset(); !rs.Eof(); rs.MoveNext()) ++rows;
  return rows;
}

// Reading ahead changes nothing a caller can see: the matching Open gets the
// rows, another Open its own, and an error surfaces at the matching Open.
TEST(DataSourceReadAhead, SameResultsAndErrorsAsWithout) {
  const std::string book = source_test::Fixture("sample.abk");
  auto plain = CreateAccessDataSource();
  plain->Open(book, kGroupsBook);
  const int32_t groupRows = Rows(*plain);
  plain->Open(book, "PostOffices");
  const int32_t postOffices = Rows(*plain);

  auto source = CreateAccessDataSource();
  source->ReadAhead(book, kGroupsBook);
  source->Open(book, "PostOffices");
  EXPECT_EQ(Rows(*source), postOffices);
  source->Open(book, kGroupsBook);
  EXPECT_EQ(Rows(*source), groupRows);

  const std::string missing = book + ".missing";
  source->ReadAhead(missing, kGroupsBook);
  try {
    source->Open(missing, kGroupsBook);
    ADD_FAILURE() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kDatabaseNotFound);
  }
  source->ReadAhead(book, "NoSuchTable");  // never asked for: dropped quietly
}

// The read ahead is the one the matching Open uses, even with other record
// sources opened in between: the reader runs once per record source.
TEST(DataSourceReadAhead, ReadsEachRecordSourceOnce) {
  test::TempFolder folder;
  const std::string log = (folder.path() / "runs").string();
  const std::string script = (folder.path() / "reader").string();
  std::ofstream(script) << "#!/bin/sh\necho run >> '" << log << "'\nexec '"
                        << FindReaderExecutable({}) << "' \"$@\"\n";
  fs::permissions(script, fs::perms::owner_all);
  ReaderSettings settings;
  settings.executable = script;
  auto source = CreateAccessDataSource(kDefaultCodePage, settings);
  const std::string book = source_test::Fixture("sample.abk");
  source->ReadAhead(book, kGroupsBook);
  source->Open(book, "PostOffices");
  source->Open(book, kReceiversBook);
  source->Open(book, kGroupsBook);
  EXPECT_GT(Rows(*source), 0);
  std::ifstream runs(log);
  EXPECT_EQ(std::count(std::istreambuf_iterator<char>(runs), {}, '\n'), 3);
}

}  // namespace
}  // namespace mdbtokvt
