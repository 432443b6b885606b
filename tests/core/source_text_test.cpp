// Text as the converters see it: converted to the output code page when read
// (one byte per character, '?' for what the code page lacks), Null kept apart
// from empty text, and sorted as the Access engine sorts by default.
#include <gtest/gtest.h>

#include "source/Catalog.h"
#include "source/CodePage.h"
#include "source/LoadedTableModule.h"
#include "source/MdbLibrary.h"
#include "source/QueryPlan.h"
#include "source/SqliteRecordset.h"
#include "source/SqliteSchema.h"
#include "source/TextCollation.h"
#include "source/TextDecoder.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

using source_test::Column;
using source_test::Fixture;
using source_test::ReadAll;

const CodePage& Cp1252() {
  static const CodePage page = CodePage::Load("WINDOWS-1252");
  return page;
}

std::string Jet4(std::initializer_list<int> bytes) {
  const std::vector<uint8_t> data(bytes.begin(), bytes.end());
  std::string out;
  TextDecoder(Cp1252()).Append(data.data(), data.size(), out);
  return out;
}

TEST(SourceCodePage, Windows1252Conversion) {
  const CodePage& cp = Cp1252();
  EXPECT_EQ(cp.Encode(u'A'), 'A');
  EXPECT_EQ(cp.Encode(u'\u20AC'), 0x80);  // euro sign
  EXPECT_EQ(cp.Encode(u'\u00E9'), 0xE9);
  EXPECT_EQ(cp.Encode(u'\u0141'), '?');  // L with stroke: no 1252 form
  EXPECT_EQ(cp.Encode(u'\u260E'), '?');  // telephone sign
  EXPECT_EQ(cp.FromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
  // Each character without a form gives one '?', a character outside the
  // BMP (an emoji) as well, and so does a broken UTF-8 byte.
  EXPECT_EQ(cp.FromUtf8("\xE6\xBC\xA2\xE5\xAD\x97|\xF0\x9F\x93\x9F|\xFF"), "??|?|?");
}

TEST(SourceCodePage, OtherSingleByteCodePages) {
  const CodePage latin2 = CodePage::Load("ISO-8859-2");
  EXPECT_EQ(latin2.Encode(u'\u0141'), 0xA3);  // L with stroke has a form here
  EXPECT_EQ(latin2.Encode(u'\u20AC'), '?');
  EXPECT_EQ(latin2.FoldTable()[0xA3], 0xB3);  // and folds to its small letter
  const CodePage cyrillic = CodePage::Load("CP1251");
  EXPECT_EQ(cyrillic.FromUtf8("\xD0\x9C\xD0\xB8\xD1\x80"), "\xCC\xE8\xF0");  // "Mir"
}

TEST(SourceCodePage, Windows1252FoldTable) {
  const auto& fold = Cp1252().FoldTable();
  for (int c = 0; c < 256; ++c) {
    int expected = c;
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) expected = c + 32;
    if (c == 0x8A || c == 0x8C || c == 0x8E) expected = c + 16;
    if (c == 0x9F) expected = 0xFF;
    EXPECT_EQ(fold[c], expected) << "byte " << c;
  }
}

TEST(SourceTextDecoding, Jet4PlainAndCompressedText) {
  EXPECT_EQ(Jet4({'H', 0, 'i', 0}), "Hi");
  EXPECT_EQ(Jet4({0xAC, 0x20, 0x41, 0x01}), "\x80?");  // euro, A with ogonek
  // Compressed: FF FE, one byte per character, 00 switching to UCS-2 and back.
  EXPECT_EQ(Jet4({0xFF, 0xFE, 'a', 0xE9, 'b'}),
            "a\xE9"
            "b");
  EXPECT_EQ(Jet4({0xFF, 0xFE, 'x', 0, 0xAC, 0x20, 0xB1, 0x03, 0, 'y'}), "x\x80?y");
  // A surrogate pair is one character: one '?'. So is a lone surrogate.
  EXPECT_EQ(Jet4({'a', 0, 0x3D, 0xD8, 0x9F, 0xDC, 'b', 0}), "a?b");
  EXPECT_EQ(Jet4({0x3D, 0xD8, 'b', 0}), "?b");
  EXPECT_EQ(Jet4({}), "");
  EXPECT_EQ(Jet4({'a', 0, 'b'}), "a");  // a stray odd byte is dropped
}

TEST(SourceTextDecoding, Jet3TextUsesTheFileCodePage) {
  const CodePage cp850 = CodePage::Load("CP850");
  const std::vector<uint8_t> stored = {0x82, 0x9C};  // e-acute and pound sign in CP850
  std::string out;
  TextDecoder(Cp1252(), cp850).Append(stored.data(), stored.size(), out);
  EXPECT_EQ(out, "\xE9\xA3");
}

TEST(SourceTextDecoding, Cp1252AddressBook) {
  const auto contacts = ReadAll(Fixture("cp1252.abk"), "Contacts");
  const auto names = Column(contacts, 1);
  ASSERT_EQ(names.size(), 15u);
  EXPECT_EQ(names[0], "Andr\xE9 Lef\xE8vre");
  EXPECT_EQ(names[4], "Dispatch \x93Red\x94 Team");
  EXPECT_EQ(names[5], "Euro \x80 Desk");
  EXPECT_EQ(names[7], "Fujita ?? Kenji");    // two CJK characters
  EXPECT_EQ(names[8], "Gina ? Pager Crew");  // one emoji
  EXPECT_EQ(names[11], "?ukasz W\xF3jcik");  // L with stroke
  EXPECT_EQ(names[14], "J\xFCrgen Wei\xDF");
  // Lengths count output bytes: the CJK long names share their prefix only
  // after conversion.
  EXPECT_EQ(names[9].substr(0, 12), names[10].substr(0, 12));

  const auto offices = ReadAll(Fixture("cp1252.abk"), "PostOffices");
  EXPECT_EQ(Column(offices, 1)[2], "EuroPage \x93Premium\x94 \x80");
}

TEST(SourceTextDecoding, NullIsNotEmptyText) {
  const auto offices = ReadAll(Fixture("nulls.abk"), "PostOffices");
  ASSERT_EQ(offices.rows.size(), 3u);
  for (size_t i = 1; i < offices.rows[0].size(); ++i) {
    EXPECT_TRUE(offices.rows[0][i].IsNull()) << "column " << i;
  }
  const auto contacts = ReadAll(Fixture("nulls.abk"), "Contacts");
  EXPECT_TRUE(contacts.rows[0][1].IsNull());
  EXPECT_TRUE(contacts.rows[5][0].IsNull());  // a Null key
  EXPECT_EQ(contacts.rows[5][1].text(), "Casey Lin");

  const auto companies = ReadAll(Fixture("sample.mdb"), "PagerCompany");
  EXPECT_TRUE(companies.rows[0][7].IsNull());
  EXPECT_EQ(companies.rows[6][7], Value::Text(""));
}

// The collation inside SQLite, on the loaded tables the query side serves:
// an Access table Names(name TEXT, k LONG).
class SourceCollation : public ::testing::Test {
 protected:
  std::vector<std::string> Sorted(
      const std::vector<std::pair<std::optional<std::string>, int>>& rows, std::string_view sql) {
    LoadedTable names{"Names", 0, {}};
    names.columns.emplace_back("name", std::string(ColumnDefinition(MDB_TEXT)), true);
    names.columns.emplace_back("k", std::string(ColumnDefinition(MDB_LONGINT)), false);
    for (const auto& [name, k] : rows) {
      if (name) {
        names.columns[0].AppendText(*name);
      } else {
        names.columns[0].AppendNull();
      }
      names.columns[1].AppendInteger(k);
      ++names.rows;
    }
    SqliteDb db = OpenSqlite(":memory:");
    RegisterTextCollation(db.get(), Cp1252());
    AttachLoadedTables(db.get(), {std::move(names)});
    PreparedQuery query = PrepareQuery(db.get(), sql, {});
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

TEST_F(SourceCollation, AccessDefaultOrder) {
  const std::vector<std::pair<std::optional<std::string>, int>> rows = {
      {std::nullopt, 2}, {"", 1},  {"b", 3}, {"A", 4},         {"\xE9", 6},
      {"\xC9", 5},       {"Z", 7}, {"", 8},  {std::nullopt, 0}};
  // Null and "" equal and first (ordered by k), then a, b, z, and e-acute
  // in both cases equal (ordered by k): folded bytes compare as numbers, so
  // E9 comes after 7A.
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names ORDER BY name, k"),
            (std::vector<std::string>{"<Null>:0", "'':1", "<Null>:2", "'':8", "'A':4", "'b':3",
                                      "'Z':7", "'\xC9':5", "'\xE9':6"}));
  // Case-insensitive equality in a comparison, too; Null stays Null.
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names WHERE name = 'a'"),
            (std::vector<std::string>{"'A':4"}));
}

TEST_F(SourceCollation, LongPrefixesAndLengths) {
  const auto& fold = Cp1252().FoldTable();
  const std::string base = "Regional Emergency Dispatch ";
  EXPECT_LT(CompareFoldedText(fold, base + "Mike", base + "overflow"), 0);
  EXPECT_EQ(CompareFoldedText(fold, base + "MIKE", base + "mike"), 0);
  EXPECT_LT(CompareFoldedText(fold, base, base + "a"), 0);
  EXPECT_EQ(CompareFoldedText(fold, base + "\xFF", base + "\x9F"), 0);  // y with diaeresis
  EXPECT_LT(CompareFoldedText(fold, base + "\xFF",
                              base + "\x9F"
                                     "a"),
            0);
  EXPECT_EQ(CompareFoldedText(fold, kNullTextMarker, ""), 0);
  EXPECT_LT(CompareFoldedText(fold, kNullTextMarker, " "), 0);
}

}  // namespace
}  // namespace mdbtokvt
