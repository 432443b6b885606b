// The group query joined without SQLite: on tables of every odd kind (names
// equal in the collation, Null names and keys, duplicate and missing keys,
// keys far apart, texts that lost characters), it gives exactly the rows
// SQLite gives, in the same order, whether its links come whole or in parts
// and whatever window of rows it holds at once; and it is used only when
// the tables are what it takes.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "common/UniqueFd.h"
#include "query/LoadedRecordSource.h"
#include "query/MembershipJoin.h"
#include "query/MembershipPlan.h"
#include "query/MergedRecordset.h"
#include "query/SqliteDatabase.h"
#include "query/SqliteRecordset.h"
#include "query/TextCollation.h"
#include "sortorder/SortKey.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

constexpr const char* kGroupQuery =
    "SELECT GROUPNAME, USERNAME FROM GROUPS, USERS, GROUPUSER"
    " WHERE GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
    "USERS.USEQUENCE=GROUPUSER.GUUSERSEQUENCE  ORDER BY GROUPNAME, USERNAME";

const MembershipJoinPlan kJoin{"GROUPS",    "GRSEQUENCE",      "GROUPNAME",
                               "GROUPUSER", "GUGROUPSEQUENCE", "GUUSERSEQUENCE",
                               "USERS",     "USEQUENCE",       "USERNAME"};
const RecordPlan kJoined{"GROUPS", "GroupName", true, kJoin};
const RecordPlan kInParts{"GROUPS", "GroupName", true, {}};
const RecordPlan kStored{"GROUPS", "GroupName", false, {}};

LoadedColumn IntegerColumn(const char* name) { return LoadedColumn(name, "INTEGER", false); }
LoadedColumn TextColumn(const char* name) {
  return LoadedColumn(name, std::string(TextColumnType(SortOrder::kGeneralLegacy)), true);
}

// Names that sort together or apart in odd ways; nullptr is Null.
const char* const kNames[] = {
    "a",   "A",   "a ", "b",  "B",   "Bob",   "bob",         "BOB", "", "\xC3\x89t\xC3\xA9",
    "ete", "123", "12", "x1", "zed", nullptr, "\xCE\xA9mega"};

void AppendNameOrNull(LoadedColumn& column, const char* name) {
  if (name == nullptr) {
    column.AppendNull();
  } else if (std::string_view(name) == "\xCE\xA9mega") {
    // The code page lost its first letter.
    column.AppendText("?mega", SortKeyOfUtf8(SortOrder::kGeneralLegacy, name), name);
  } else {
    source_test::AppendName(column, name);
  }
}

struct Sizes {
  int groups, users, links;
};

// GROUPS, USERS, GROUPUSER of the given sizes, from seed.
LoadedTables RandomTables(unsigned seed, Sizes sizes) {
  std::mt19937 random(seed);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const bool farApart = pick(4) == 0;  // keys for a hash map rather than an array
  const auto key = [&](int i) -> int64_t { return farApart ? int64_t{i} * 1'000'000'007 : i; };

  LoadedTable groups{"GROUPS", 0, {}};
  groups.columns.push_back(IntegerColumn("GRSEQUENCE"));
  groups.columns.push_back(TextColumn("GroupName"));
  for (int g = 0; g < sizes.groups; ++g) {
    const int roll = pick(20);
    if (roll == 0) {
      groups.columns[0].AppendNull();
    } else {
      groups.columns[0].AppendInteger(key(roll == 1 ? pick(sizes.groups) : g));
    }
    if (pick(3) == 0) {
      AppendNameOrNull(groups.columns[1], kNames[pick(std::size(kNames))]);
    } else {
      const std::string name = (pick(2) ? "Team " : "team ") + std::to_string(pick(400));
      source_test::AppendName(groups.columns[1], name);
    }
    ++groups.rows;
  }
  LoadedTable users{"USERS", 0, {}};
  users.columns.push_back(IntegerColumn("USEQUENCE"));
  users.columns.push_back(TextColumn("UserName"));
  for (int u = 0; u < sizes.users; ++u) {
    const int roll = pick(15);
    if (roll == 0) {
      users.columns[0].AppendNull();
    } else {
      users.columns[0].AppendInteger(key(roll == 1 ? pick(sizes.users) : 1000 + u));
    }
    if (pick(2) == 0) {
      AppendNameOrNull(users.columns[1], kNames[pick(std::size(kNames))]);
    } else {
      source_test::AppendName(users.columns[1], "user " + std::to_string(pick(1000)));
    }
    ++users.rows;
  }
  LoadedTable links{"GROUPUSER", 0, {}};
  links.columns.push_back(IntegerColumn("GUGROUPSEQUENCE"));
  links.columns.push_back(IntegerColumn("GUUSERSEQUENCE"));
  for (int l = 0; l < sizes.links; ++l) {
    // Mostly keys that exist, some that do not, a few Nulls.
    const int g = pick(sizes.groups + 3) - 1;
    const int u = pick(sizes.users + 3) - 1;
    g < 0 ? links.columns[0].AppendNull() : links.columns[0].AppendInteger(key(g));
    u < 0 ? links.columns[1].AppendNull() : links.columns[1].AppendInteger(key(1000 + u));
    ++links.rows;
  }
  return {std::move(groups), std::move(users), std::move(links)};
}

std::string Describe(const Value& value) {
  if (value.IsNull()) return "<Null>";
  std::string text = ValueAsText(value);
  if (!value.lostSource().empty()) text += "{" + value.lostSource() + "}";
  return text;
}

std::vector<std::string> Walk(Recordset& recordset) {
  std::vector<std::string> rows;
  if (recordset.Bof()) return rows;
  recordset.MoveFirst();
  for (; !recordset.Eof(); recordset.MoveNext()) {
    rows.push_back(Describe(recordset.Field("GroupName")) + "|" +
                   Describe(recordset.Field("username")));
  }
  EXPECT_EQ(recordset.RecordCount(), static_cast<int32_t>(rows.size()));
  return rows;
}

bool IsJoinedWithoutSqlite(Recordset& recordset) {
  return dynamic_cast<SqliteRecordset*>(&recordset) == nullptr &&
         dynamic_cast<MergedRecordset*>(&recordset) == nullptr;
}

std::vector<std::string> RowsOf(const LoadedTables& tables, const RecordPlan& plan,
                                bool expectJoined = false) {
  auto recordset = OpenLoadedRecordSource(tables, kGroupQuery, plan);
  EXPECT_EQ(IsJoinedWithoutSqlite(*recordset), expectJoined);
  return Walk(*recordset);
}

// The join opened directly: its links in parts of partRows rows, holding
// at most mostRows joined rows at once.
std::unique_ptr<Recordset> OpenDirectly(const LoadedTables& tables, size_t partRows,
                                        size_t mostRows, const StopRequest* stop = nullptr) {
  const LoadedTable& links = tables[2];
  auto parts = std::make_shared<std::vector<LoadedTable>>();
  for (size_t first = 0; first < links.rows; first += partRows) {
    LoadedTable part{links.name, 0, {IntegerColumn("a"), IntegerColumn("b")}};
    for (size_t row = first; row < std::min<uint64_t>(links.rows, first + partRows); ++row) {
      for (size_t c = 0; c < 2; ++c) {
        const LoadedColumn& from = links.columns[c];
        from.kind(row) == ValueKind::kNull ? part.columns[c].AppendNull()
                                           : part.columns[c].AppendInteger(from.integer(row));
      }
      ++part.rows;
    }
    parts->push_back(std::move(part));
  }
  MembershipTables joined{.groups = &tables[0],
                          .groupKey = 0,
                          .groupName = 1,
                          .members = &tables[1],
                          .memberKey = 0,
                          .memberName = 1,
                          .links =
                              [parts](const auto& visit) {
                                for (const LoadedTable& part : *parts) visit(part);
                              },
                          .linkGroup = 0,
                          .linkMember = 1,
                          .owner = parts};
  return OpenMembershipJoin(std::move(joined), "GROUPNAME", "USERNAME", stop, mostRows);
}

TEST(MembershipJoin, GivesSqlitesRowsInSqlitesOrder) {
  // The last two give runs of hundreds of rows and members of more ranks
  // than one byte holds.
  const Sizes sizes[] = {{0, 0, 0},        {1, 1, 1},      {3, 4, 10},
                         {12, 9, 60},      {40, 30, 400},  {300, 40, 3000},
                         {700, 120, 5000}, {4, 700, 4000}, {30, 400, 6000}};
  size_t rowsCompared = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    const Sizes size = sizes[seed % std::size(sizes)];
    const LoadedTables tables = RandomTables(seed, size);
    const std::vector<std::string> expected = RowsOf(tables, kStored);
    EXPECT_EQ(RowsOf(tables, kInParts), expected) << "seed " << seed;
    EXPECT_EQ(RowsOf(tables, kJoined, true), expected) << "seed " << seed;
    for (const auto& [partRows, mostRows] : {std::pair<size_t, size_t>{1, 1}, {7, 5}, {1000, 64}}) {
      auto direct = OpenDirectly(tables, partRows, mostRows);
      EXPECT_EQ(Walk(*direct), expected)
          << "seed " << seed << ", parts of " << partRows << ", windows of " << mostRows;
    }
    rowsCompared += expected.size();
  }
  EXPECT_GT(rowsCompared, 20'000u);
}

// "Bob" and "bob" are one run: its rows sorted by member as one, each keeping
// its own group name; rows equal in both names keep the group's key order.
TEST(MembershipJoin, GroupsEqualInTheCollationAreOneRun) {
  LoadedTable groups{"GROUPS", 0, {IntegerColumn("GRSEQUENCE"), TextColumn("GroupName")}};
  for (const auto& [key, name] :
       std::vector<std::pair<int, const char*>>{{7, "bob"}, {3, "Bob"}, {5, "al"}, {9, nullptr}}) {
    groups.columns[0].AppendInteger(key);
    AppendNameOrNull(groups.columns[1], name);
    ++groups.rows;
  }
  LoadedTable users{"USERS", 0, {IntegerColumn("USEQUENCE"), TextColumn("UserName")}};
  for (const auto& [key, name] : std::vector<std::pair<int, const char*>>{
           {1, "zed"}, {2, "Amy"}, {4, "amy"}, {6, "\xCE\xA9mega"}}) {
    users.columns[0].AppendInteger(key);
    AppendNameOrNull(users.columns[1], name);
    ++users.rows;
  }
  LoadedTable links{
      "GROUPUSER", 0, {IntegerColumn("GUGROUPSEQUENCE"), IntegerColumn("GUUSERSEQUENCE")}};
  for (const auto& [g, u] : std::vector<std::pair<int, int>>{
           {7, 1}, {7, 4}, {3, 2}, {3, 1}, {5, 6}, {9, 2}, {8, 1}, {3, 99}}) {
    links.columns[0].AppendInteger(g);
    links.columns[1].AppendInteger(u);
    ++links.rows;
  }
  const LoadedTables tables{std::move(groups), std::move(users), std::move(links)};
  const std::vector<std::string> expected = {
      "<Null>|Amy", "al|?mega{\xCE\xA9mega}", "Bob|Amy", "bob|amy", "Bob|zed", "bob|zed"};
  EXPECT_EQ(RowsOf(tables, kStored), expected);
  EXPECT_EQ(RowsOf(tables, kJoined, true), expected);
}

TEST(MembershipJoin, WalksLikeARecordset) {
  const LoadedTables tables = RandomTables(7, {40, 30, 400});
  auto recordset = OpenDirectly(tables, 50, 30);
  const std::vector<std::string> all = Walk(*recordset);
  ASSERT_GT(all.size(), 100u);
  EXPECT_THROW(recordset->FieldValue(0), ConversionError);  // at the end: 3021
  EXPECT_THROW(recordset->MoveNext(), ConversionError);
  EXPECT_THROW(recordset->Field("GRSEQUENCE"), ConversionError);  // 3265
  // Back to the first row from the middle of a later window.
  recordset->MoveFirst();
  for (int i = 0; i < 70; ++i) recordset->MoveNext();
  recordset->MoveFirst();
  EXPECT_EQ(Walk(*recordset), all);
  EXPECT_EQ(recordset->RecordCount(), static_cast<int32_t>(all.size()));

  LoadedTables none = tables;
  none[2] = LoadedTable{"GROUPUSER", 0, {IntegerColumn("a"), IntegerColumn("b")}};
  auto empty = OpenDirectly(none, 10, 10);
  EXPECT_TRUE(empty->Bof());
  EXPECT_TRUE(empty->Eof());
  EXPECT_THROW(empty->MoveFirst(), ConversionError);
}

TEST(MembershipJoin, AStopEndsTheReadingOfTheLinks) {
  const LoadedTables tables = RandomTables(3, {40, 30, 400});
  StopRequest stop;
  auto recordset = OpenDirectly(tables, 50, 30, &stop);
  recordset->MoveNext();
  stop.Request(2);
  try {
    recordset->MoveNext();
    FAIL() << "no stop";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.number(), 18);
  }
  StopRequest early;
  early.Request(15);
  EXPECT_THROW(OpenDirectly(tables, 50, 30, &early), ConversionError);
}

// Tables the join cannot take, and statements it is not, go to SQLite,
// which gives their rows.
TEST(MembershipJoin, OnlyTablesItCanTake) {
  const LoadedTables tables = RandomTables(11, {40, 30, 400});
  const std::vector<std::string> expected = RowsOf(tables, kStored);
  EXPECT_EQ(RowsOf(tables, kJoined, true), expected);

  // A key that holds a double, a name that holds a number.
  LoadedTables doubled = tables;
  doubled[2].columns[1].AppendDouble(1000.0);
  doubled[2].columns[0].AppendInteger(0);
  ++doubled[2].rows;
  EXPECT_EQ(RowsOf(doubled, kJoined, false), RowsOf(doubled, kStored));
  LoadedTables numbered = tables;
  numbered[1].columns[1].AppendInteger(5);
  numbered[1].columns[0].AppendInteger(5000);
  ++numbered[1].rows;
  EXPECT_EQ(RowsOf(numbered, kJoined, false), RowsOf(numbered, kStored));

  // A plan whose order is not the group name, or whose names are not loaded.
  RecordPlan otherOrder = kJoined;
  otherOrder.orderColumn = "GRSEQUENCE";
  EXPECT_EQ(RowsOf(tables, otherOrder, false), expected);
  RecordPlan unknown = kJoined;
  unknown.membership->memberName = "NICKNAME";
  EXPECT_EQ(RowsOf(tables, unknown, false), expected);

  // Statements that read or give other columns.
  for (const char* sql :
       {"SELECT GROUPNAME, USERNAME, GRSEQUENCE FROM GROUPS, USERS, GROUPUSER WHERE "
        "GRSEQUENCE = GUGROUPSEQUENCE AND USEQUENCE = GUUSERSEQUENCE ORDER BY GROUPNAME, USERNAME",
        "SELECT USERNAME, GROUPNAME FROM GROUPS, USERS, GROUPUSER WHERE "
        "GRSEQUENCE = GUGROUPSEQUENCE AND USEQUENCE = GUUSERSEQUENCE ORDER BY GROUPNAME, "
        "USERNAME"}) {
    auto recordset = OpenLoadedRecordSource(tables, sql, kJoined);
    EXPECT_FALSE(IsJoinedWithoutSqlite(*recordset)) << sql;
  }
}

// Links that read differently on the pass that places them than on the
// pass that counted them (a file changed underneath) end in 3000, whether
// rows were added or lost, never in a write past the rows counted.
TEST(MembershipJoin, LinksThatChangeBetweenPassesAreRefused) {
  const LoadedTables tables = RandomTables(9, {40, 30, 400});
  for (const int change : {+1, -1}) {
    auto passes = std::make_shared<int>(0);
    MembershipTables joined{.groups = &tables[0],
                            .groupKey = 0,
                            .groupName = 1,
                            .members = &tables[1],
                            .memberKey = 0,
                            .memberName = 1,
                            .links =
                                [&tables, passes, change](const auto& visit) {
                                  LoadedTable links = tables[2];
                                  if ((*passes)++ > 0) {
                                    // Every link row repeated, or every other one gone.
                                    LoadedTable other = links;
                                    if (change > 0) {
                                      visit(links);
                                    } else {
                                      other.rows /= 2;
                                    }
                                    visit(other);
                                    return;
                                  }
                                  visit(links);
                                },
                            .linkGroup = 0,
                            .linkMember = 1,
                            .owner = passes};
    try {
      OpenMembershipJoin(std::move(joined), "GROUPNAME", "USERNAME");
      ADD_FAILURE() << "no error for a change of " << change;
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.number(), 3000) << e.what();
    }
  }
}

// From the reader's file: the links read a part at a time (more rows than
// one part holds), the rows those of SQLite; tables the join cannot take
// are read whole and given to SQLite.
TEST(MembershipJoin, ReadsItsLinksFromTheTablesFile) {
  test::TempFolder folder;
  const std::string path = (folder.path() / "tables").string();
  LoadedTables tables = RandomTables(5, {500, 300, 0});
  std::mt19937 random(5);
  for (int l = 0; l < 150'000; ++l) {
    tables[2].columns[0].AppendInteger(static_cast<int64_t>(random() % 520));
    tables[2].columns[1].AppendInteger(1000 + static_cast<int64_t>(random() % 310));
    ++tables[2].rows;
  }
  const auto fromFile = [&](const LoadedTables& written) {
    std::ofstream(path).close();
    WriteLoadedTables(path, written);
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    auto recordset =
        OpenLoadedRecordSource(LoadedTablesFile::Open(fd.get(), path), kGroupQuery, kJoined);
    return std::pair(IsJoinedWithoutSqlite(*recordset), Walk(*recordset));
  };
  const std::vector<std::string> expected = RowsOf(tables, kInParts);
  ASSERT_GT(expected.size(), 100'000u);
  EXPECT_EQ(fromFile(tables), std::pair(true, expected));

  tables[0].columns[0].AppendDouble(0.5);
  tables[0].columns[1].AppendText("g");
  ++tables[0].rows;
  EXPECT_EQ(fromFile(tables), std::pair(false, RowsOf(tables, kInParts)));
}

}  // namespace
}  // namespace mdbtokvt
