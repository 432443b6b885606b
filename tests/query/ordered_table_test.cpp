// The table an ORDER BY sorts by first, stored by SQLite with an index so
// that it sorts only runs of rows: which loaded column a declared plan names,
// and that the rows come out exactly as with virtual tables only.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "common/Error.h"
#include "query/LoadedRecordSource.h"
#include "query/LoadedTableModule.h"
#include "query/MergedRecordset.h"
#include "query/OrderedTable.h"
#include "query/PreparedQuery.h"
#include "query/SqliteDatabase.h"
#include "query/SqliteRecordset.h"
#include "query/TextCollation.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

// Columns as the reader declares Access's Long Integer and Text columns.
enum ColumnKind { kInteger, kText };
LoadedColumn Column(const char* name, ColumnKind kind) {
  return kind == kText
             ? LoadedColumn(name, std::string(TextColumnType(SortOrder::kGeneralLegacy)), true)
             : LoadedColumn(name, "INTEGER", false);
}

// A table of a key and a name column (names in UTF-8, loaded as the reader
// loads them), a Null name where name is null.
LoadedTable KeyedNames(const char* table, const char* key, const char* name,
                       const std::vector<std::pair<int, const char*>>& rows) {
  LoadedTable keyed{table, 0, {}};
  keyed.columns.push_back(Column(key, kInteger));
  keyed.columns.push_back(Column(name, kText));
  for (const auto& [k, text] : rows) {
    keyed.columns[0].AppendInteger(k);
    text ? source_test::AppendName(keyed.columns[1], text) : keyed.columns[1].AppendNull();
    ++keyed.rows;
  }
  return keyed;
}

// GROUPS, USERS and GROUPUSER as the group query reads them; names differ in
// case or a trailing space only, and one group and one user have a Null
// name.
LoadedTables GroupTables() {
  LoadedTable groups = KeyedNames("GROUPS", "GRSEQUENCE", "GroupName",
                                  {{1, "night"},
                                   {2, "Day"},
                                   {3, nullptr},
                                   {4, "NIGHTS"},
                                   {5, "day "},
                                   {6, "\xC3\x89t\xC3\xA9"}});
  LoadedTable users = KeyedNames(
      "USERS", "USEQUENCE", "UserName",
      {{10, "zed"}, {11, "Amy"}, {12, "bob"}, {13, nullptr}, {14, "AMY2"}, {15, "\xC3\xA9mile"}});
  LoadedTable members{"GROUPUSER", 0, {}};
  members.columns.push_back(Column("GUGROUPSEQUENCE", kInteger));
  members.columns.push_back(Column("GUUSERSEQUENCE", kInteger));
  const std::vector<std::pair<int, int>> memberRows = {{1, 10}, {1, 11}, {2, 12}, {4, 14}, {4, 11},
                                                       {3, 12}, {5, 15}, {6, 13}, {2, 10}, {9, 11}};
  for (const auto& [g, u] : memberRows) {
    members.columns[0].AppendInteger(g);
    members.columns[1].AppendInteger(u);
    ++members.rows;
  }
  return {std::move(groups), std::move(users), std::move(members)};
}

constexpr const char* kGroupQuery =
    "SELECT GROUPNAME, USERNAME FROM GROUPS, USERS, GROUPUSER"
    " WHERE GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
    "USERS.USEQUENCE=GROUPUSER.GUUSERSEQUENCE  ORDER BY GROUPNAME, USERNAME";

// sql's rows with the group tables, the one given stored by the column.
std::vector<std::string> RowsWithStored(const std::string& sql,
                                        const std::optional<OrderedColumn>& ordered) {
  SqliteDb db = OpenSqlite(":memory:");
  RegisterTextCollations(db.get());
  LoadedTables tables = GroupTables();
  if (ordered) StoreOrderedTable(db.get(), tables[ordered->table], ordered->column);
  AttachLoadedTables(db.get(), std::move(tables),
                     ordered ? std::optional<size_t>(ordered->table) : std::nullopt);
  return source_test::SqlRows(db.get(), sql);
}

// sql's rows with the tables served as the record sources serve them, the
// table of the plan's order column (when given) stored by it.
std::vector<std::string> RowsOf(const std::string& sql, const RecordPlan& plan) {
  std::optional<OrderedColumn> ordered;
  if (!plan.orderColumn.empty()) {
    ordered = FindOrderColumn(plan, GroupTables());
    EXPECT_TRUE(ordered.has_value()) << sql;
  }
  return RowsWithStored(sql, ordered);
}

const RecordPlan kByGroupName{"GROUPS", "GroupName", false, {}};

TEST(OrderedTable, OrderColumnOfThePlan) {
  const LoadedTables tables = GroupTables();
  auto found = [&](const RecordPlan& plan) -> std::string {
    const auto column = FindOrderColumn(plan, tables);
    if (!column) return "-";
    return tables[column->table].name + "." + tables[column->table].columns[column->column].name();
  };
  EXPECT_EQ(found(kByGroupName), "GROUPS.GroupName");
  EXPECT_EQ(found({"users", "USERNAME", true, {}}), "USERS.UserName");  // any case
  EXPECT_EQ(found({"GROUPUSER", "GUUSERSEQUENCE", false, {}}), "GROUPUSER.GUUSERSEQUENCE");
  // No order column, or none loaded by that name: the plain plan.
  EXPECT_EQ(found({}), "-");
  EXPECT_EQ(found({"USERS", "", true, {}}), "-");
  EXPECT_EQ(found({"", "UserName", false, {}}), "-");
  EXPECT_EQ(found({"USERS", "GroupName", false, {}}), "-");
  EXPECT_EQ(found({"MISSING", "UserName", false, {}}), "-");
  // Two loaded tables of that name: which one the statement means is unknown.
  LoadedTables twice = GroupTables();
  twice.push_back(GroupTables()[1]);
  EXPECT_FALSE(FindOrderColumn({"USERS", "UserName", false, {}}, twice).has_value());
}

TEST(OrderedTable, LargeTablesStayVirtual) {
  LoadedTables tables = GroupTables();
  for (int i = 0; i < 100'001; ++i) {
    tables[0].columns[0].AppendInteger(100 + i);
    tables[0].columns[1].AppendText("g");
  }
  tables[0].rows += 100'001;
  EXPECT_FALSE(FindOrderColumn(kByGroupName, tables).has_value());
}

TEST(OrderedTable, SameRowsInTheSameOrderAsWithVirtualTablesOnly) {
  const std::pair<std::string, RecordPlan> cases[] = {
      {kGroupQuery, kByGroupName},
      {"SELECT GROUPNAME, USERNAME FROM GROUPS, USERS, GROUPUSER WHERE "
       "GRSEQUENCE = GUGROUPSEQUENCE AND USEQUENCE = GUUSERSEQUENCE "
       "ORDER BY GROUPNAME DESC, USERNAME DESC",
       kByGroupName},
      {"SELECT USERNAME, count(*) FROM USERS, GROUPUSER WHERE "
       "USEQUENCE = GUUSERSEQUENCE GROUP BY USERNAME ORDER BY USERNAME",
       {"USERS", "UserName", false, {}}}};
  for (const auto& [sql, plan] : cases) {
    const std::vector<std::string> plain = RowsOf(sql, {});
    EXPECT_EQ(RowsOf(sql, plan), plain) << sql;
    EXPECT_FALSE(plain.empty()) << sql;
  }
  // Groups equal in the collation ("Day", "day ") are one run sorted by
  // member; an accented letter sorts with its base letter.
  EXPECT_EQ(
      RowsOf(kGroupQuery, kByGroupName),
      (std::vector<std::string>{"|bob|", "Day|bob|", "day |\xE9mile|", "Day|zed|", "\xC9t\xE9||",
                                "night|Amy|", "night|zed|", "NIGHTS|Amy|", "NIGHTS|AMY2|"}));
}

TEST(OrderedTable, AWrongHintChangesNoResult) {
  // Whichever table is stored by whichever column, the rows and their order
  // stay those of virtual tables only.
  const LoadedTables tables = GroupTables();
  for (const std::string& sql :
       {std::string(kGroupQuery),
        std::string("SELECT USERNAME, GROUPNAME FROM USERS, GROUPUSER, GROUPS WHERE "
                    "USEQUENCE = GUUSERSEQUENCE AND GRSEQUENCE = GUGROUPSEQUENCE "
                    "ORDER BY USERNAME DESC, GROUPNAME")}) {
    const std::vector<std::string> plain = RowsWithStored(sql, std::nullopt);
    for (size_t t = 0; t < tables.size(); ++t) {
      for (size_t c = 0; c < tables[t].columns.size(); ++c) {
        EXPECT_EQ(RowsWithStored(sql, OrderedColumn{t, c}), plain)
            << tables[t].name << "." << tables[t].columns[c].name() << ": " << sql;
      }
    }
  }
}

// Every kind of loaded value reaches SQLite the same from the stored table
// as from the virtual table: the Null of a text column as the Null text
// marker, the Null of another as Null, numbers, texts and blobs as they are.
TEST(OrderedTable, StoresEachKindOfValueAsTheVirtualTablesServeIt) {
  LoadedTable mixed{"M", 0, {}};
  mixed.columns.push_back(Column("t", kText));
  mixed.columns.push_back(LoadedColumn("v", "", false));
  const auto add = [&](auto&& fillText, auto&& fillValue) {
    fillText(mixed.columns[0]);
    fillValue(mixed.columns[1]);
    ++mixed.rows;
  };
  add([](LoadedColumn& c) { c.AppendNull(); }, [](LoadedColumn& c) { c.AppendNull(); });
  add([](LoadedColumn& c) { c.AppendText("x"); }, [](LoadedColumn& c) { c.AppendInteger(-7); });
  add([](LoadedColumn& c) { c.AppendText(""); }, [](LoadedColumn& c) { c.AppendDouble(2.5); });
  add([](LoadedColumn& c) { c.AppendText("y"); },
      [](LoadedColumn& c) { c.AppendBlob(std::string_view("\0\1", 2)); });
  add([](LoadedColumn& c) { c.AppendText("z"); }, [](LoadedColumn& c) { c.AppendText("w"); });
  const std::string sql = "SELECT typeof(t), hex(t), typeof(v), quote(v) FROM M";
  auto rows = [&](bool stored) {
    SqliteDb db = OpenSqlite(":memory:");
    RegisterTextCollations(db.get());
    if (stored) StoreOrderedTable(db.get(), mixed, 0);
    AttachLoadedTables(db.get(), LoadedTables{mixed},
                       stored ? std::optional<size_t>(0) : std::nullopt);
    std::vector<std::string> all = source_test::SqlRows(db.get(), sql);
    std::sort(all.begin(), all.end());
    return all;
  };
  const std::vector<std::string> served = rows(false);
  EXPECT_EQ(rows(true), served);
  ASSERT_EQ(served.size(), 5u);
  EXPECT_EQ(served[0].substr(0, 7), "text|00");  // the Null text marker
}

TEST(OrderedTable, SplitKeepsEachValueInOnePart) {
  const LoadedTables tables = GroupTables();
  // Distinct values in collation order: Null, "Day" = "day ", "Été", "night", "NIGHTS".
  const auto split = SplitByLeadingValue(tables[0], 1, 2, 1);
  ASSERT_EQ(split.size(), 2u);
  EXPECT_EQ(split[0], (std::vector<uint32_t>{2, 3, 5}));         // Null, "Été", "NIGHTS"
  EXPECT_EQ(split[1], (std::vector<uint32_t>{0, 1, 4}));         // "Day", "day ", "night"
  EXPECT_TRUE(SplitByLeadingValue(tables[0], 1, 2, 6).empty());  // too few values
  EXPECT_TRUE(SplitByLeadingValue(tables[0], 0, 2, 1).empty());  // not text

  // Texts without a key of their own (as SQL gives them) are keyed by their
  // bytes; values equal in the collation stay together, Null before empty.
  LoadedTable names{"N", 0, {}};
  names.columns.push_back(Column("name", kText));
  for (const char* name : {"b", "A", "a", "", "B", "c"})
    names.columns[0].AppendText(name), ++names.rows;
  names.columns[0].AppendNull(), ++names.rows;
  const auto pairs = SplitByLeadingValue(names, 0, 2, 1);
  EXPECT_EQ(pairs[0], (std::vector<uint32_t>{1, 2, 5, 6}));  // Null | a, A | c
  EXPECT_EQ(pairs[1], (std::vector<uint32_t>{0, 3, 4}));     // "" | b, B
}

TEST(OrderedTable, PartsMergedGiveTheRowsOfOneConnection) {
  const SharedLoadedTables tables = std::make_shared<const LoadedTables>(GroupTables());
  const OrderedColumn ordered{0, 1};
  auto open = [&](const std::vector<uint32_t>* rows) {
    SqliteDb db = OpenSqlite(":memory:");
    RegisterTextCollations(db.get());
    StoreOrderedTable(db.get(), (*tables)[0], 1, rows);
    AttachLoadedTables(db.get(), tables, ordered.table);
    PreparedQuery query = PrepareQuery(db.get(), kGroupQuery);
    return std::make_unique<SqliteRecordset>(std::move(db), std::move(query.statement), 0);
  };
  auto walk = [](Recordset& rs) {
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      rows.push_back(ValueAsText(rs.FieldValue(0)) + "|" + ValueAsText(rs.FieldValue(1)));
    }
    return rows;
  };
  auto single = open(nullptr);
  const std::vector<std::string> expected = walk(*single);
  ASSERT_EQ(expected.size(), 9u);
  for (size_t parts : {2, 3, 6}) {
    std::vector<std::unique_ptr<SqliteRecordset>> opened;
    const auto split = SplitByLeadingValue((*tables)[0], 1, parts, 1);
    for (const auto& rows : split) opened.push_back(open(&rows));
    MergedRecordset merged(std::move(opened));
    EXPECT_FALSE(merged.Bof());
    EXPECT_EQ(walk(merged), expected) << parts << " parts";
    EXPECT_EQ(merged.RecordCount(), 9);
    EXPECT_THROW(merged.FieldValue(0), ConversionError);
    merged.MoveFirst();
    EXPECT_EQ(walk(merged), expected) << parts << " parts, again";
  }
}

// Through the data source's own path, under each plan: tables of 400 groups
// (enough for two parts), with names equal but for case, Null names and
// members of no group. Only a plan that may run in parts runs in parts, and
// only on two cores; whatever the path chooses, the rows are those of one
// connection over virtual tables only. An ORDER BY that names a result
// column's alias is never merged on the table's column, whatever the plan.
TEST(OrderedTable, LargeStatementsGiveTheRowsOfOneConnection) {
  LoadedTables tables = GroupTables();
  for (int g = 0; g < 400; ++g) {
    tables[0].columns[0].AppendInteger(100 + g);
    const std::string name = (g % 7 == 0 ? "Team " : "team ") + std::to_string((g * 37) % 300);
    g % 50 == 0 ? tables[0].columns[1].AppendNull()
                : source_test::AppendName(tables[0].columns[1], name);
    ++tables[0].rows;
    for (int m = 0; m < 3; ++m) {
      tables[2].columns[0].AppendInteger(100 + g);
      tables[2].columns[1].AppendInteger(10 + (g + m) % 6);
      ++tables[2].rows;
    }
  }
  test::TempFolder folder;
  const std::string path = (folder.path() / "tables").string();
  std::ofstream(path).close();
  WriteLoadedTables(path, tables);
  const bool twoCores = std::thread::hardware_concurrency() > 1;
  const RecordPlan inParts{"GROUPS", "GroupName", true, {}};
  const struct {
    std::string sql;
    RecordPlan plan;
    bool merged;
  } cases[] = {{kGroupQuery, inParts, twoCores},
               {kGroupQuery, kByGroupName, false},
               {kGroupQuery, {}, false},
               {"SELECT GROUPNAME AS X, USERNAME AS GROUPNAME FROM GROUPS, USERS, GROUPUSER "
                "WHERE GRSEQUENCE = GUGROUPSEQUENCE AND USEQUENCE = GUUSERSEQUENCE "
                "ORDER BY GROUPNAME, X",
                inParts, false}};
  for (const auto& [sql, plan, merged] : cases) {
    auto recordset = OpenLoadedRecordSource(path, sql, plan);
    EXPECT_EQ(dynamic_cast<MergedRecordset*>(recordset.get()) != nullptr, merged) << sql;
    std::vector<std::string> rows;
    for (; !recordset->Eof(); recordset->MoveNext()) {
      rows.push_back(ValueAsText(recordset->FieldValue(0)) + "|" +
                     ValueAsText(recordset->FieldValue(1)) + "|");
    }
    // One connection, the ordered table stored as the data source stores it.
    SqliteDb db = OpenSqlite(":memory:");
    RegisterTextCollations(db.get());
    LoadedTables again = ReadLoadedTables(path);
    StoreOrderedTable(db.get(), again[0], 1);
    AttachLoadedTables(db.get(), std::move(again), 0);
    ASSERT_EQ(rows.size(), 1209u) << sql;
    EXPECT_EQ(rows, source_test::SqlRows(db.get(), sql)) << sql;
  }
}

}  // namespace
}  // namespace mdbtokvt
