// The plan each record source of a conversion gets, read from its text
// (query/StatementPlan.h). Editing a record source in run/DBConvert.cpp so
// that it loses its plan (parentheses, DISTINCT, a JOIN clause, DESC) would
// leave every result as it was and only make the conversion slower: this
// table is where that shows.
#include <gtest/gtest.h>

#include <string>

#include "query/StatementPlan.h"
#include "run/DBConvert.h"

namespace mdbtokvt {
namespace {

TEST(StatementPlan, EachRecordSourceOfAConversion) {
  struct Expected {
    const TableRun& run;
    bool addressBook;
    std::string plan;
  };
  // Services read a whole table ("SELECT * FROM PostOffices" in the reader).
  const Expected table[] = {
      {kServiceRun, true, "plain"},
      {kServiceRun, false, "plain"},
      {kReceiverRun, true, "plain"},
      {kReceiverRun, false, "plain"},
      {kGroupRun, true, "ordered table by GRNAME, in two parts"},
      {kGroupRun, false, "ordered table by GROUPNAME, in two parts"},
  };
  for (const Expected& expected : table) {
    const std::string_view source =
        expected.addressBook ? expected.run.addressBookSource : expected.run.mdbSource;
    EXPECT_EQ(DescribePlan(PlanStatement(source)), expected.plan) << source;
  }
}

TEST(StatementPlan, WhatTheTextAllows) {
  const auto plan = [](std::string_view sql) { return DescribePlan(PlanStatement(sql)); };
  EXPECT_EQ(plan("SELECT * FROM \"PostOffices\""), "plain");
  EXPECT_EQ(plan("SELECT a FROM T ORDER BY 1"), "plain");
  EXPECT_EQ(plan("SELECT a FROM T ORDER BY upper(a)"), "plain");
  EXPECT_EQ(plan("SELECT a FROM T, U WHERE T.k = U.k ORDER BY [t].a, b;"),
            "ordered table by t.a, in two parts");
  // One connection (OrderedTable.PlainJoinsOnly has the other cases).
  EXPECT_EQ(plan("SELECT a FROM T WHERE (a > 1) ORDER BY a"), "ordered table by a");
  // The FROM names, for the check that the ordered table appears once.
  const StatementPlan join = PlanStatement("SELECT a FROM T, U u2 WHERE T.k = u2.k ORDER BY a");
  EXPECT_EQ(join.fromNames, (std::vector<std::string>{"T", "U", "u2"}));
  EXPECT_TRUE(IsPlainOrderedJoin(join, "t"));
  EXPECT_FALSE(IsPlainOrderedJoin(join, "V"));
  EXPECT_FALSE(IsPlainOrderedJoin(PlanStatement("SELECT a FROM T ORDER BY a DESC"), "T"));
}

}  // namespace
}  // namespace mdbtokvt
