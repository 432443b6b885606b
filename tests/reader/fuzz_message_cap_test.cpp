// The fuzz target's cap on what libmdb prints (tests/fuzz/LibraryMessageCap):
// a file that makes libmdb print one warning without end must end the
// reading with 3343 at the cap, by an exception thrown out of libmdb's
// printf, and leave stdio working for the next reading.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "LibraryMessageCap.h"
#include "TestSupport.h"
#include "common/Error.h"
#include "reader/ReaderJob.h"

namespace mdbtokvt {
namespace {

using namespace std::chrono_literals;

constexpr uint64_t kLimit = uint64_t{4} << 20;

// Reads table of the Access file at path in this process, as the reader
// does, and returns the error number (0 when it read).
int ReadUnderCap(const std::string& path, const std::string& table, const test::TempFolder& dir,
                 std::string* description = nullptr) {
  const std::string tables = (dir.path() / "tables").string();
  std::ofstream(tables, std::ios::trunc).close();
  try {
    const LibraryMessageCap cap(kLimit, path, -1);
    RunReaderJob({path, tables, "WINDOWS-1252", table}, {});
  } catch (const ConversionError& e) {
    if (description != nullptr) *description = e.what();
    return e.number();
  }
  return 0;
}

TEST(FuzzMessageCap, EndlessWarningsEndTheReadingAtTheCap) {
  test::TempFolder dir;
  // Cut after 46 of its 58 pages, this Access 97 file sends libmdb's catalog
  // property parser into a loop that prints one warning again and again.
  const std::string cut = (dir.path() / "cut.mdb").string();
  std::ofstream(cut, std::ios::binary)
      << test::ReadFile(test::TestData("fixtures/real/testV1997.mdb")).substr(0, 46 * 2048);
  FILE* const stdoutBefore = stdout;
  FILE* const stderrBefore = stderr;

  const auto start = std::chrono::steady_clock::now();
  std::string description;
  EXPECT_EQ(ReadUnderCap(cut, "Table1", dir, &description),
            NumberOf(ErrorNumber::kUnrecognizedFormat));
  EXPECT_NE(description.find("(libmdb printed more than 4 MB of messages)"), std::string::npos)
      << description;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
  EXPECT_EQ(stdout, stdoutBefore);
  EXPECT_EQ(stderr, stderrBefore);

  // The stdio streams and libmdb still work: the same cut again, then the
  // intact file.
  EXPECT_EQ(ReadUnderCap(cut, "Table1", dir), NumberOf(ErrorNumber::kUnrecognizedFormat));
  EXPECT_EQ(ReadUnderCap(test::TestData("fixtures/real/testV1997.mdb"), "Table1", dir), 0);
}

}  // namespace
}  // namespace mdbtokvt
