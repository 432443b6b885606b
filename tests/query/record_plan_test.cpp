// The plan each record source of a conversion declares (RecordPlan.h), and
// that it is true of its statement: with it, each run's record source gives
// the rows of the plain plan in the same order. A plan that stops being
// declared costs only speed; one that is wrong shows here.
#include <gtest/gtest.h>

#include <string>

#include "common/Value.h"
#include "run/DBConvert.h"
#include "source/DataSource.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

struct Declared {
  const TableRun& run;
  bool addressBook;
  RecordPlan plan;
};

// Services read a whole table, receivers a join with no order.
const Declared kDeclared[] = {
    {kServiceRun, true, {}},
    {kServiceRun, false, {}},
    {kReceiverRun, true, {}},
    {kReceiverRun, false, {}},
    {kGroupRun,
     true,
     {"GROUPS", "GRNAME", true,
      MembershipJoinPlan{"GROUPS", "GRSEQUENCE", "GRNAME", "GROUPUSER", "GUGROUPSEQUENCE",
                         "GUCONTACTSEQUENCE", "CONTACTS", "CTSEQUENCE", "CTNAME"}}},
    {kGroupRun,
     false,
     {"GROUPS", "GROUPNAME", true,
      MembershipJoinPlan{"GROUPS", "GRSEQUENCE", "GROUPNAME", "GROUPUSER", "GUGROUPSEQUENCE",
                         "GUUSERSEQUENCE", "USERS", "USEQUENCE", "USERNAME"}}},
};

TEST(RecordPlan, EachRunDeclaresItsPlan) {
  for (const Declared& declared : kDeclared) {
    const RecordSource& source = SourceFor(declared.run, declared.addressBook).source;
    EXPECT_EQ(source.plan, declared.plan) << source.text;
  }
}

// Each row as text, values followed by "|".
std::vector<std::string> Rows(const source_test::Result& result) {
  std::vector<std::string> rows;
  for (const auto& values : result.rows) {
    std::string row;
    for (const Value& value : values) row += ValueAsText(value) + "|";
    rows.push_back(std::move(row));
  }
  return rows;
}

TEST(RecordPlan, EachDeclaredPlanGivesThePlainPlansRows) {
  for (const Declared& declared : kDeclared) {
    const std::string file =
        source_test::Fixture(declared.addressBook ? "sample.abk" : "sample.mdb");
    const RecordSource& source = SourceFor(declared.run, declared.addressBook).source;
    const std::vector<std::string> plain = Rows(source_test::ReadAll(file, source.text));
    EXPECT_EQ(Rows(source_test::ReadAll(file, source.text, "WINDOWS-1252", source.plan)), plain)
        << source.text;
    EXPECT_FALSE(plain.empty()) << source.text;
  }
}

}  // namespace
}  // namespace mdbtokvt
