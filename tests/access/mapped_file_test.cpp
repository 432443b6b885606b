// The mapped Access file gives its pages back to the system while a large
// table is read; what it reads afterwards must still be the file's bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"
#include "access/MappedFile.h"

namespace mdbtokvt {
namespace {

TEST(MappedFile, PagesReleasedReadBackAsTheFile) {
  const std::string path = test::TestData("fixtures/sample.mdb");
  const std::string bytes = test::ReadFile(path);
  const MappedFile file(path);
  ASSERT_EQ(file.size(), bytes.size());
  const auto* data = static_cast<const char*>(file.data());
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(std::memcmp(data, bytes.data(), bytes.size()), 0);
    file.ReleaseResidentPages();
  }
  EXPECT_EQ(std::memcmp(data, bytes.data(), bytes.size()), 0);
}

}  // namespace
}  // namespace mdbtokvt
