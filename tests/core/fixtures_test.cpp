// End to end: every fixture database converted by the command line for each
// edition that has expected files gives exactly those files (receiver records
// compared as a multiset), or the expected error with the folder untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "tablefile/RecordLayouts.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

struct FixtureCase {
  std::string database;  // file name in tests/data/fixtures
  int edition;
  fs::path expected;
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
  *os << c.database << " edition " << c.edition;
}

std::vector<FixtureCase> AllCases() {
  std::vector<FixtureCase> cases;
  for (const auto& db : fs::directory_iterator(test::TestData("fixtures/expected"))) {
    for (const auto& ed : fs::directory_iterator(db.path())) {
      const std::string name = ed.path().filename().string();
      if (name.rfind("edition-", 0) != 0) continue;
      cases.push_back({db.path().filename().string(), std::stoi(name.substr(8)), ed.path()});
    }
  }
  std::sort(cases.begin(), cases.end(),
            [](const auto& a, const auto& b) { return a.expected < b.expected; });
  return cases;
}

using test::ShellQuote;

struct CliResult {
  int status;
  std::string out, err;
};

CliResult RunCli(const std::string& args, const fs::path& scratch) {
  const std::string command = std::string(MDBTOKVT_CLI) + " " + args + " >" +
                              ShellQuote((scratch / "out.txt").string()) + " 2>" +
                              ShellQuote((scratch / "err.txt").string());
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(scratch / "out.txt"),
          test::ReadFile(scratch / "err.txt")};
}

std::vector<std::string> Records(const std::string& file, size_t size) {
  std::vector<std::string> records;
  for (size_t at = 15; at + size <= file.size(); at += size)
    records.push_back(file.substr(at, size));
  std::sort(records.begin(), records.end());
  return records;
}

class FixtureConversion : public testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureConversion, MatchesExpectedFiles) {
  const FixtureCase& c = GetParam();
  test::TempFolder out, scratch;
  // The folder holds older table files that a failed conversion must keep.
  for (const char* name : {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"}) {
    std::ofstream(out.path() / name) << "older " << name;
  }
  const auto before = test::FolderSnapshot(out.path());
  const std::string database = test::TestData("fixtures/" + c.database);
  const std::string sourceBytes = test::ReadFile(database);
  const CliResult r = RunCli("convert " + ShellQuote(database) + " " + ShellQuote(out.str()) +
                                 " --edition " + std::to_string(c.edition),
                             scratch.path());
  EXPECT_EQ(test::ReadFile(database), sourceBytes) << "the source file changed";

  if (fs::exists(c.expected / "ERROR")) {
    std::istringstream error(test::ReadFile(c.expected / "ERROR"));
    std::string word, table;
    int number = 0;
    error >> word >> table >> number;
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind("Error " + std::to_string(number) + ": ", 0), 0u) << r.err;
    EXPECT_EQ(test::FolderSnapshot(out.path()), before);
    return;
  }
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* name : {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"}) {
    SCOPED_TRACE(name);
    const std::string expected = test::ReadFile(c.expected / name);
    const std::string actual = test::ReadFile(out.path() / name);
    if (std::string(name) == "USERTAB.KVT") {
      ASSERT_EQ(actual.size(), expected.size());
      EXPECT_EQ(actual.substr(0, table_header::kSize), expected.substr(0, table_header::kSize));
      EXPECT_EQ(Records(actual, receiver_record::kSize), Records(expected, receiver_record::kSize));
    } else {
      EXPECT_EQ(actual.size(), expected.size());
      EXPECT_TRUE(actual == expected) << "bytes differ";
    }
  }
  EXPECT_EQ(test::FolderSnapshot(out.path()).size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(All, FixtureConversion, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<FixtureCase>& info) {
                           std::string name = info.param.database + "_edition" +
                                              std::to_string(info.param.edition);
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

// bench-small.mdb has 1,000 groups, enough for the group query to run in
// parts on two connections at once and be merged. Its group files must be
// those the single connection wrote before (their SHA-256, recorded from
// that build; the receiver file's order is the engine's and not compared).
TEST(LargeConversion, GroupQueryInPartsGivesTheSameFiles) {
  const std::string database = test::TestData("../../bench/data/bench-small.mdb");
  const std::pair<int, const char*> cases[] = {
      {0, "c9ba652724a338d696b94d3a33968c787bf06fe902345995b0f99a80c02b0420"},
      {1, "5cec13136f3470513190f9dc85f75e5dad906d116931f56b98b671484a04a59a"}};
  for (const auto& [edition, groupHash] : cases) {
    test::TempFolder out, scratch;
    const CliResult r = RunCli("convert " + ShellQuote(database) + " " + ShellQuote(out.str()) +
                                   " --edition " + std::to_string(edition),
                               scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string hashes = (scratch.path() / "hashes").string();
    ASSERT_EQ(std::system(("cd " + ShellQuote(out.str()) +
                           " && sha256sum GROUPTAB.KVT TERMTAB.KVT >" + ShellQuote(hashes))
                              .c_str()),
              0);
    EXPECT_EQ(test::ReadFile(hashes),
              std::string(groupHash) + "  GROUPTAB.KVT\n" +
                  "cb9b5ca4b7c6fc99b601c06ab9cd10a821a5379168e335dddb7908f1a9c808ac  TERMTAB.KVT\n")
        << "edition " << edition;
  }
}

TEST(CommandLine, UsageAndChecks) {
  test::TempFolder scratch;
  EXPECT_EQ(RunCli("", scratch.path()).status, 2);
  EXPECT_EQ(RunCli("convert onlyone", scratch.path()).status, 2);
  EXPECT_EQ(RunCli("convert a b --edition purple", scratch.path()).status, 2);
  const CliResult help = RunCli("--help", scratch.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("convert SOURCE OUTDIR"), std::string::npos);
  EXPECT_EQ(RunCli("--version", scratch.path()).out.rfind("mdbtokvt-cli ", 0), 0u);

  // Only the first failing check is reported; a plain file is no output folder.
  CliResult r = RunCli("convert /nonexistent/x.abk /nonexistent", scratch.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can't find input file \"/nonexistent/x.abk\"\n");
  const std::string sample = test::TestData("fixtures/sample.abk");
  r = RunCli("convert " + ShellQuote(sample) + " " + ShellQuote(sample), scratch.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can't find output path \"" + sample + "\"\n");
}

TEST(CommandLine, ReportsCountsAndTheEditionsNote) {
  test::TempFolder out, scratch;
  const std::string sample = test::TestData("fixtures/sample.abk");
  CliResult r =
      RunCli("convert " + ShellQuote(sample) + " " + ShellQuote(out.str()), scratch.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("TERMTAB.KVT: 6 records"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("USERTAB.KVT: 45 records"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("GROUPTAB.KVT: 4 records"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("truncated to the first 32 members"), std::string::npos);
  r = RunCli("convert " + ShellQuote(sample) + " " + ShellQuote(out.str()) + " --edition Vireo",
             scratch.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nConversion complete.\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace mdbtokvt
