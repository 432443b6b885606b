// How the data source fails: the classic error numbers for missing files,
// files that are no Access database, missing tables and columns, and bad code
// pages; never a crash, and never a change to the source file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "common/Error.h"
#include "readerclient/AccessDataSource.h"
#include "source/DataSource.h"
#include "source_test_support.h"

namespace mdbtokvt {
namespace {

using source_test::Fixture;

class DataSourceErrors : public ::testing::Test {
 protected:
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // The error Open raises, as number and text.
  static std::pair<int, std::string> OpenError(const std::string& path, std::string_view source,
                                               const std::string& codePage = "WINDOWS-1252") {
    try {
      auto dataSource = CreateAccessDataSource(codePage);
      dataSource->Open(path, source);
    } catch (const ConversionError& e) {
      return {e.number(), e.what()};
    }
    return {0, ""};
  }

  // A fresh folder of its own: one named after the process and the test
  // could still hold the files of an earlier run that crashed.
  test::TempFolder folder_;
  const std::filesystem::path& dir_ = folder_.path();
};

TEST_F(DataSourceErrors, MissingFile) {
  const std::string path = (dir_ / "nothing-here.mdb").string();
  EXPECT_EQ(OpenError(path, "PagerCompany"),
            std::make_pair(3024, "Could not find file '" + path + "'."));
  EXPECT_EQ(OpenError("", "PagerCompany").first, 3024);
}

TEST_F(DataSourceErrors, MdbPathIsNeverSearched) {
  // libmdb looks for names it cannot find along $MDBPATH; the data source
  // must report the file as missing instead of opening another one.
  const std::string fixtures = Fixture("");
  setenv("MDBPATH", fixtures.c_str(), 1);
  const auto error = OpenError("sample.mdb", "PagerCompany");
  unsetenv("MDBPATH");
  EXPECT_EQ(error.first, 3024);
}

TEST_F(DataSourceErrors, FilesThatAreNoAccessDatabase) {
  const std::string sample = ReadBytes(Fixture("sample.mdb"));
  std::string randomBody = sample.substr(0, 4096);
  for (size_t i = 4096; i < 3 * 4096; ++i) randomBody.push_back(static_cast<char>(i * 7919 % 251));
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty.mdb", ""},
      {"text.mdb", "This is a text file, not a database.\n"},
      {"zeros.mdb", std::string(3 * 4096, '\0')},
      {"truncated.mdb", sample.substr(0, sample.size() - 1000)},
      {"header-only.mdb", sample.substr(0, 4096)},
      {"random-body.mdb", randomBody},
  };
  for (const auto& [name, bytes] : files) {
    const std::string path = WriteFile(name, bytes);
    EXPECT_EQ(OpenError(path, "PagerCompany"),
              std::make_pair(3343, "Unrecognized database format '" + path + "'."))
        << name;
  }
  // A folder of the given name is no database either.
  EXPECT_EQ(OpenError(dir_.string(), "PagerCompany").first, 3343);
}

TEST_F(DataSourceErrors, DamagedPagesGiveAnErrorOrData) {
  // Damage inside the data never crashes the reader: each variant either
  // reads or fails with a classic error.
  const std::string sample = ReadBytes(Fixture("sample.mdb"));
  for (size_t page = 1; page * 4096 < sample.size(); ++page) {
    std::string damaged = sample;
    for (size_t i = 0; i < 4096; i += 97) damaged[page * 4096 + i] ^= static_cast<char>(0x5A);
    const std::string path = WriteFile("damaged.mdb", damaged);
    for (const char* source : {"PagerCompany", "USERS"}) {
      const int number = OpenError(path, source).first;
      EXPECT_TRUE(number == 0 || number == 3343 || number == 3078)
          << "page " << page << ": " << number;
    }
  }
}

TEST_F(DataSourceErrors, ImpossibleRowSlotCounts) {
  // A data page claiming more row slots than fit on it is refused, not read
  // past its end.
  const std::string sample = ReadBytes(Fixture("sample.mdb"));
  int refused = 0;
  for (size_t page = 1; page * 4096 < sample.size(); ++page) {
    if (sample[page * 4096] != 0x01) continue;  // data pages only
    std::string damaged = sample;
    damaged[page * 4096 + 12] = static_cast<char>(0xFF);
    damaged[page * 4096 + 13] = static_cast<char>(0xFF);
    const std::string path = WriteFile("slots.mdb", damaged);
    for (const char* source : {"PagerCompany", "USERS", "GROUPS", "GROUPUSER"}) {
      const int number = OpenError(path, source).first;
      EXPECT_TRUE(number == 0 || number == 3343) << "page " << page << ": " << number;
      refused += number == 3343;
    }
  }
  EXPECT_GE(refused, 4);  // at least each table's own data page
}

TEST_F(DataSourceErrors, MissingTableIsNamedAsSpelled) {
  const std::string path = Fixture("missing-table.mdb");
  EXPECT_EQ(OpenError(path, "PagerCompany"),
            std::make_pair(3078, std::string("The database engine cannot find the input table or "
                                             "query 'PagerCompany'. Make sure it exists and that "
                                             "its name is spelled correctly.")));
  const auto inSql = OpenError(path,
                               "SELECT USERNAME,PAGERID,PGNAME FROM USERS, PAGERCOMPANY WHERE "
                               "USERS.PAGERCOMPANYSEQUENCE=PAGERCOMPANY.TESEQUENCE");
  EXPECT_EQ(inSql.first, 3078);
  EXPECT_NE(inSql.second.find("'PAGERCOMPANY'"), std::string::npos) << inSql.second;
}

// A table of one kind missing from a file that holds the other kind's four
// tables: the error keeps its number and text and says in one more sentence
// which kind the file looks like. The record sources are the conversion's.
TEST_F(DataSourceErrors, MissingTableOfTheOtherKindSaysWhichKindTheFileLooksLike) {
  const std::string missing = "The database engine cannot find the input table or query '";
  const auto bookAsPagerDatabase = OpenError(Fixture("sample.abk"), "PagerCompany");
  EXPECT_EQ(bookAsPagerDatabase.first, 3078);
  EXPECT_EQ(bookAsPagerDatabase.second,
            missing +
                "PagerCompany'. Make sure it exists and that its name is spelled correctly. "
                "The file looks like an address book (it holds Contacts, PostOffices, GROUPS "
                "and GROUPUSER), but the source kind comes from the file name, and only a "
                "name ending in \"abk\" is read as an address book.");
  const auto pagerDatabaseAsBook = OpenError(Fixture("sample.mdb"), "PostOffices");
  EXPECT_EQ(pagerDatabaseAsBook.first, 3078);
  EXPECT_NE(pagerDatabaseAsBook.second.find("'PostOffices'. Make sure it exists and that its name "
                                            "is spelled correctly. The file looks like a pager "
                                            "database (it holds USERS, PAGERCOMPANY, GROUPS and "
                                            "GROUPUSER)"),
            std::string::npos)
      << pagerDatabaseAsBook.second;
  // In a join, with the table named in another case.
  const auto inSql = OpenError(Fixture("sample.abk"),
                               "SELECT USERNAME FROM users, PAGERCOMPANY WHERE "
                               "users.PAGERCOMPANYSEQUENCE=PAGERCOMPANY.TESEQUENCE");
  EXPECT_NE(inSql.second.find("The file looks like an address book"), std::string::npos)
      << inSql.second;
  // A name of neither kind, or a file holding neither kind whole: no hint.
  EXPECT_EQ(OpenError(Fixture("sample.abk"), "NoSuchTable").second,
            missing + "NoSuchTable'. Make sure it exists and that its name is spelled correctly.");
  EXPECT_EQ(OpenError(Fixture("missing-table.mdb"), "Contacts").second.find("looks like"),
            std::string::npos);
}

TEST_F(DataSourceErrors, MissingColumnInStatement) {
  EXPECT_EQ(OpenError(Fixture("sample.mdb"), "SELECT pgname, pgNoSuchColumn FROM PagerCompany"),
            std::make_pair(3061, std::string("Too few parameters. Expected 1.")));
}

TEST_F(DataSourceErrors, BadCodePages) {
  for (const char* name : {"NO-SUCH-CODEPAGE", "UTF-8", "UTF-16LE", "SHIFT_JIS", ""}) {
    EXPECT_EQ(OpenError(Fixture("sample.mdb"), "PagerCompany", name).first, 5) << name;
  }
}

TEST_F(DataSourceErrors, SourceFileIsNeverWritten) {
  for (const char* file : {"sample.mdb", "real/testV1997.mdb", "real/overflowTestV2000.mdb"}) {
    const std::string path = WriteFile("copy.mdb", ReadBytes(Fixture(file)));
    const auto before = std::filesystem::last_write_time(path);
    const std::string bytes = ReadBytes(path);
    auto source = CreateAccessDataSource();
    source->Open(path, std::string(file) == "sample.mdb" ? "USERS" : "Table1");
    while (!source->recordset().Eof()) source->recordset().MoveNext();
    source.reset();
    EXPECT_EQ(ReadBytes(path), bytes) << file;
    EXPECT_EQ(std::filesystem::last_write_time(path), before) << file;
    // No lock or journal file appears beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << file;
  }
}

}  // namespace
}  // namespace mdbtokvt
