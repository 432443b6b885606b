// The environment variables the reader's settings read: a value that cannot
// be used is error 5 naming the variable and the value, never ignored.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "common/Error.h"
#include "readerclient/ReaderSettings.h"

namespace mdbtokvt {
namespace {

class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) { ::setenv(name, value, 1); }
  ~ScopedVariable() { ::unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
};

// The message of the error 5 that f raises, or why there is none.
template <typename F>
std::string InvalidArgumentMessage(F f) {
  try {
    f();
  } catch (const ConversionError& e) {
    return e.code() == ErrorNumber::kInvalidArgument ? e.what()
                                                     : "error " + std::to_string(e.number());
  }
  return "no error";
}

TEST(ReaderSettings, UnusableLimitsInTheEnvironmentAreErrorsNamingThem) {
  const auto limits = [] { LimitsFor(1000, ReaderSettings{}); };
  for (const char* value : {"abc", "0", "-5", "12ms", "99999999999999999999999"}) {
    SCOPED_TRACE(value);
    const ScopedVariable timeout("MDBTOKVT_READER_TIMEOUT_MS", value);
    EXPECT_EQ(InvalidArgumentMessage(limits),
              std::string("Invalid procedure call or argument: MDBTOKVT_READER_TIMEOUT_MS=\"") +
                  value + "\" is not a whole number of milliseconds above 0 (at most a year).");
  }
  {
    const ScopedVariable memory("MDBTOKVT_READER_MEMORY_MB", "lots");
    EXPECT_NE(InvalidArgumentMessage(limits).find("MDBTOKVT_READER_MEMORY_MB=\"lots\""),
              std::string::npos);
  }
  {
    const ScopedVariable sandbox("MDBTOKVT_READER_SANDBOX", "off");
    EXPECT_NE(InvalidArgumentMessage(limits).find("MDBTOKVT_READER_SANDBOX=\"off\" is neither 0"),
              std::string::npos);
  }
}

TEST(ReaderSettings, UsableAndEmptyValuesAreTaken) {
  const uint64_t defaultMemory = LimitsFor(1000, ReaderSettings{}).memoryLimit;
  const ScopedVariable timeout("MDBTOKVT_READER_TIMEOUT_MS", "2500");
  const ScopedVariable memory("MDBTOKVT_READER_MEMORY_MB", "");  // empty: unset
  const ScopedVariable sandbox("MDBTOKVT_READER_SANDBOX", "1");
  const ReaderLimits limits = LimitsFor(1000, ReaderSettings{});
  EXPECT_EQ(limits.timeout.count(), 2500);
  EXPECT_EQ(limits.memoryLimit, defaultMemory);
  ReaderSettings set;
  set.timeout = std::chrono::milliseconds(7);
  EXPECT_EQ(LimitsFor(1000, set).timeout.count(), 7);  // a setting overrides the environment
}

TEST(ReaderSettings, AReaderInTheEnvironmentMustBeAnExecutableFile) {
  for (const char* value : {"/nonexistent/mdbtokvt-reader", "/etc/passwd", "/"}) {
    SCOPED_TRACE(value);
    const ScopedVariable reader("MDBTOKVT_READER", value);
    EXPECT_EQ(InvalidArgumentMessage([] { FindReaderExecutable(ReaderSettings{}); }),
              std::string("Invalid procedure call or argument: MDBTOKVT_READER=\"") + value +
                  "\" is not an executable file.");
  }
  const ScopedVariable reader("MDBTOKVT_READER", "/bin/true");
  EXPECT_EQ(FindReaderExecutable(ReaderSettings{}), "/bin/true");
}

}  // namespace
}  // namespace mdbtokvt
