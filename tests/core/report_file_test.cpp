// The report is part of the output: a report path that names the source, a
// table file or a folder is refused, and a report or a table file that cannot
// be written changes nothing, with the folder and the source byte for byte as
// they were. Staged files a stopped conversion left are removed by the next.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

using Outcome = test::ShellOutcome;

class ReportFile : public testing::Test {
 protected:
  void SetUp() override {
    source = inputs.path() / "book.abk";
    fs::copy_file(test::TestData("fixtures/sample.abk"), source);
    sourceBytes = test::ReadFile(source);
    for (const char* name : {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"}) {
      std::ofstream(out.path() / name) << "older " << name;
    }
    std::ofstream(out.path() / "report.json") << "older report";
    before = test::FolderSnapshot(out.path());
  }

  // Runs convert book.abk OUT --report REPORT in folder cwd.
  Outcome Convert(const std::string& report, const fs::path& cwd, const std::string& outDir) {
    return test::RunShell("cd " + ShellQuote(cwd.string()) + " && " + MDBTOKVT_CLI + " convert " +
                              ShellQuote(source.string()) + " " + ShellQuote(outDir) +
                              " --report " + ShellQuote(report),
                          scratch.path());
  }

  void ExpectNothingChanged(const std::string& report, const fs::path& cwd, int number) {
    const Outcome r = Convert(report, cwd, out.str());
    EXPECT_EQ(r.status, 1) << report;
    EXPECT_EQ(r.err.rfind("Error " + std::to_string(number) + ": ", 0), 0u) << report << r.err;
    EXPECT_EQ(test::FolderSnapshot(out.path()), before) << report;
    EXPECT_EQ(test::ReadFile(source), sourceBytes) << report;
  }

  test::TempFolder inputs, out, scratch;
  fs::path source;
  std::string sourceBytes;
  std::vector<std::pair<std::string, std::string>> before;
};

TEST_F(ReportFile, NamingTheSourceOrATableFileIsRefused) {
  fs::create_symlink(source, inputs.path() / "link-to-book");
  fs::create_symlink(out.path() / "USERTAB.KVT", inputs.path() / "link-to-table");
  fs::create_directory(inputs.path() / "sub");
  const fs::path sub = inputs.path() / "sub";
  // The source: by its own name, through a link, by a relative path.
  ExpectNothingChanged(source.string(), scratch.path(), 75);
  ExpectNothingChanged((inputs.path() / "link-to-book").string(), scratch.path(), 75);
  ExpectNothingChanged("../book.abk", sub, 75);
  ExpectNothingChanged("./sub/../book.abk", inputs.path(), 75);
  // A table file of the output folder, the same ways, and in any letter case.
  ExpectNothingChanged((out.path() / "TERMTAB.KVT").string(), scratch.path(), 75);
  ExpectNothingChanged((inputs.path() / "link-to-table").string(), scratch.path(), 75);
  ExpectNothingChanged("GROUPTAB.KVT", out.path(), 75);
  ExpectNothingChanged((out.path() / "termtab.kvt").string(), scratch.path(), 75);
  // The names the commit uses for its own files.
  ExpectNothingChanged((out.path() / ".mdbtokvt-commit").string(), scratch.path(), 75);
  ExpectNothingChanged((out.path() / ".TERMTAB.KVT.1-2.tmp").string(), scratch.path(), 75);
  // ... also where the table files do not exist yet.
  const fs::path fresh = inputs.path() / "fresh";
  fs::create_directory(fresh);
  const Outcome r = Convert("fresh/./USERTAB.KVT", inputs.path(), fresh.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("Error 75: Path/File access error (the report ", 0), 0u) << r.err;
  EXPECT_TRUE(fs::is_empty(fresh));
}

TEST_F(ReportFile, ThatCannotBeWrittenChangesNothing) {
  // A folder, a missing folder, a path through a file, a link to nothing.
  fs::create_directory(inputs.path() / "folder.json");
  ExpectNothingChanged((inputs.path() / "folder.json").string(), scratch.path(), 75);
  ExpectNothingChanged(out.str(), scratch.path(), 75);
  ExpectNothingChanged("/nonexistent/r.json", scratch.path(), 76);
  ExpectNothingChanged((out.path() / "TERMTAB.KVT" / "r.json").string(), scratch.path(), 76);
  fs::create_symlink(inputs.path() / "nothing", inputs.path() / "dangling.json");
  ExpectNothingChanged((inputs.path() / "dangling.json").string(), scratch.path(), 75);
  // A folder nobody may write into (as root, permissions do not stop a
  // write; sysfs takes no new files from anyone).
  if (::geteuid() == 0) {
    if (fs::is_directory("/sys")) ExpectNothingChanged("/sys/r.json", scratch.path(), 70);
  } else {
    const fs::path locked = inputs.path() / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    ExpectNothingChanged((locked / "r.json").string(), scratch.path(), 70);
    fs::permissions(locked, fs::perms::owner_all);
  }
}

TEST_F(ReportFile, TableFileThatCannotBeWrittenKeepsTheOldReport) {
  fs::remove(out.path() / "GROUPTAB.KVT");
  fs::create_directory(out.path() / "GROUPTAB.KVT");
  before = test::FolderSnapshot(out.path());
  ExpectNothingChanged((out.path() / "report.json").string(), scratch.path(), 75);
  // A table file that is the source (through a link, or a second name).
  fs::remove(out.path() / "GROUPTAB.KVT");
  fs::create_symlink(source, out.path() / "GROUPTAB.KVT");
  before = test::FolderSnapshot(out.path());
  ExpectNothingChanged((out.path() / "report.json").string(), scratch.path(), 75);
  fs::remove(out.path() / "GROUPTAB.KVT");
  fs::create_hard_link(source, out.path() / "GROUPTAB.KVT");
  before = test::FolderSnapshot(out.path());
  ExpectNothingChanged((out.path() / "report.json").string(), scratch.path(), 75);
}

TEST_F(ReportFile, IsWrittenThroughALinkAndReplacedWithTheTables) {
  const fs::path real = inputs.path() / "real.json";
  std::ofstream(real) << "older report";
  fs::create_symlink(real, out.path() / "linked.json");
  const Outcome r = Convert((out.path() / "linked.json").string(), scratch.path(), out.str());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(out.path() / "linked.json"));
  EXPECT_EQ(test::ReadFile(real).rfind("{\n  \"source\": ", 0), 0u);
  const auto after = test::FolderSnapshot(out.path());
  ASSERT_EQ(after.size(), 5u);  // the three tables, the old report, the link
  EXPECT_EQ(after[0].first, "GROUPTAB.KVT");
  EXPECT_EQ(test::ReadFile(out.path() / "report.json"), "older report");
  EXPECT_EQ(test::FolderSnapshot(inputs.path()).size(), 2u) << "a staged report left behind";
}

TEST_F(ReportFile, StagedFilesOfAStoppedConversionAreRemovedByTheNext) {
  // Two left by conversions that are gone (one by an older program, with
  // its backup), one held by a conversion still running (this test).
  const fs::path deadTable = out.path() / ".TERMTAB.KVT.4242-17.tmp";
  const fs::path deadBackup = out.path() / ".USERTAB.KVT.4242-18.tmp.old";
  const fs::path deadReport = out.path() / ".report.json.4242-19.tmp";
  const fs::path running = out.path() / ".GROUPTAB.KVT.4343-20.tmp";
  const fs::path unrelated = out.path() / ".GROUPTAB.KVT.notes.tmp";
  for (const fs::path& p : {deadTable, deadBackup, deadReport, running, unrelated}) {
    std::ofstream(p) << "partial";
  }
  const int held = ::open(running.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const Outcome r = Convert((out.path() / "report.json").string(), scratch.path(), out.str());
  ::close(held);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Removed 3 temporary files that a stopped conversion had left in " +
                       out.str() + "\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(test::ReadFile(out.path() / "report.json").find("\"outputNotes\": [\n    \"Removed 3"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(deadTable));
  EXPECT_FALSE(fs::exists(deadBackup));
  EXPECT_TRUE(fs::exists(running));
  EXPECT_TRUE(fs::exists(unrelated));
  EXPECT_EQ(test::FolderSnapshot(out.path()).size(), 6u);
}

}  // namespace
}  // namespace mdbtokvt
