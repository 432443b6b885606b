#include "common/Error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <new>
#include <stdexcept>

namespace mdbtokvt {
namespace {

using enum ErrorNumber;

ErrorReport ReportOf(const std::function<void()>& fail) {
  try {
    fail();
  } catch (...) {
    return ReportCurrentException();
  }
  return {};
}

TEST(ErrorTable, EveryNumberHasItsClassicDescription) {
  for (const ErrorNumber number :
       {kInvalidArgument,  kOverflow,        kOutOfMemory,      kTypeMismatch,
        kUserInterrupt,    kFileNotFound,    kDiskFull,         kPermissionDenied,
        kPathFileAccess,   kPathNotFound,    kObjectNotSet,     kInvalidFileFormat,
        kQueryFailed,      kNoCurrentRecord, kDatabaseNotFound, kCannotOpen,
        kTooFewParameters, kTableNotFound,   kItemNotFound,     kUnrecognizedFormat}) {
    EXPECT_FALSE(ClassicDescription(number).empty()) << number;
  }
  EXPECT_EQ(ClassicDescription(kNoCurrentRecord), "No current record.");
  EXPECT_EQ(ClassicDescription(kObjectNotSet), "Object variable or With block variable not set");
  EXPECT_EQ(ClassicDescription(kDatabaseNotFound, "/db/a.mdb"), "Could not find file '/db/a.mdb'.");
  // A '|' in the inserted text stays as it is.
  EXPECT_EQ(ClassicDescription(kQueryFailed, "near \"|\""),
            "The database engine cannot run the query: near \"|\".");
  EXPECT_TRUE(ClassicDescription(static_cast<ErrorNumber>(1)).empty());
}

TEST(ErrorTable, BuildersRaiseTheirNumberWithTheTableText) {
  const ErrorReport missing = ReportOf([] { ThrowTableNotFound("Groups"); });
  EXPECT_EQ(missing.number, kTableNotFound);
  EXPECT_EQ(missing.description, ClassicDescription(kTableNotFound, "Groups"));
  EXPECT_EQ(ReportOf([] { ThrowOverflow("x"); }).description, "Overflow: x");
  EXPECT_EQ(ReportOf([] { ThrowNoCurrentRecord(); }).number, kNoCurrentRecord);
  EXPECT_EQ(ReportOf([] { ThrowFileError(ENOSPC, "/o/T"); }).number, kDiskFull);
  EXPECT_EQ(ReportOf([] {
              ThrowFileError(ENOENT, "/o/T");
            }).description.rfind("Path not found (/o/T: ", 0),
            0u);
}

TEST(ErrorReporting, TheExceptionInFlightBecomesOneNumberedLine) {
  EXPECT_EQ(ErrorText(ReportOf([] { throw ConversionError(kCannotOpen, "busy"); })),
            "Error 3051: busy");
  EXPECT_EQ(ErrorText(ReportOf([] { throw std::bad_alloc(); })), "Error 7: Out of memory");
  EXPECT_EQ(ErrorText(ReportOf([] { throw std::runtime_error("odd"); })), "Error 75: odd");
}

}  // namespace
}  // namespace mdbtokvt
