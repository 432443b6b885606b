// What the recovery makes of the commit records a crash can leave: a record
// cut short, and a set whose new file went missing (the old files come
// back, even when the recovery itself is cut short at any step).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "run/CommitRecord.h"
#include "run/FolderRecovery.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

TEST(CommitRecord, ReadsBackWholeRecordsOnly) {
  const std::vector<CommitEntry> entries{
      {"", "TERMTAB.KVT", ".TERMTAB.KVT.1-2.tmp", ".TERMTAB.KVT.1-2.tmp.old"},
      {"/r:\n3", "a\nb:7", ".a\nb:7.1-3.tmp", ""}};
  const std::string text = FormatCommitRecord(entries);
  EXPECT_EQ(ParseCommitRecord(text), entries);
  for (size_t length = 0; length < text.size(); ++length) {
    EXPECT_FALSE(ParseCommitRecord(text.substr(0, length))) << length;
  }
  EXPECT_FALSE(ParseCommitRecord(text + "x"));
  // A record never moves anything out of its folders.
  for (const char* name : {"../TERMTAB.KVT", "..", "sub/x"}) {
    EXPECT_FALSE(ParseCommitRecord(FormatCommitRecord({{"", name, "t", ""}}))) << name;
  }
  EXPECT_FALSE(ParseCommitRecord(FormatCommitRecord({{"relative", "a", "t", ""}})));
}

TEST(Recovery, RecordCutShortMeansNothingMoved) {
  test::TempFolder dir;
  Write(dir.path() / "TERMTAB.KVT", "old");
  Write(dir.path() / ".TERMTAB.KVT.1-2.tmp", "new");
  const std::string text =
      FormatCommitRecord({{"", "TERMTAB.KVT", ".TERMTAB.KVT.1-2.tmp", ".TERMTAB.KVT.1-2.tmp.old"}});
  Write(dir.path() / ".mdbtokvt-commit", text.substr(0, text.size() - 2));
  EXPECT_EQ(TidyOutputFolder(dir.str(), {}),
            std::vector<std::string>{"Removed 1 temporary file that a stopped conversion had "
                                     "left in " +
                                     dir.str()});
  EXPECT_EQ(test::FolderSnapshot(dir.path()),
            (std::vector<std::pair<std::string, std::string>>{{"TERMTAB.KVT", "old"}}));
}

// A crash at a step, as an exception the recovery does not catch.
struct Crash {};

TEST(Recovery, MissingNewFilePutsTheOldOnesBackEvenAfterACrashWhileDoingIt) {
  test::TempFolder original;
  const fs::path other = original.path() / "elsewhere";
  const fs::path out = original.path() / "out";
  fs::create_directories(other);
  fs::create_directories(out);
  // Mid-commit: the service table and the report are in place (their old
  // files aside), the receiver table was never there before and its new file
  // is in place, the group table's old file is aside and its new one has
  // gone missing (removed by hand, say).
  Write(out / "TERMTAB.KVT", "new services");
  Write(out / ".TERMTAB.KVT.1-1.tmp.old", "old services");
  Write(out / "USERTAB.KVT", "new receivers");
  Write(out / ".GROUPTAB.KVT.1-3.tmp.old", "old groups");
  Write(other / "r.json", "new report");
  Write(other / ".r.json.1-4.tmp.old", "old report");
  Write(out / ".mdbtokvt-commit",
        FormatCommitRecord(
            {{"", "TERMTAB.KVT", ".TERMTAB.KVT.1-1.tmp", ".TERMTAB.KVT.1-1.tmp.old"},
             {"", "USERTAB.KVT", ".USERTAB.KVT.1-2.tmp", ""},
             {"", "GROUPTAB.KVT", ".GROUPTAB.KVT.1-3.tmp", ".GROUPTAB.KVT.1-3.tmp.old"},
             {fs::canonical(other).string(), "r.json", ".r.json.1-4.tmp", ".r.json.1-4.tmp.old"}}));
  const std::vector<std::pair<std::string, std::string>> oldOut{{"GROUPTAB.KVT", "old groups"},
                                                                {"TERMTAB.KVT", "old services"}};
  const std::vector<std::pair<std::string, std::string>> oldOther{{"r.json", "old report"}};

  test::TempFolder work;
  int crashes = 0;
  for (int crashAt = 1;; ++crashAt) {
    fs::remove_all(work.path());
    fs::copy(original.path(), work.path(), fs::copy_options::recursive);
    // The record names the other folder by its absolute path: point it at the copy.
    const fs::path copyOther = work.path() / "elsewhere";
    std::string record = test::ReadFile(work.path() / "out/.mdbtokvt-commit");
    const std::string from = fs::canonical(other).string(), to = fs::canonical(copyOther).string();
    record.replace(record.find(from) - std::to_string(from.size()).size() - 1,
                   std::to_string(from.size()).size() + 1 + from.size(),
                   std::to_string(to.size()) + ":" + to);
    Write(work.path() / "out/.mdbtokvt-commit", record);

    int step = 0;
    bool crashed = false;
    try {
      TidyOutputFolder((work.path() / "out").string(), [&](FileStep, const std::string&) {
        if (++step == crashAt) throw Crash{};
      });
    } catch (const Crash&) {
      crashed = true;
      ++crashes;
    }
    const std::vector<std::string> notes = TidyOutputFolder((work.path() / "out").string(), {});
    if (!crashed) {
      EXPECT_TRUE(notes.empty());
    }
    EXPECT_EQ(test::FolderSnapshot(work.path() / "out"),
              (std::vector<std::pair<std::string, std::string>>{{"GROUPTAB.KVT", "old groups"},
                                                                {"TERMTAB.KVT", "old services"}}))
        << "crash at step " << crashAt;
    EXPECT_EQ(test::FolderSnapshot(copyOther), oldOther) << "crash at step " << crashAt;
    if (!crashed) break;
  }
  EXPECT_GE(crashes, 6);
}

}  // namespace
}  // namespace mdbtokvt
