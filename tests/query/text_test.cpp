// Text as the converters see it: converted to the output code page when read
// (one byte per character, '?' for what the code page lacks), Null kept apart
// from empty text, and sorted in Access's "General" order on keys built from
// the characters as stored.
#include <gtest/gtest.h>

#include "access/Catalog.h"
#include "access/MdbLibrary.h"
#include "access/TextDecoder.h"
#include "common/CodePage.h"
#include "query/CollatedText.h"
#include "query/LoadedTableModule.h"
#include "query/PreparedQuery.h"
#include "query/SqliteRecordset.h"
#include "query/TextCollation.h"
#include "reader/SqliteSchema.h"
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
  std::string text;
  std::string key;
  TextDecoder(Cp1252(), SortOrder::kGeneralLegacy).Decode(data.data(), data.size(), text, key);
  return text;
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
  const CodePage cyrillic = CodePage::Load("CP1251");
  EXPECT_EQ(cyrillic.FromUtf8("\xD0\x9C\xD0\xB8\xD1\x80"), "\xCC\xE8\xF0");  // "Mir"
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
  std::string text;
  std::string key;
  TextDecoder(Cp1252(), cp850, SortOrder::kGeneral97)
      .Decode(stored.data(), stored.size(), text, key);
  EXPECT_EQ(text, "\xE9\xA3");
  EXPECT_EQ(key, SortKeyOfUtf8(SortOrder::kGeneral97, "\xC3\xA9\xC2\xA3"));
}

TEST(SourceTextDecoding, KeysComeFromTheCharactersAsStored) {
  // Greek and Polish letters have no Windows-1252 form: both names are
  // written with '?', but each keeps the key of its own letters.
  const std::string alpha = Jet4({0xB1, 0x03, 'x', 0});    // U+03B1
  const std::string lstroke = Jet4({0x42, 0x01, 'x', 0});  // U+0142
  EXPECT_EQ(alpha, "?x");
  EXPECT_EQ(lstroke, "?x");
  std::string text;
  std::string alphaKey;
  std::string lstrokeKey;
  TextDecoder decoder(Cp1252(), SortOrder::kGeneralLegacy);
  const uint8_t a[] = {0xB1, 0x03, 'x', 0};
  const uint8_t l[] = {0x42, 0x01, 'x', 0};
  decoder.Decode(a, sizeof a, text, alphaKey);
  decoder.Decode(l, sizeof l, text, lstrokeKey);
  EXPECT_EQ(alphaKey, SortKeyOfUtf8(SortOrder::kGeneralLegacy, "\xCE\xB1x"));
  EXPECT_EQ(lstrokeKey, SortKeyOfUtf8(SortOrder::kGeneralLegacy, "\xC5\x82x"));
  EXPECT_NE(alphaKey, lstrokeKey);
  EXPECT_NE(alphaKey, SortKeyOfUtf8(SortOrder::kGeneralLegacy, "?x"));
  // The compressed form gives the same key as the plain one.
  const uint8_t compressed[] = {0xFF, 0xFE, 'x', 0, 0xB1, 0x03};
  const uint8_t plain[] = {'x', 0, 0xB1, 0x03};
  std::string compressedKey;
  std::string plainKey;
  decoder.Decode(compressed, sizeof compressed, text, compressedKey);
  EXPECT_EQ(text, "x?");
  decoder.Decode(plain, sizeof plain, text, plainKey);
  EXPECT_EQ(compressedKey, plainKey);
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
    names.columns.emplace_back(
        "name", std::string(ColumnDefinition(MDB_TEXT, SortOrder::kGeneralLegacy)), true);
    names.columns.emplace_back(
        "k", std::string(ColumnDefinition(MDB_LONGINT, SortOrder::kGeneralLegacy)), false);
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

TEST_F(SourceCollation, AccessGeneralOrder) {
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

TEST_F(SourceCollation, TextsThatReadAsNumbersStayComparableWithNumbers) {
  // A text of digits compares equal to the number in a number column, as
  // SQLite compares a text column with an INTEGER one; it still sorts as
  // text (a space first, digits as text, a hyphen only breaking ties).
  const std::vector<std::pair<std::optional<std::string>, int>> rows = {
      {"12", 12}, {" 7 ", 7}, {"100", 100}, {"-3", -3}, {"12a", 12}, {"1e1", 10}};
  EXPECT_EQ(Sorted(rows, "SELECT name, k FROM Names WHERE name = k ORDER BY name"),
            (std::vector<std::string>{"' 7 ':7", "'100':100", "'12':12", "'1e1':10", "'-3':-3"}));
}

TEST(SourceStoredText, KeyedPlainAndNull) {
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

}  // namespace
}  // namespace mdbtokvt
