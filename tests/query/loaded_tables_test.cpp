// Loaded tables: the file between the reader and the query side, and the
// virtual tables SQLite runs the record sources on. The virtual tables must
// answer every query exactly as stored tables with the same values do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "common/Error.h"
#include "query/LoadedTableModule.h"
#include "query/LoadedTables.h"
#include "query/SqliteDatabase.h"
#include "query/TextCollation.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

constexpr SortOrder kOrder = SortOrder::kGeneralLegacy;

// Numbers(k LONG, name TEXT, amount DOUBLE) with integers, Nulls, and in
// Mixed(v) integers beside a double, a text and a blob that SQLite's
// comparisons may still find equal to an integer.
LoadedTables SampleTables() {
  LoadedTable numbers{"Numbers", 0, {}};
  numbers.columns.emplace_back("k", "INTEGER", false);
  numbers.columns.emplace_back("name", std::string(TextColumnType(kOrder)), true);
  numbers.columns.emplace_back("amount", "REAL", false);
  const std::vector<std::tuple<std::optional<int>, std::optional<std::string>, double>> rows = {
      {1, "one", 1.5},       {2, "two", 2},   {2, std::nullopt, -3},
      {std::nullopt, "", 0}, {7, "seven", 7}, {-5, "minus", 1e300}};
  for (const auto& [k, name, amount] : rows) {
    k ? numbers.columns[0].AppendInteger(*k) : numbers.columns[0].AppendNull();
    name ? numbers.columns[1].AppendText(*name) : numbers.columns[1].AppendNull();
    numbers.columns[2].AppendDouble(amount);
    ++numbers.rows;
  }
  LoadedTable mixed{"Mixed", 0, {}};
  mixed.columns.emplace_back("v", "", false);  // no affinity: stored as given
  mixed.columns[0].AppendInteger(2);
  mixed.columns[0].AppendDouble(7.0);
  mixed.columns[0].AppendText("1");
  mixed.columns[0].AppendBlob(std::string("\x00\x01", 2));
  mixed.columns[0].AppendNull();
  mixed.rows = 5;
  LoadedTable counted{"Counted", 3, {}};  // no column read, rows counted
  // Keys, one row each: close together (looked up in an array) and far apart.
  LoadedTable ids{"Ids", 0, {}};
  ids.columns.emplace_back("id", "INTEGER", false);
  LoadedTable far{"Far", 0, {}};
  far.columns.emplace_back("f", "INTEGER", false);
  for (int id : {3, 1, 2, 7}) ids.columns[0].AppendInteger(id), ++ids.rows;
  for (int f : {5, 1000000, -7, 2}) far.columns[0].AppendInteger(f), ++far.rows;
  return {std::move(numbers), std::move(mixed), std::move(counted), std::move(ids), std::move(far)};
}

// The same tables stored by SQLite itself, Null text stored as Null.
void StoreTables(sqlite3* db, const LoadedTables& tables) {
  for (const LoadedTable& table : tables) {
    std::string create = "CREATE TABLE " + QuoteIdentifier(table.name) + "(";
    for (size_t c = 0; c < table.columns.size(); ++c) {
      create += (c ? ", " : "") + QuoteIdentifier(table.columns[c].name()) + " " +
                (table.columns[c].holdsText() ? "TEXT" : table.columns[c].declaredType());
    }
    ExecuteSql(db, create + (table.columns.empty() ? "x)" : ")"));
    for (size_t r = 0; r < table.rows; ++r) {
      std::string values;
      for (size_t c = 0; c < table.columns.size(); ++c) {
        const LoadedColumn& column = table.columns[c];
        values += c ? ", " : "";
        switch (column.kind(r)) {
          case ValueKind::kNull:
            values += "NULL";
            break;
          case ValueKind::kInteger:
          case ValueKind::kBoolean:  // never loaded
            values += std::to_string(column.integer(r));
            break;
          case ValueKind::kDouble:
            values += std::to_string(column.number(r));
            break;
          case ValueKind::kText:
            values += "'" + std::string(column.bytes(r)) + "'";
            break;
          case ValueKind::kBlob:
            values += "x'0001'";
            break;
        }
      }
      ExecuteSql(db, "INSERT INTO " + QuoteIdentifier(table.name) +
                         (table.columns.empty() ? " DEFAULT VALUES" : " VALUES(" + values + ")"));
    }
  }
}

TEST(LoadedTables, QueriesAnswerAsOnStoredTables) {
  SqliteDb loaded = OpenSqlite(":memory:");
  RegisterTextCollations(loaded.get());
  AttachLoadedTables(loaded.get(), SampleTables());
  SqliteDb stored = OpenSqlite(":memory:");
  StoreTables(stored.get(), SampleTables());
  for (const std::string sql :
       {"SELECT a.k, b.k FROM Numbers a, Numbers b WHERE a.k = b.k ORDER BY 1, 2",
        "SELECT k, v FROM Numbers, Mixed WHERE Numbers.k = Mixed.v ORDER BY 1, 2",
        "SELECT v, k FROM Mixed, Numbers WHERE Mixed.v = Numbers.k ORDER BY 1, 2",
        "SELECT k FROM Numbers WHERE k = 2.0", "SELECT k FROM Numbers WHERE k = '7'",
        "SELECT k FROM Numbers WHERE k = NULL", "SELECT k FROM Numbers WHERE k = 99",
        "SELECT count(*) FROM Counted", "SELECT count(*) FROM Counted, Numbers",
        "SELECT amount FROM Numbers WHERE amount = 2",
        // What an integer column equals: numbers without a fraction and texts
        // that read as one; never other texts, fractions, blobs or Null.
        "SELECT k FROM Numbers WHERE k = 2.5", "SELECT k FROM Numbers WHERE k = ' 7 '",
        "SELECT k FROM Numbers WHERE k = '7x'", "SELECT k FROM Numbers WHERE k = '2.0'",
        "SELECT k FROM Numbers WHERE k = x'07'", "SELECT k FROM Numbers WHERE k = -5.0",
        "SELECT k FROM Numbers WHERE k = 9.3e18", "SELECT k FROM Numbers WHERE k = '1e0'",
        "SELECT k, id FROM Numbers, Ids WHERE Ids.id = Numbers.k ORDER BY 1, 2",
        "SELECT v, id FROM Mixed, Ids WHERE Ids.id = Mixed.v ORDER BY 1, 2",
        "SELECT v, f FROM Mixed, Far WHERE Far.f = Mixed.v ORDER BY 1, 2",
        "SELECT name, f FROM Numbers, Far WHERE Far.f = Numbers.name ORDER BY 1, 2",
        "SELECT id FROM Ids WHERE id = 4", "SELECT f FROM Far WHERE f = 1000000.0"}) {
    EXPECT_EQ(source_test::SqlRows(loaded.get(), sql), source_test::SqlRows(stored.get(), sql))
        << sql;
  }
  // Columns in the table's own order; Null text reads as the Null marker.
  EXPECT_EQ(source_test::SqlRows(loaded.get(), "SELECT * FROM numbers WHERE k = 2"),
            (std::vector<std::string>{"2|two|2.0|", "2||-3.0|"}));
}

TEST(LoadedTables, FileRoundTripAndDamage) {
  test::TempFolder folder;
  const std::string path = (folder.path() / "t").string();
  std::ofstream(path).close();
  WriteLoadedTables(path, SampleTables());
  const LoadedTables back = ReadLoadedTables(path);
  ASSERT_EQ(back.size(), 5u);
  EXPECT_EQ(back[0].rows, 6u);
  EXPECT_EQ(back[0].columns[1].bytes(4), "seven");
  EXPECT_EQ(back[0].columns[2].number(5), 1e300);
  EXPECT_EQ(back[1].columns[0].kind(3), ValueKind::kBlob);
  EXPECT_EQ(back[1].columns[0].kind(4), ValueKind::kNull);
  EXPECT_EQ(back[0].columns[2].kind(2), ValueKind::kDouble);
  EXPECT_TRUE(back[0].columns[0].onlyIntegers());
  EXPECT_FALSE(back[1].columns[0].onlyIntegers());
  EXPECT_EQ(back[2].rows, 3u);

  // Cut short anywhere, or with a length made huge: refused with 3000.
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  auto refused = [&](const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    try {
      ReadLoadedTables(path);
    } catch (const ConversionError& e) {
      return e.code() == ErrorNumber::kQueryFailed;
    }
    return false;
  };
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    ASSERT_TRUE(refused(bytes.substr(0, cut))) << "cut at " << cut;
  }
  for (size_t at = 16; at + 4 <= bytes.size(); at += 3) {
    std::string changed = bytes;
    changed.replace(at, 4, "\xff\xff\xff\x7f");
    try {
      std::ofstream(path, std::ios::binary | std::ios::trunc) << changed;
      ReadLoadedTables(path);  // may still be a valid file; must not crash
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.code(), ErrorNumber::kQueryFailed);
    }
  }
}

}  // namespace
}  // namespace mdbtokvt
