// Text as the converters see it: converted to the output code page when read
// (one byte per character, '?' for what the code page lacks), Null kept apart
// from empty text, with keys built from the characters as stored.
#include <gtest/gtest.h>

#include "access/TextDecoder.h"
#include "common/CodePage.h"
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

DecodedText DecodeJet4(std::initializer_list<int> bytes) {
  const std::vector<uint8_t> data(bytes.begin(), bytes.end());
  DecodedText decoded;
  TextDecoder(Cp1252()).Decode(data.data(), data.size(), SortOrder::kGeneralLegacy, decoded);
  return decoded;
}

std::string Jet4(std::initializer_list<int> bytes) { return DecodeJet4(bytes).text; }

TEST(TextDecoding, Jet4PlainAndCompressedText) {
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

TEST(TextDecoding, Jet3TextUsesTheFileCodePage) {
  const CodePage cp850 = CodePage::Load("CP850");
  const std::vector<uint8_t> stored = {0x82, 0x9C};  // e-acute and pound sign in CP850
  DecodedText decoded;
  TextDecoder(Cp1252(), cp850).Decode(stored.data(), stored.size(), SortOrder::kGeneral97, decoded);
  EXPECT_EQ(decoded.text, "\xE9\xA3");
  EXPECT_EQ(decoded.key, SortKeyOfUtf8(SortOrder::kGeneral97, "\xC3\xA9\xC2\xA3"));
  EXPECT_EQ(decoded.lostSource, "");
}

TEST(TextDecoding, KeysComeFromTheCharactersAsStored) {
  // Greek and Polish letters have no Windows-1252 form: both names are
  // written with '?', but each keeps the key of its own letters.
  const std::string alpha = Jet4({0xB1, 0x03, 'x', 0});    // U+03B1
  const std::string lstroke = Jet4({0x42, 0x01, 'x', 0});  // U+0142
  EXPECT_EQ(alpha, "?x");
  EXPECT_EQ(lstroke, "?x");
  TextDecoder decoder(Cp1252());
  const uint8_t a[] = {0xB1, 0x03, 'x', 0};
  const uint8_t l[] = {0x42, 0x01, 'x', 0};
  DecodedText decoded;
  decoder.Decode(a, sizeof a, SortOrder::kGeneralLegacy, decoded);
  const std::string alphaKey = decoded.key;
  decoder.Decode(l, sizeof l, SortOrder::kGeneralLegacy, decoded);
  const std::string lstrokeKey = decoded.key;
  EXPECT_EQ(alphaKey, SortKeyOfUtf8(SortOrder::kGeneralLegacy, "\xCE\xB1x"));
  EXPECT_EQ(lstrokeKey, SortKeyOfUtf8(SortOrder::kGeneralLegacy, "\xC5\x82x"));
  EXPECT_NE(alphaKey, lstrokeKey);
  EXPECT_NE(alphaKey, SortKeyOfUtf8(SortOrder::kGeneralLegacy, "?x"));
  // The compressed form gives the same key as the plain one.
  const uint8_t compressed[] = {0xFF, 0xFE, 'x', 0, 0xB1, 0x03};
  const uint8_t plain[] = {'x', 0, 0xB1, 0x03};
  decoder.Decode(compressed, sizeof compressed, SortOrder::kGeneralLegacy, decoded);
  const std::string compressedKey = decoded.key;
  EXPECT_EQ(decoded.text, "x?");
  decoder.Decode(plain, sizeof plain, SortOrder::kGeneralLegacy, decoded);
  EXPECT_EQ(compressedKey, decoded.key);
}

TEST(TextDecoding, TextThatLosesCharactersKeepsItsSource) {
  // Polish L with stroke and Greek alpha have no Windows-1252 form; a '?'
  // of the text itself, and a text the code page holds, lose nothing.
  const DecodedText polish = DecodeJet4({0x41, 0x01, 'u', 0, 'k', 0});
  EXPECT_EQ(polish.text, "?uk");
  EXPECT_EQ(polish.lostSource, "\xC5\x81uk");
  EXPECT_EQ(DecodeJet4({'a', 0, '?', 0}).lostSource, "");
  EXPECT_EQ(DecodeJet4({0xE9, 0x00, 0xAC, 0x20}).lostSource, "");
  // A character beyond the BMP is one '?' and comes back whole.
  EXPECT_EQ(DecodeJet4({'a', 0, 0x3D, 0xD8, 0x00, 0xDE}).lostSource, "a\xF0\x9F\x98\x80");
}

TEST(TextDecoding, Cp1252AddressBook) {
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

TEST(TextDecoding, NullIsNotEmptyText) {
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

}  // namespace
}  // namespace mdbtokvt
