// The reader process under watch. Fake readers (shell scripts standing in for
// mdbtokvt-reader) hang, crash, flood their output, eat memory or answer
// oddly; each must end as a numbered error within the time limit, with the
// reader's temporary file gone and no child process left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "readerclient/AccessDataSource.h"
#include "readerprotocol/ReaderProtocol.h"
#include "source/DataSource.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Processes whose parent is this process, zombies included.
std::vector<pid_t> ChildProcesses() {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = test::ReadFile(entry.path() / "stat");
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) continue;
    std::istringstream fields(stat.substr(nameEnd + 2));
    char state = 0;
    pid_t parent = 0;
    fields >> state >> parent;
    if (parent == ::getpid()) children.push_back(std::stoi(name));
  }
  return children;
}

// Whether the process in pidFile still runs ten seconds after it was killed
// (a zombie waiting for its new parent does not).
bool StillRunning(const std::string& pidFile) {
  const std::string stat = "/proc/" + std::to_string(std::stoi(test::ReadFile(pidFile))) + "/stat";
  for (int i = 0; i < 1000; ++i) {
    const std::string fields = test::ReadFile(stat);
    const size_t nameEnd = fields.rfind(')');
    if (nameEnd == std::string::npos || fields.size() <= nameEnd + 2 ||
        fields[nameEnd + 2] == 'Z') {
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// The soft limit /proc/<pid>/limits shows for a resource ("Max file size").
std::string SoftLimit(const std::string& limits, const std::string& name) {
  const size_t at = limits.find(name);
  if (at == std::string::npos) return {};
  std::istringstream values(limits.substr(at + name.size()));
  std::string soft;
  values >> soft;
  return soft;
}

struct Outcome {
  int number = 0;
  std::string description;
  std::chrono::milliseconds elapsed{};
  int rows = 0;
};

class FakeReader : public testing::Test {
 protected:
  // A reader that runs body (sh) and the data source settings that use it.
  // The time limits and the bounds on elapsed time in these tests leave room
  // for a machine busy with other work: a bound only needs to tell the limit
  // that should end a reader from the one that should not, or from a hang.
  ReaderSettings Script(const std::string& body, std::chrono::milliseconds timeout = 30000ms) {
    const fs::path script = scripts_.path() / "reader.sh";
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(script, fs::perms::owner_all);
    ReaderSettings settings;
    settings.executable = script.string();
    settings.timeout = timeout;
    settings.tempFolder = temp_.str();
    return settings;
  }

  Outcome Open(const ReaderSettings& settings, const StopRequest* stop = nullptr) {
    Outcome outcome;
    const auto start = Clock::now();
    try {
      auto source = CreateAccessDataSource(kDefaultCodePage, settings, stop);
      source->Open(database_, "PagerCompany");
      // The reader's file is unlinked as soon as the query side has it open.
      EXPECT_TRUE(fs::is_empty(temp_.path()));
      for (Recordset& rs = source->recordset(); !rs.Eof(); rs.MoveNext()) ++outcome.rows;
    } catch (const ConversionError& e) {
      outcome.number = e.number();
      outcome.description = e.what();
    }
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_TRUE(fs::is_empty(temp_.path())) << "temporary file left behind";
    EXPECT_TRUE(ChildProcesses().empty()) << "child process left behind";
    return outcome;
  }

  std::string Damaged(const std::string& reason) const {
    return "The database file '" + database_ + "' is damaged and cannot be read (" + reason + ").";
  }

  test::TempFolder scripts_, temp_;
  const std::string database_ = test::TestData("fixtures/sample.mdb");
  const std::string pidFile_ = (scripts_.path() / "helper.pid").string();
};

// A reader that loaded no tables: an empty tables file and the statement.
constexpr const char* kGoodReply =
    "printf 'MDBTOKVT-TABLES\\002Z\\000\\000\\000\\000' >&5; "
    "printf 'OK 0\\nSELECT 1 AS one' >&3";

TEST_F(FakeReader, HangIsStoppedAtTheTimeLimit) {
  const Outcome r = Open(Script("exec sleep 600", 500ms));
  EXPECT_EQ(r.number, 3343);
  EXPECT_EQ(r.description, Damaged("the reader stopped after 0.5 seconds"));
  EXPECT_GE(r.elapsed, 500ms);
  EXPECT_LT(r.elapsed, 30s);
}

TEST_F(FakeReader, StopEndsTheReaderAndItsHelpersAtOnce) {
  StopRequest stop;
  // Requested once the reader runs, with a helper of its own (its pid file
  // appears whole).
  std::thread requester([&] {
    const auto deadline = Clock::now() + 60s;
    while (!fs::exists(pidFile_) && Clock::now() < deadline) std::this_thread::sleep_for(2ms);
    stop.Request(SIGTERM);
  });
  // Only the stop can end it before the time limit, which the test's own
  // outlasts.
  const Outcome stopped = Open(Script("sleep 600 & echo $! > " + pidFile_ + ".new; mv " + pidFile_ +
                                          ".new " + pidFile_ + "; exec sleep 600",
                                      3600000ms),
                               &stop);
  requester.join();
  EXPECT_EQ(stopped.number, NumberOf(ErrorNumber::kUserInterrupt)) << stopped.description;
  EXPECT_FALSE(StillRunning(pidFile_));
  // A stop requested before the reader starts starts none.
  fs::remove(pidFile_);
  EXPECT_EQ(Open(Script("echo $$ > " + pidFile_ + "; " + kGoodReply), &stop).number,
            NumberOf(ErrorNumber::kUserInterrupt));
  EXPECT_FALSE(fs::exists(pidFile_));
}

TEST_F(FakeReader, HelpersOfTheReaderAreStoppedWithIt) {
  // Still running at the time limit.
  const Outcome hung = Open(Script("sleep 600 & echo $! > " + pidFile_ + "; wait", 500ms));
  EXPECT_EQ(hung.number, 3343);
  EXPECT_FALSE(StillRunning(pidFile_));
  // Left behind holding the pipes by a reader that answered and ended: the
  // answer counts at once, without waiting for the time limit.
  const Outcome answered =
      Open(Script("sleep 600 & echo $! > " + pidFile_ + "; " + kGoodReply, 120000ms));
  EXPECT_EQ(answered.number, 0) << answered.description;
  EXPECT_EQ(answered.rows, 1);
  EXPECT_LT(answered.elapsed, 60s);
  EXPECT_FALSE(StillRunning(pidFile_));
}

TEST_F(FakeReader, CrashesAreDamage) {
  EXPECT_EQ(Open(Script("kill -SEGV $$")).description,
            Damaged("the reader crashed: Segmentation fault"));
  EXPECT_EQ(Open(Script("kill -ABRT $$")).description, Damaged("the reader crashed: Aborted"));
  // Killed from outside (the kernel's OOM killer) after filling its file.
  EXPECT_EQ(Open(Script("head -c 100000 /dev/zero >&5; kill -KILL $$")).description,
            Damaged("the reader was stopped"));
  // GLib ends a process that cannot get memory with a trap.
  ReaderSettings trap =
      Script("echo 'GLib-ERROR **: failed to allocate 123 bytes' >&2; kill -TRAP $$");
  trap.memoryLimit = uint64_t{300} << 20;
  EXPECT_EQ(Open(trap).description, Damaged("reading it needs more than 300 MB of memory"));
  // The sandbox stopped a forbidden call: named when the reader said which.
  EXPECT_EQ(Open(Script("kill -SYS $$")).description,
            Damaged("the reader's sandbox stopped a forbidden system call"));
  EXPECT_EQ(Open(Script("echo 'mdbtokvt-reader: forbidden system call 59' >&4; kill -SYS $$"))
                .description,
            Damaged("the reader's sandbox stopped a forbidden system call: execve"));
  EXPECT_EQ(Open(Script("exit 0")).description,
            Damaged("the reader ended without an answer, exit status 0"));
  EXPECT_EQ(Open(Script("printf 'OK' >&3; exit 3")).description,
            Damaged("the reader ended without an answer, exit status 3"));
}

TEST_F(FakeReader, EndlessOutputStopsTheReaderAtOnce) {
  // libmdb repeating a warning without end: stopped at 4 MB, long before the
  // time limit.
  const std::string warning = "Warning: mdb_col_to_string called on unsupported data type 0";
  const Outcome flood = Open(Script("yes '" + warning + ".' >&2", 60000ms));
  EXPECT_EQ(flood.description,
            Damaged("libmdb printed more than 4 MB of messages, starting with: " + warning));
  EXPECT_LT(flood.elapsed, 30s);
  // The limit is on all channels together, and holds for a reader that
  // answered and ended before it was looked at.
  const Outcome spread = Open(Script(
      "head -c 3000000 /dev/zero >&2; head -c 2000000 /dev/zero >&4; " + std::string(kGoodReply)));
  EXPECT_EQ(spread.description, Damaged("libmdb printed more than 4 MB of messages"));
  // Far more output than a pipe holds, within the limit, then an answer:
  // reading the output while waiting keeps the reader from blocking.
  const Outcome chatty =
      Open(Script("head -c 2000000 /dev/zero >&2; head -c 2000000 /dev/zero; "
                  "printf 'ERROR 3061\\nToo few parameters. Expected 1.' >&3"));
  EXPECT_EQ(chatty.description, "Too few parameters. Expected 1.");
}

TEST_F(FakeReader, LimitsReachTheReader) {
  const fs::path limits = scripts_.path() / "limits.txt";
  ReaderSettings settings = Script("cat /proc/self/limits > " + limits.string());
  settings.memoryLimit = uint64_t{300} << 20;
  Open(settings);
  const std::string text = test::ReadFile(limits);
  const uint64_t outputLimit = 4 * fs::file_size(database_) + (uint64_t{256} << 20);
  EXPECT_EQ(SoftLimit(text, "Max address space"), "314572800") << text;
  EXPECT_EQ(SoftLimit(text, "Max core file size"), "0");
  EXPECT_EQ(SoftLimit(text, "Max file size"), std::to_string(outputLimit));
}

TEST_F(FakeReader, MemoryEaterEndsAsDamage) {
  // The script's own cap is a safety net; the reader's limit lies far below.
  ReaderSettings settings =
      Script("ulimit -v 4000000; exec awk 'BEGIN { s = \"x\"; while (1) s = s s }'", 120000ms);
  settings.memoryLimit = uint64_t{200} << 20;
  const Outcome r = Open(settings);
  EXPECT_EQ(r.number, 3343) << r.description;
  EXPECT_LT(r.elapsed, 60s);
}

TEST_F(FakeReader, AnswersAndLibraryMessages) {
  // The reader's own errors pass through.
  const Outcome missing = Open(Script("printf 'ERROR 3061\\nToo few parameters. Expected 1.' >&3"));
  EXPECT_EQ(missing.number, 3061);
  EXPECT_EQ(missing.description, "Too few parameters. Expected 1.");
  // A damage warning while the tables were read voids a successful read.
  const std::string eof = "echo 'offset 1228800 is beyond EOF' >&4; ";
  EXPECT_EQ(Open(Script(eof + kGoodReply)).description,
            Damaged("libmdb reported: offset 1228800 is beyond EOF"));
  // The same warning while the catalog was read may concern any object of
  // the file: it only explains a table that cannot be found.
  const std::string inCatalog = "echo 'offset 1228800 is beyond EOF' >&2; ";
  const Outcome fine = Open(Script(inCatalog + kGoodReply));
  EXPECT_EQ(fine.number, 0);
  EXPECT_EQ(fine.rows, 1);
  const Outcome noTable =
      Open(Script(inCatalog + "printf 'ERROR 3078\\nThe database engine cannot find...' >&3"));
  EXPECT_EQ(noTable.description,
            Damaged("its list of tables cannot be read completely; libmdb reported: offset "
                    "1228800 is beyond EOF"));
  // Harmless chatter changes nothing.
  EXPECT_EQ(Open(Script("echo 'some note' >&4; " + std::string(kGoodReply))).number, 0);
  // Out of memory inside the reader, under its own limit: the file's fault.
  EXPECT_EQ(Open(Script("printf 'ERROR 7\\nOut of memory' >&3")).number, 3343);
}

TEST(ReaderReply, Format) {
  EXPECT_EQ(DecodeReaderReply(EncodeReaderReply({0, "SELECT 1", {}}))->text, "SELECT 1");
  // Notes are one line each, before the statement (which may span lines).
  const auto noted =
      DecodeReaderReply(EncodeReaderReply({0, "SELECT\n1", {"first", "second\nline"}}));
  ASSERT_TRUE(noted);
  EXPECT_EQ(noted->text, "SELECT\n1");
  EXPECT_EQ(noted->notes, (std::vector<std::string>{"first", "second line"}));
  const auto error = DecodeReaderReply(EncodeReaderReply({3078, "two\nlines", {}}));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->errorNumber, 3078);
  EXPECT_EQ(error->text, "two\nlines");
  for (const char* bad :
       {"", "OK", "OK\nSELECT 1", "OK 2\nonly one note\n", "OK -1\n", "ERROR 3078", "ERROR x\n",
        "ERROR 0\nzero", "ERROR -5\n", "ERROR 12 \n", "okay\n"}) {
    EXPECT_FALSE(DecodeReaderReply(bad)) << bad;
  }
}

TEST_F(FakeReader, ReaderThatCannotBeStarted) {
  ReaderSettings settings = Script("");
  settings.executable = (scripts_.path() / "no-such-reader").string();
  const Outcome r = Open(settings);
  EXPECT_EQ(r.number, NumberOf(ErrorNumber::kPathFileAccess));
  EXPECT_NE(r.description.find("no-such-reader"), std::string::npos);
}

TEST_F(FakeReader, FilesThatFailTheChecksNeverReachTheReader) {
  const fs::path started = scripts_.path() / "started";
  const ReaderSettings settings = Script("touch " + started.string());
  const std::string sample = test::ReadFile(database_);
  std::string notTableDefinition = sample;
  notTableDefinition[2 * 4096] = 0x01;
  for (const std::string& bytes :
       {sample.substr(0, 2 * 4096), sample.substr(0, 5 * 4096 + 1), notTableDefinition}) {
    const fs::path file = temp_.path() / "bad.mdb";
    std::ofstream(file, std::ios::binary) << bytes;
    auto source = CreateAccessDataSource(kDefaultCodePage, settings);
    try {
      source->Open(file.string(), "PagerCompany");
      ADD_FAILURE() << "opened";
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.code(), ErrorNumber::kUnrecognizedFormat);
    }
    fs::remove(file);
  }
  EXPECT_FALSE(fs::exists(started));
}

}  // namespace
}  // namespace mdbtokvt
