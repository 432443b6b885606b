// The output code page: one byte per character, '?' for each character it
// has no form for.
#include <gtest/gtest.h>

#include "common/CodePage.h"

namespace mdbtokvt {
namespace {

const CodePage& Cp1252() {
  static const CodePage page = CodePage::Load("WINDOWS-1252");
  return page;
}

TEST(CodePage, Windows1252Conversion) {
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

TEST(CodePage, OtherSingleByteCodePages) {
  const CodePage latin2 = CodePage::Load("ISO-8859-2");
  EXPECT_EQ(latin2.Encode(u'\u0141'), 0xA3);  // L with stroke has a form here
  EXPECT_EQ(latin2.Encode(u'\u20AC'), '?');
  const CodePage cyrillic = CodePage::Load("CP1251");
  EXPECT_EQ(cyrillic.FromUtf8("\xD0\x9C\xD0\xB8\xD1\x80"), "\xCC\xE8\xF0");  // "Mir"
}

}  // namespace
}  // namespace mdbtokvt
