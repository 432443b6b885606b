// Text in queries: sorted in Access's "General" order on the keys stored
// with each text, compared with numbers as SQLite compares them, and the
// stored form of a text with its key.
#include <gtest/gtest.h>

#include "query/LoadedTableModule.h"
#include "query/PreparedQuery.h"
#include "query/SqliteRecordset.h"
#include "query/TextCollation.h"
#include "sortorder/CollatedText.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

// The collation inside SQLite, on the loaded tables the query side serves:
// an Access table Names(name TEXT, k LONG).
class TextCollation : public ::testing::Test {
 protected:
  std::vector<std::string> Sorted(
      const std::vector<std::pair<std::optional<std::string>, int>>& rows, std::string_view sql) {
    LoadedTable names{"Names", 0, {}};
    names.columns.emplace_back("name", std::string(TextColumnType(SortOrder::kGeneralLegacy)),
                               true);
    names.columns.emplace_back("k", "INTEGER", false);
    for (const auto& [name, k] : rows) {
      if (name) {
        source_test::AppendName(names.columns[0], *name);
      } else {
        names.columns[0].AppendNull();
      }
      names.columns[1].AppendInteger(k);
      ++names.rows;
    }
    SqliteDb db = OpenSqlite(":memory:");
    RegisterTextCollations(db.get());
    AttachLoadedTables(db.get(), {std::move(names)});
    PreparedQuery query = PrepareQuery(db.get(), sql);
    SqliteRecordset rs(std::move(db), std::move(query.statement));
    std::vector<std::string> out;
    for (; !rs.Eof(); rs.MoveNext()) {
      const Value& v = rs.FieldValue(0);
      out.push_back((v.IsNull() ? std::string("<Null>") : "'" + v.text() + "'") + ":" +
                    std::to_string(rs.FieldValue(1).integer()));
    }
    return out;
  }
};

TEST_F(TextCollation, AccessGeneralOrder) {
  const std::vector<std::pair<std::optional<std::string>, int>> rows = {
      {std::nullopt, 2}, {"", 1},  {"b", 3}, {"A", 4},         {"\xC3\xA9", 6},
      {"\xC3\x89", 5},   {"Z", 7}, {"", 8},  {std::nullopt, 0}};
  // Null first, then "", then letters without regard to case, e-acute with
  // e (in both cases equal; equal values ordered by k).
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names ORDER BY name, k"),
            (std::vector<std::string>{"<Null>:0", "<Null>:2", "'':1", "'':8", "'A':4", "'b':3",
                                      "'\xC9':5", "'\xE9':6", "'Z':7"}));
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names ORDER BY name DESC, k DESC").front(), "'Z':7");
  // Equality without regard to case, also with a text of the SQL itself,
  // which has no key of its own; Null stays Null.
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names WHERE name = 'a'"),
            (std::vector<std::string>{"'A':4"}));
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names WHERE name > 'b' ORDER BY k"),
            (std::vector<std::string>{"'\xC9':5", "'\xE9':6", "'Z':7"}));
  EXPECT_EQ(Sorted(rows, "SELECT max(name), 0 FROM Names"), (std::vector<std::string>{"'Z':0"}));
}

TEST_F(TextCollation, TextsThatReadAsNumbersStayComparableWithNumbers) {
  // A text of digits compares equal to the number in a number column, as
  // SQLite compares a text column with an INTEGER one; it still sorts as
  // text (a space first, digits as text, a hyphen only breaking ties).
  const std::vector<std::pair<std::optional<std::string>, int>> rows = {
      {"12", 12}, {" 7 ", 7}, {"100", 100}, {"-3", -3}, {"12a", 12}, {"1e1", 10}};
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names WHERE name = k ORDER BY name"),
            (std::vector<std::string>{"' 7 ':7", "'100':100", "'12':12", "'1e1':10", "'-3':-3"}));
}

TEST(StoredText, KeyedPlainAndNull) {
  std::string stored;
  AppendCollatedText("Smith-Jones", SortKeyOfUtf8(SortOrder::kGeneralLegacy, "Smith-Jones"),
                     stored);
  const CollatedText split = SplitCollatedText(stored);
  EXPECT_TRUE(split.keyed);
  EXPECT_EQ(split.text, "Smith-Jones");
  EXPECT_EQ(CollatedTextOf(stored), "Smith-Jones");
  // A keyed and a plain text compare by their keys, whatever their bytes.
  EXPECT_EQ(CompareStoredText(SortOrder::kGeneralLegacy, stored, "Smith-Jones"), 0);
  // A hyphen only breaks the tie with the same name without it.
  EXPECT_GT(CompareStoredText(SortOrder::kGeneralLegacy, stored, "Smithjones"), 0);
  EXPECT_GT(CompareStoredText(SortOrder::kGeneralLegacy, "smithjonesa", stored), 0);
  // Null before everything, the empty text included.
  EXPECT_LT(CompareStoredText(SortOrder::kGeneralLegacy, kNullTextMarker, ""), 0);
  EXPECT_EQ(CompareStoredText(SortOrder::kGeneralLegacy, kNullTextMarker, kNullTextMarker), 0);
  EXPECT_EQ(CollatedTextOf(kNullTextMarker), "");
  // Texts that read as numbers stay plain; damaged stored bytes split safely.
  stored.clear();
  AppendCollatedText(" -1.5e3 ", "\x01\x00", stored);
  EXPECT_EQ(stored, " -1.5e3 ");
  for (const std::string& bad : {std::string("\0\xFF\xFF"
                                             "ab",
                                             5),
                                 std::string("\0\x05", 2)}) {
    EXPECT_FALSE(SplitCollatedText(bad).keyed);
    EXPECT_EQ(SplitCollatedText(bad).text, bad);
  }
}

TEST(StoredText, TextThatLostCharactersCarriesItsSource) {
  const std::string key = SortKeyOfUtf8(SortOrder::kGeneralLegacy, "\xC5\x81ukasz");
  std::string stored;
  AppendCollatedText("?ukasz", key, stored, "\xC5\x81ukasz");
  const CollatedText split = SplitCollatedText(stored);
  EXPECT_TRUE(split.keyed);
  EXPECT_EQ(split.text, "?ukasz");
  EXPECT_EQ(split.key, key);
  EXPECT_EQ(split.lostSource, "\xC5\x81ukasz");
  EXPECT_EQ(CollatedTextOf(stored), "?ukasz");
  // It sorts by its key, like any keyed text.
  std::string plainKeyed;
  AppendCollatedText("?ukasz", key, plainKeyed);
  EXPECT_EQ(SplitCollatedText(plainKeyed).lostSource, "");
  EXPECT_EQ(CompareStoredText(SortOrder::kGeneralLegacy, stored, plainKeyed), 0);
  // Cut short anywhere, it splits safely as plain bytes.
  for (size_t size = 1; size < stored.size() - std::string("?ukasz").size(); ++size) {
    const std::string cut = stored.substr(0, size);
    const CollatedText part = SplitCollatedText(cut);
    EXPECT_EQ(part.lostSource.size() + part.key.size() + part.text.size() <= cut.size(), true);
    if (!part.keyed) {
      EXPECT_EQ(part.text, cut);
    }
  }
}

}  // namespace
}  // namespace mdbtokvt
