// What the reader loads for a record source: the tables and columns SQLite
// reads to prepare it, kept to those of the file's catalog.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "access/Catalog.h"
#include "access/MdbLibrary.h"
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

}  // namespace
}  // namespace mdbtokvt
