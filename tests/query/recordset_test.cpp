// The recordset over an SQLite statement, whose rows a thread of its own
// reads ahead: failures arrive in their place, a walk can start again, and
// a recordset left early stops its thread even inside a long statement, and
// a stop request ends the walk and the statement.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "query/SqliteDatabase.h"
#include "query/SqliteRecordset.h"

namespace mdbtokvt {
namespace {

using test::ErrorNumberOf;

// The numbers 1 to last as column x, each given by the expression select.
std::string Counting(int64_t last, std::string_view select = "x") {
  return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
         std::to_string(last) + ") SELECT " + std::string(select) + " AS x FROM c";
}

std::unique_ptr<SqliteRecordset> Open(const std::string& sql, const StopRequest* stop = nullptr) {
  SqliteDb db = OpenSqlite(":memory:");
  if (stop != nullptr) InterruptOnStop(db.get(), *stop);
  SqliteStatement statement = PrepareSql(db.get(), sql);
  return std::make_unique<SqliteRecordset>(std::move(db), std::move(statement), -1,
                                           SortOrder::kGeneralLegacy, stop);
}

TEST(SqliteRecordset, WalksEveryRowAndStartsAgain) {
  auto rs = Open(Counting(5000));
  ASSERT_FALSE(rs->Bof());
  for (int64_t expected = 1; expected <= 700; ++expected, rs->MoveNext()) {
    ASSERT_EQ(rs->FieldValue(0).integer(), expected);
  }
  rs->MoveFirst();
  int64_t count = 0;
  for (; !rs->Eof(); rs->MoveNext()) ASSERT_EQ(rs->FieldValue(0).integer(), ++count);
  EXPECT_EQ(count, 5000);
  EXPECT_EQ(rs->RecordCount(), 5000);
  EXPECT_THROW(rs->MoveNext(), ConversionError);
  EXPECT_THROW(rs->FieldValue(0), ConversionError);

  auto empty = Open(Counting(5) + " WHERE x > 9");
  EXPECT_TRUE(empty->Bof() && empty->Eof());

  // A single row walked past starts again too.
  auto one = Open(Counting(1));
  one->MoveNext();
  ASSERT_TRUE(one->Eof());
  one->MoveFirst();
  ASSERT_FALSE(one->Eof());
  EXPECT_EQ(one->FieldValue(0).integer(), 1);
}

TEST(SqliteRecordset, FailureComesAfterTheRowsBeforeIt) {
  // abs() of the smallest integer fails ("integer overflow") on row 1500.
  auto rs =
      Open(Counting(3000, "CASE WHEN x = 1500 THEN abs(-9223372036854775807 - 1) ELSE x END"));
  int64_t rows = 0;
  try {
    for (; !rs->Eof(); rs->MoveNext()) ASSERT_EQ(rs->FieldValue(0).integer(), ++rows);
    FAIL() << "no failure";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kQueryFailed);
    EXPECT_NE(std::string(e.what()).find("integer overflow"), std::string::npos) << e.what();
  }
  EXPECT_EQ(rows, 1499);

  // On the first row: raised by the constructor.
  try {
    Open(Counting(3, "abs(-9223372036854775807 - 1)"));
    FAIL() << "no failure";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kQueryFailed);
  }
}

TEST(SqliteRecordset, LeftEarlyEvenInsideALongStatement) {
  // After the first row the statement would run for minutes without
  // producing another; closing the recordset interrupts it.
  const auto start = std::chrono::steady_clock::now();
  {
    auto rs = Open(Counting(4'000'000'000) + " WHERE x = 1 OR x > 3999999999");
    EXPECT_EQ(rs->FieldValue(0).integer(), 1);
  }
  // And one whose thread is waiting for the walk to take its rows.
  {
    auto rs = Open(Counting(1'000'000));
    rs->MoveNext();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(SqliteRecordset, StopEndsTheWalkAndInterruptsTheStatement) {
  StopRequest stop;
  auto rs = Open(Counting(5000), &stop);
  rs->MoveNext();
  stop.Request(SIGINT);
  EXPECT_EQ(ErrorNumberOf([&] { rs->MoveNext(); }), NumberOf(ErrorNumber::kUserInterrupt));
  EXPECT_EQ(ErrorNumberOf([&] { rs->MoveFirst(); }), NumberOf(ErrorNumber::kUserInterrupt));
  // A statement that would run for minutes before its first row stops
  // with 18, not the engine's error.
  EXPECT_EQ(ErrorNumberOf([&] { Open(Counting(4'000'000'000) + " WHERE x > 3999999999", &stop); }),
            NumberOf(ErrorNumber::kUserInterrupt));
}

}  // namespace
}  // namespace mdbtokvt
