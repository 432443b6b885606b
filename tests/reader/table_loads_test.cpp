// What the reader loads for a record source: the tables and columns SQLite
// reads to prepare it, kept to those of the file's catalog.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "access/AccessFile.h"
#include "access/Catalog.h"
#include "access/MdbLibrary.h"
#include "common/CodePage.h"
#include "query/PreparedQuery.h"
#include "query/SqliteDatabase.h"
#include "query/TextCollation.h"
#include "reader/SqliteSchema.h"
#include "reader/TableLoader.h"

namespace mdbtokvt {
namespace {

const Catalog& GroupCatalog() {
  static const Catalog catalog = {
      {"GROUPS", {{"GRSEQUENCE", MDB_LONGINT}, {"GRNAME", MDB_TEXT}, {"GRNOTE", MDB_MEMO}}},
      {"GROUPUSER", {{"GUGROUPSEQUENCE", MDB_LONGINT}, {"GUUSERSEQUENCE", MDB_LONGINT}}},
      {"USERS", {{"USEQUENCE", MDB_LONGINT}, {"USERNAME", MDB_TEXT}}}};
  return catalog;
}

std::vector<TableLoad> LoadsFor(const std::string& sql) {
  SqliteDb db = OpenSqlite(":memory:");
  RegisterTextCollations(db.get());
  CreateTables(db.get(), GroupCatalog(), SortOrder::kGeneralLegacy);
  return TablesToLoad(PrepareQuery(db.get(), sql).reads, GroupCatalog());
}

TEST(TablesToLoad, CatalogTablesAndColumnsEachOnceInTheOrderFirstRead) {
  const std::vector<ColumnRead> reads = {
      {"GROUPS", "GRNAME"},      {"USERS", "USERNAME"},
      {"GROUPS", "GRSEQUENCE"},  {"GROUPUSER", std::nullopt},
      {"GROUPS", "GRNAME"},      {"GROUPS", "rowid"},
      {"sqlite_master", "name"}, {"GROUPUSER", "GUGROUPSEQUENCE"}};
  const std::vector<TableLoad> loads = TablesToLoad(reads, GroupCatalog());
  ASSERT_EQ(loads.size(), 3u);
  EXPECT_EQ(loads[0].table, "GROUPS");
  EXPECT_EQ(loads[0].columns, (std::vector<std::string>{"GRNAME", "GRSEQUENCE"}));
  EXPECT_EQ(loads[1].table, "USERS");
  EXPECT_EQ(loads[1].columns, std::vector<std::string>{"USERNAME"});
  EXPECT_EQ(loads[2].table, "GROUPUSER");
  EXPECT_EQ(loads[2].columns, std::vector<std::string>{"GUGROUPSEQUENCE"});
}

TEST(TablesToLoad, TablesReadForTheirRowsAndTablesOutsideTheCatalog) {
  // count(*) reads no column, yet needs the table's rows.
  const std::vector<TableLoad> counted = LoadsFor("SELECT count(*) FROM USERS");
  ASSERT_EQ(counted.size(), 1u);
  EXPECT_EQ(counted[0].table, "USERS");
  EXPECT_TRUE(counted[0].columns.empty());
  // SQLite's own tables are nothing to load.
  EXPECT_TRUE(LoadsFor("SELECT name FROM sqlite_master").empty());
}

// Every table of file with all its columns, loaded a part of partRows rows
// at a time and read back.
LoadedTables LoadedInParts(const std::string& path, size_t partRows, const std::string& out) {
  const AccessFile file(path);
  std::vector<TableLoad> loads;
  for (const CatalogTable& table : ReadCatalog(file)) {
    loads.push_back({table.name, {}});
    for (const CatalogColumn& column : table.columns) loads.back().columns.push_back(column.name);
  }
  LoadedTablesWriter writer(OpenLoadedTablesOutput(out), out);
  LoadTables(file, CodePage::Load("WINDOWS-1252"), loads, writer, partRows);
  writer.Finish();
  return ReadLoadedTables(out);
}

// Texts with their keys, memos, Nulls, numbers of every width, Jet 3 and
// later, moved rows: the same tables whatever the part size.
TEST(LoadTables, PartsOfAnySizeGiveTheSameTables) {
  test::TempFolder folder;
  const std::string out = (folder.path() / "tables").string();
  for (const char* name : {"fixtures/sample.abk", "fixtures/real/nwind.mdb",
                           "fixtures/real/testV1997.mdb", "fixtures/real/overflowTestV2000.mdb"}) {
    const std::string path = test::TestData(name);
    const LoadedTables whole = LoadedInParts(path, kLoadedPartRows, out);
    ASSERT_FALSE(whole.empty()) << name;
    for (const size_t partRows : {size_t{1}, size_t{3}}) {
      const LoadedTables parts = LoadedInParts(path, partRows, out);
      ASSERT_EQ(parts.size(), whole.size()) << name;
      for (size_t t = 0; t < whole.size(); ++t) {
        const LoadedTable& a = whole[t];
        const LoadedTable& b = parts[t];
        ASSERT_EQ(a.rows, b.rows) << name << " " << a.name;
        ASSERT_EQ(a.columns.size(), b.columns.size());
        for (size_t c = 0; c < a.columns.size(); ++c) {
          EXPECT_EQ(a.columns[c].onlyIntegers(), b.columns[c].onlyIntegers());
          for (size_t row = 0; row < a.rows; ++row) {
            const ValueKind kind = a.columns[c].kind(row);
            ASSERT_EQ(kind, b.columns[c].kind(row)) << name << " " << a.name << " row " << row;
            if (kind == ValueKind::kText || kind == ValueKind::kBlob) {
              ASSERT_EQ(a.columns[c].bytes(row), b.columns[c].bytes(row));
            } else if (kind != ValueKind::kNull) {
              ASSERT_EQ(a.columns[c].integer(row), b.columns[c].integer(row));  // the slot
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace mdbtokvt
