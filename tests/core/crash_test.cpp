// A conversion ended abruptly (_exit, as a crash leaves the files) before
// each of its file-system steps in turn, in a folder holding the table files
// and the report of an older conversion. After each, verify (or the next
// conversion) sets the folder right: it holds the old set or the new one,
// byte for byte, and nothing else. The crash at every step of the recovery
// itself is tried as well.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "TestSupport.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;
using Snapshot = std::vector<std::pair<std::string, std::string>>;

constexpr int kCrashStatus = 86;

struct Outcome {
  int status;
  std::string out, err;
};

// Runs a program with the arguments (already quoted) in folder work, whose
// tmp folder takes the reader's temporary files.
Outcome RunIn(const fs::path& work, const std::string& program, const std::string& args) {
  fs::create_directories(work / "tmp");
  const std::string command = "cd " + ShellQuote(work.string()) +
                              " && TMPDIR=" + ShellQuote((work / "tmp").string()) + " " + program +
                              " " + args + " >" + ShellQuote((work / "out.txt").string()) + " 2>" +
                              ShellQuote((work / "err.txt").string());
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(work / "out.txt"),
          test::ReadFile(work / "err.txt")};
}

Outcome Crashing(const fs::path& work, long step, const std::string& args) {
  return RunIn(work, MDBTOKVT_CLI_CRASH, std::to_string(step) + " " + args);
}

std::string ConvertArgs() {
  return "convert " + ShellQuote(test::TestData("fixtures/sample.abk")) +
         " out --report out/report.json";
}

void Recopy(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::create_directories(to.parent_path());
  fs::copy(from, to, fs::copy_options::recursive);
}

// The report without its notes on what the output folder held, which say
// what the conversion found there.
std::string ReportWithoutOutputNotes(const std::string& text) {
  nlohmann::ordered_json report = nlohmann::ordered_json::parse(text);
  report.erase("outputNotes");
  return report.dump();
}

class CrashAtEveryStep : public testing::Test {
 protected:
  void SetUp() override {
    // The older set: sample.mdb's tables and report.
    fs::create_directories(initial / "out");
    ASSERT_EQ(RunIn(initial, MDBTOKVT_CLI,
                    "convert " + ShellQuote(test::TestData("fixtures/sample.mdb")) +
                        " out --report out/report.json")
                  .status,
              0);
    oldSet = test::FolderSnapshot(initial / "out");
    ASSERT_EQ(oldSet.size(), 4u);
    // The newer set: sample.abk's, converted over the older one.
    const fs::path reference = scratch.path() / "reference";
    Recopy(initial, reference);
    const Outcome r = Crashing(reference, 0, ConvertArgs());
    ASSERT_EQ(r.status, 0) << r.err;
    newSet = test::FolderSnapshot(reference / "out");
    ASSERT_EQ(newSet.size(), 4u);
    ASSERT_NE(newSet, oldSet);
    std::istringstream(r.err.substr(r.err.rfind("file-system steps: ") + 19)) >> totalSteps;
    ASSERT_GT(totalSteps, 20);
  }

  // "old" or "new" for a folder that holds one of the sets exactly.
  std::string WhichSet(const fs::path& out) const {
    const Snapshot now = test::FolderSnapshot(out);
    if (now == oldSet) return "old";
    if (now == newSet) return "new";
    std::string names;
    for (const auto& [name, bytes] : now) names += " " + name;
    return "a mix:" + names;
  }

  test::TempFolder scratch;
  const fs::path initial = scratch.path() / "initial";
  Snapshot oldSet, newSet;
  long totalSteps = 0;
};

TEST_F(CrashAtEveryStep, VerifyOrTheNextConversionLeavesOneWholeSet) {
  const fs::path crashed = scratch.path() / "crashed";
  const fs::path work = scratch.path() / "work";
  int endedOld = 0, endedNew = 0, recoveryCrashes = 0;
  std::string previous = "old";
  for (long step = 1; step <= totalSteps; ++step) {
    SCOPED_TRACE("crash before step " + std::to_string(step));
    Recopy(initial, crashed);
    const Outcome crash = Crashing(crashed, step, ConvertArgs());
    ASSERT_EQ(crash.status, kCrashStatus) << crash.err;
    fs::remove_all(crashed / "tmp");
    const bool commitRecordLeft = fs::exists(crashed / "out/.mdbtokvt-commit");

    // verify settles the folder on one set; once the commit record is whole,
    // that is the new one, and never the old one again.
    Recopy(crashed, work);
    Outcome r = RunIn(work, MDBTOKVT_CLI, "verify out");
    EXPECT_EQ(r.status, 0) << crash.err << r.out;
    const std::string set = WhichSet(work / "out");
    EXPECT_TRUE(set == "old" || set == "new") << crash.err << set;
    EXPECT_FALSE(previous == "new" && set == "old") << crash.err;
    previous = set;
    (set == "new" ? endedNew : endedOld) += 1;

    // The next conversion into the folder ends with the new set alone.
    Recopy(crashed, work);
    r = RunIn(work, MDBTOKVT_CLI, ConvertArgs());
    ASSERT_EQ(r.status, 0) << crash.err << r.err;
    const Snapshot after = test::FolderSnapshot(work / "out");
    ASSERT_EQ(after.size(), newSet.size()) << crash.err << WhichSet(work / "out");
    for (size_t i = 0; i < after.size(); ++i) {
      EXPECT_EQ(after[i].first, newSet[i].first);
      if (after[i].first == "report.json") {
        EXPECT_EQ(ReportWithoutOutputNotes(after[i].second),
                  ReportWithoutOutputNotes(newSet[i].second));
      } else {
        EXPECT_TRUE(after[i].second == newSet[i].second) << after[i].first << " differs";
      }
    }

    // A crash at each step of verify's own settling, then verify again.
    if (!commitRecordLeft) continue;
    for (long again = 1;; ++again) {
      Recopy(crashed, work);
      const Outcome second = Crashing(work, again, "verify out");
      if (second.status != kCrashStatus) {
        EXPECT_EQ(second.status, 0) << second.err;
        EXPECT_EQ(WhichSet(work / "out"), set) << "verify without a crash";
        break;
      }
      ++recoveryCrashes;
      r = RunIn(work, MDBTOKVT_CLI, "verify out");
      EXPECT_EQ(r.status, 0) << second.err << r.out;
      EXPECT_EQ(WhichSet(work / "out"), set) << crash.err << second.err;
    }
  }
  EXPECT_GT(endedOld, 0);
  EXPECT_GT(endedNew, 0);
  std::cout << "crashed before each of " << totalSteps << " steps of a conversion: " << endedOld
            << " left the old set, " << endedNew << " the new one; " << recoveryCrashes
            << " crashes while verify set the folder right\n";
  RecordProperty("conversion_steps", static_cast<int>(totalSteps));
  RecordProperty("recovery_crashes", recoveryCrashes);
}

}  // namespace
}  // namespace mdbtokvt
