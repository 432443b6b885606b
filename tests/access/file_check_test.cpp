// The cheap checks made before any reader sees a file: the header names an
// Access format and version, and the file holds whole pages.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TestSupport.h"
#include "access/AccessFileCheck.h"
#include "common/Error.h"

namespace mdbtokvt {
namespace {

std::string Header(std::string_view format, char version) {
  std::string header("\x00\x01\x00\x00", 4);
  header += format;
  header.resize(0x14, '\0');
  header.push_back(version);
  return header;
}

TEST(AccessFileCheck, HeaderGivesThePageSize) {
  EXPECT_EQ(AccessPageSize(Header("Standard Jet DB", 0)), 2048u);
  EXPECT_EQ(AccessPageSize(Header("Standard Jet DB", 1)), 4096u);
  EXPECT_EQ(AccessPageSize(Header("Standard ACE DB", 2)), 4096u);
  EXPECT_EQ(AccessPageSize(Header("Standard ACE DB", 6)), 4096u);
  // Versions libmdb does not know, other formats, other leading bytes.
  EXPECT_EQ(AccessPageSize(Header("Standard ACE DB", 7)), 0u);
  EXPECT_EQ(AccessPageSize(Header("Standard Jet DB", '\xFF')), 0u);
  EXPECT_EQ(AccessPageSize(Header("Standard Foo DB", 1)), 0u);
  std::string zeroFirst = Header("Standard Jet DB", 1);
  zeroFirst[1] = '\0';
  EXPECT_EQ(AccessPageSize(zeroFirst), 0u);
  EXPECT_EQ(AccessPageSize(Header("Standard Jet DB", 1).substr(0, 0x14)), 0u);
}

TEST(AccessFileCheck, WholeFiles) {
  const AccessFileFacts jet3 = CheckAccessFile(test::TestData("fixtures/real/testV1997.mdb"));
  EXPECT_EQ(jet3.pageSize, 2048u);
  EXPECT_EQ(jet3.size, 118784u);
  EXPECT_TRUE(jet3.absolutePath.is_absolute());
  EXPECT_EQ(CheckAccessFile(test::TestData("fixtures/sample.abk")).pageSize, 4096u);

  // A Jet 3 file cut inside a page, and one cut to two pages (too short to
  // hold the catalog).
  const std::string jet3Bytes = test::ReadFile(test::TestData("fixtures/real/testV1997.mdb"));
  test::TempFolder folder;
  for (const size_t length : {size_t{2 * 2048}, size_t{3 * 2048 + 1024}}) {
    const auto path = folder.path() / "cut.mdb";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << jet3Bytes.substr(0, length);
    try {
      CheckAccessFile(path.string());
      ADD_FAILURE() << length;
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.code(), ErrorNumber::kUnrecognizedFormat);
      EXPECT_EQ(e.description(), "Unrecognized database format '" + path.string() + "'.");
    }
  }
  EXPECT_NO_THROW(CheckAccessFile(test::TestData("fixtures/sample.mdb")));
}

}  // namespace
}  // namespace mdbtokvt
