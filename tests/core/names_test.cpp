#include <gtest/gtest.h>

#include "common/Error.h"
#include "names/NameSet.h"
#include "names/NameTable.h"

namespace mdbtokvt {
namespace {

const std::string P = "Regional Emergency Dispatch ";  // 28 characters
const std::string Q = "Northern Valley Fire Brigade";  // 28 characters

TEST(ShortenName, ShortNamesComeBackUnchanged) {
  NameTable table;
  EXPECT_EQ(table.ShortenName(""), "");
  EXPECT_EQ(table.ShortenName("Twenty characters!!!"), "Twenty characters!!!");
  const std::string exactly32(32, 'x');
  EXPECT_EQ(table.ShortenName(exactly32), exactly32);
  EXPECT_EQ(table.EntryCount(), 0u);
}

TEST(ShortenName, WorkedExamples) {
  ASSERT_EQ(P.size(), 28u);
  ASSERT_EQ(Q.size(), 28u);
  NameTable table;
  const std::string first = P + "North";          // 33 characters
  const std::string second = P + "South Sector";  // 40 characters
  EXPECT_EQ(table.ShortenName(first), P + "(1)");
  EXPECT_EQ((P + "(1)").size(), 31u);
  EXPECT_EQ(table.ShortenName(second), P + "(2)");
  EXPECT_EQ(table.ShortenName(first), P + "(1)");
  EXPECT_EQ(table.ShortenName(Q + "1234567"), Q + "(1)");
  // A prefix differing only in letter case opens its own entry.
  std::string lower = P;
  lower[0] = 'r';
  EXPECT_EQ(table.ShortenName(lower + "North"), lower + "(1)");
  // Names 3..10 under P: the tenth comes back with 32 characters.
  std::string tenth;
  for (int i = 3; i <= 10; ++i) tenth = table.ShortenName(P + "Unit " + std::to_string(i));
  EXPECT_EQ(tenth, P + "(10)");
  EXPECT_EQ(tenth.size(), 32u);
}

TEST(ShortenName, HundredthNameIsLongerThan32AndTablesAreIndependent) {
  NameTable services, receivers;
  std::string hundredth;
  for (int i = 1; i <= 100; ++i) hundredth = services.ShortenName(P + "Unit " + std::to_string(i));
  EXPECT_EQ(hundredth, P + "(100)");
  EXPECT_EQ(hundredth.size(), 33u);  // a 33-byte field keeps 32: the ")" is lost there
  // The same name in another table gets its own numbering.
  EXPECT_EQ(receivers.ShortenName(P + "Unit 100"), P + "(1)");
  EXPECT_EQ(services.ShortenName(P + "Unit 100"), P + "(100)");
}

TEST(ShortenName, OverflowOfNamesUnderOnePrefix) {
  NameTable table;
  for (int i = 1; i <= 32767; ++i) table.ShortenName(P + std::to_string(i) + "#####");
  try {
    table.ShortenName(P + "one too many");
    FAIL() << "no overflow";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kOverflow);
  }
  // Names already numbered still resolve.
  EXPECT_EQ(table.ShortenName(P + "1#####"), P + "(1)");
}

TEST(NameSet, HoldsExactlyWhatWasInserted) {
  NameSet set;
  EXPECT_FALSE(set.contains("Amy"));
  EXPECT_TRUE(set.insert("Amy"));
  EXPECT_FALSE(set.insert("Amy"));
  EXPECT_TRUE(set.contains("Amy"));
  EXPECT_FALSE(set.contains("amy"));
  EXPECT_FALSE(set.contains("Amy "));
  EXPECT_FALSE(set.contains(""));
  EXPECT_TRUE(set.insert(""));
  EXPECT_TRUE(set.contains(""));
  // Names of 32 bytes sit in their slots; longer ones are kept apart.
  const std::string slotSized(32, 'x');
  const std::string longer = slotSized + "y";
  EXPECT_TRUE(set.insert(slotSized));
  EXPECT_TRUE(set.insert(longer));
  EXPECT_TRUE(set.contains(slotSized) && set.contains(longer));
  EXPECT_FALSE(set.contains(slotSized + "z"));
  EXPECT_EQ(set.size(), 4u);
  // Growing keeps every name; names with a NUL or bytes above 127 too.
  for (int i = 0; i < 20000; ++i) set.insert("Receiver " + std::to_string(i) + '\0' + "\xE9");
  for (int i = 0; i < 20000; i += 997) {
    EXPECT_TRUE(set.contains("Receiver " + std::to_string(i) + '\0' + "\xE9")) << i;
    EXPECT_FALSE(set.contains("Receiver " + std::to_string(i))) << i;
  }
  EXPECT_EQ(set.size(), 20004u);
  set.clear();
  EXPECT_FALSE(set.contains("Amy") || set.contains(longer));
  EXPECT_EQ(set.size(), 0u);
}

}  // namespace
}  // namespace mdbtokvt
