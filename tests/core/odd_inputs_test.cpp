// Inputs a careful user may throw at the command line: odd source paths,
// damaged files, a full disk, and two conversions into one folder at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "tablefile/RecordLayouts.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

using test::ShellQuote;

using Outcome = test::ShellOutcome;
using test::RunShell;

std::string Convert(const std::string& source, const std::string& out) {
  return std::string(MDBTOKVT_CLI) + " convert " + ShellQuote(source) + " " + ShellQuote(out);
}

class OddInputs : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"}) {
      std::ofstream(out.path() / name) << "older " << name;
    }
    before = test::FolderSnapshot(out.path());
  }
  void ExpectFailure(const std::string& source, const std::string& errorStart) {
    const Outcome r = RunShell(Convert(source, out.str()), scratch.path());
    EXPECT_EQ(r.status, 1) << source << ": " << r.err;
    EXPECT_EQ(r.err.rfind(errorStart, 0), 0u) << source << ": " << r.err;
    EXPECT_EQ(test::FolderSnapshot(out.path()), before) << source;
  }
  test::TempFolder out, scratch, inputs;
  std::vector<std::pair<std::string, std::string>> before;
};

TEST_F(OddInputs, SourcesThatAreNoFile) {
  const fs::path dir = inputs.path() / "folder.abk";
  fs::create_directory(dir);
  ExpectFailure(dir.string(), "Can't find input file \"");
  const fs::path fifo = inputs.path() / "pipe.mdb";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ExpectFailure(fifo.string(), "Can't find input file \"");
  const fs::path dangling = inputs.path() / "dangling.mdb";
  fs::create_symlink(inputs.path() / "nowhere.mdb", dangling);
  ExpectFailure(dangling.string(), "Can't find input file \"");
  ExpectFailure("/dev/zero", "Can't find input file \"");
}

TEST_F(OddInputs, FilesThatAreNoAccessDatabase) {
  const fs::path empty = inputs.path() / "empty.mdb";
  std::ofstream(empty).close();
  ExpectFailure(empty.string(), "Error 3343: ");
  const fs::path text = inputs.path() / "notes.abk";
  std::ofstream(text) << "This is a text file, not an address book.\n";
  ExpectFailure(text.string(), "Error 3343: ");
  // A real database cut short in the middle of a page.
  const std::string sample = test::ReadFile(test::TestData("fixtures/sample.abk"));
  const fs::path cut = inputs.path() / "cut.abk";
  std::ofstream(cut, std::ios::binary) << sample.substr(0, 10000);
  ExpectFailure(cut.string(), "Error 3343: ");
}

TEST_F(OddInputs, NamesWithBlanksQuotesAndNonAscii) {
  const fs::path odd = inputs.path() / "Büro \"alt\" 'Kopie' ☎.abk";
  fs::copy_file(test::TestData("fixtures/sample.abk"), odd);
  const fs::path target = inputs.path() / "Ausgabe mit Leerzeichen ü";
  fs::create_directory(target);
  const Outcome r = RunShell(Convert(odd.string(), target.string()), scratch.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(target / "USERTAB.KVT"), 15u + 45u * 352u);
  // Trailing blanks still make an address book, and reach the file system as typed.
  const fs::path blanks = inputs.path() / "copy.ABK  ";
  fs::copy_file(test::TestData("fixtures/sample.abk"), blanks);
  EXPECT_EQ(RunShell(Convert(blanks.string(), target.string()), scratch.path()).status, 0);
}

// A database another program is still writing: page-sized blocks of junk are
// appended throughout the conversion. Each conversion reads the file as it is
// at some moment: the intact tables (the catalog does not reach the new
// pages) or a numbered error when the file's length is caught between pages;
// never a crash, a hang or a mixed folder.
TEST_F(OddInputs, FileAppendedToWhileRead) {
  const fs::path growing = inputs.path() / "growing.abk";
  fs::copy_file(test::TestData("fixtures/sample.abk"), growing);
  const std::string expected =
      test::ReadFile(test::TestData("fixtures/expected/sample.abk/edition-0/TERMTAB.KVT"));
  std::atomic<bool> done = false;
  std::thread writer([&] {
    const std::string junk(4096, '\x5a');
    while (!done) {
      std::ofstream(growing, std::ios::binary | std::ios::app) << junk;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  for (int i = 0; i < 5; ++i) {
    const Outcome r = RunShell(Convert(growing.string(), out.str()), scratch.path());
    if (r.status == 0) {
      EXPECT_EQ(test::ReadFile(out.path() / "TERMTAB.KVT"), expected);
      before = test::FolderSnapshot(out.path());
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err.rfind("Error 3343: ", 0), 0u) << r.err;
      EXPECT_EQ(test::FolderSnapshot(out.path()), before);
    }
  }
  done = true;
  writer.join();
}

TEST_F(OddInputs, FullDiskLeavesTheFolderAsItWas) {
  // The file size limit lets TERMTAB.KVT through and stops USERTAB.KVT.
  const std::string command =
      "bash -c " +
      ShellQuote("ulimit -f 8; exec " + Convert(test::TestData("fixtures/sample.abk"), out.str()));
  const Outcome r = RunShell(command, scratch.path());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err.rfind("Error 61: Disk full", 0), 0u) << r.err;
  EXPECT_EQ(test::FolderSnapshot(out.path()), before);
}

TEST_F(OddInputs, ReadOnlyFolderChangesNothing) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  fs::permissions(out.path(), fs::perms::owner_read | fs::perms::owner_exec);
  ExpectFailure(test::TestData("fixtures/sample.abk"), "Error 70: ");
  fs::permissions(out.path(), fs::perms::owner_all);
}

TEST_F(OddInputs, TwoConversionsIntoOneFolderLeaveOneCompleteSet) {
  const std::string abk = test::TestData("fixtures/sample.abk");
  const std::string mdb = test::TestData("fixtures/sample.mdb");
  for (int round = 0; round < 3; ++round) {
    std::thread a([&] { RunShell(Convert(abk, out.str()), scratch.path()); });
    std::thread b([&] { RunShell(Convert(mdb, out.str()), scratch.path()); });
    a.join();
    b.join();
    const auto files = test::FolderSnapshot(out.path());
    ASSERT_EQ(files.size(), 3u);
    // Receivers of the address book number 45, of the pager database 40: the
    // three files must come from the same conversion.
    const size_t receivers =
        (files[2].second.size() - table_header::kSize) / receiver_record::kSize;
    const bool fromAbk = receivers == 45;
    EXPECT_TRUE(receivers == 45 || receivers == 40);
    const std::string expectedDir = fromAbk ? "sample.abk/edition-0/" : "sample.mdb/edition-0/";
    EXPECT_EQ(files[1].second,
              test::ReadFile(test::TestData("fixtures/expected/" + expectedDir + "TERMTAB.KVT")));
    EXPECT_EQ(files[0].second,
              test::ReadFile(test::TestData("fixtures/expected/" + expectedDir + "GROUPTAB.KVT")));
  }
}

}  // namespace
}  // namespace mdbtokvt
