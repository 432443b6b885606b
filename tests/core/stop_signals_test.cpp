// mdbtokvt-cli convert stopped by a signal at known moments of a real
// conversion: before the reader starts, while it reads, while the group
// table is written and once the commit has begun. The moments are picked by
// a pause at a named point (mdbtokvt-cli-test, tests/support/CliWithPauses.cpp)
// or by waiting for the reader process to appear, never by the clock. After
// each stop: status 128 + the signal's number, one line saying so, the
// output folder all old (or, once the commit had begun, all new) with
// nothing else in it, nothing in the temp folder, no process of the run
// left. And a killed converter takes its reader with it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "common/StopOnSignals.h"
#include "converters/ConversionContext.h"
#include "run/StopNote.h"

extern char** environ;

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr const char* kTableFiles[] = {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"};
// How long a wait for something that should happen at once may take on a
// busy machine before the test gives up on it.
constexpr auto kPatience = 60s;

// The processes whose environment holds marker (zombies have none).
std::vector<pid_t> MarkedProcesses(const std::string& marker) {
  std::vector<pid_t> found;
  const std::string entry = marker + '\0';
  for (const auto& process : fs::directory_iterator("/proc")) {
    const std::string name = process.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string environment = '\0' + test::ReadFile(process.path() / "environ");
    if (environment.find('\0' + entry) != std::string::npos) found.push_back(std::stoi(name));
  }
  return found;
}

// One run of a program with its stdout and stderr in files and the stop
// signals at their default actions, whatever this process has.
class Program {
 public:
  Program(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
          const fs::path& outputFolder)
      : errPath_(outputFolder / "stderr") {
    std::vector<std::string> environment(extraEnvironment);
    for (char** variable = environ; *variable != nullptr; ++variable) {
      environment.emplace_back(*variable);
    }
    std::vector<char*> envp, args;
    for (auto& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy(argv);
    for (auto& argument : argvCopy) args.push_back(argument.data());
    args.push_back(nullptr);

    const std::string out = (outputFolder / "stdout").string();
    const std::string err = errPath_.string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (const int signalNumber : kStopSignals) sigaddset(&defaults, signalNumber);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int error =
        ::posix_spawn(&pid_, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) pid_ = -1;
  }
  ~Program() {
    if (!ended_ && pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  pid_t pid() const { return pid_; }
  bool Ended() {
    if (!ended_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
    return ended_;
  }
  int Wait() {
    while (!ended_ && ::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
    return status_;
  }
  std::string Stderr() const { return test::ReadFile(errPath_); }

 private:
  fs::path errPath_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
};

class StopSignals : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(fresh_);
    // The new files, as a conversion that nothing stops writes them.
    Program fresh({MDBTOKVT_CLI, "convert", database_, fresh_.string()}, {}, scratch_.path());
    const int status = fresh.Wait();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << fresh.Stderr();
    newFiles_ = test::FolderSnapshot(fresh_);
    ASSERT_EQ(newFiles_.size(), 3u);
  }

  // A fresh output folder holding older table files, a fresh temp folder
  // and a fresh marker for the run's processes.
  void StartOver() {
    fs::remove_all(output_);
    fs::remove_all(temp_);
    fs::create_directories(output_);
    fs::create_directories(temp_);
    for (const char* name : kTableFiles) std::ofstream(output_ / name) << "older " << name;
    oldFiles_ = test::FolderSnapshot(output_);
    marker_ = "MDBTOKVT_TEST_RUN=" + std::to_string(::getpid()) + "-" + std::to_string(random_());
  }

  std::unique_ptr<Program> StartConversion(std::vector<std::string> environment) {
    environment.push_back("TMPDIR=" + temp_.string());
    environment.push_back(marker_);
    return std::make_unique<Program>(
        std::vector<std::string>{MDBTOKVT_CLI_TEST, "convert", database_, output_.string()},
        environment, scratch_.path());
  }

  // Starts a conversion that pauses at point until it is stopped.
  std::unique_ptr<Program> StartPausedAt(const std::string& point) {
    const fs::path ready = scratch_.path() / "ready";
    fs::remove(ready);
    auto program = StartConversion(
        {"MDBTOKVT_TEST_PAUSE_AT=" + point, "MDBTOKVT_TEST_PAUSE_READY=" + ready.string()});
    EXPECT_TRUE(WaitUntil(*program, [&] { return fs::exists(ready); }))
        << "never reached " << point << ": " << program->Stderr();
    return program;
  }

  // Starts a conversion whose reader holds on once it has locked itself
  // down; returns when one reader (with its tables file, descriptor 5) is
  // there, its pid in reader.
  std::unique_ptr<Program> StartWithHoldingReader(pid_t& reader) {
    // Only the stop may end the reader: a conversion that missed it would
    // hang and fail by the test's time limit.
    auto program = StartConversion({std::string("MDBTOKVT_READER=") + MDBTOKVT_READER_TEST,
                                    "MDBTOKVT_READER_TEST_ATTEMPT=hold",
                                    "MDBTOKVT_READER_TIMEOUT_MS=3600000"});
    reader = -1;
    EXPECT_TRUE(WaitUntil(*program, [&] {
      for (const pid_t pid : MarkedProcesses(marker_)) {
        const std::string proc = "/proc/" + std::to_string(pid);
        std::error_code ec;
        if (fs::read_symlink(proc + "/exe", ec) == fs::path(MDBTOKVT_READER_TEST) &&
            fs::exists(proc + "/fd/5", ec)) {
          reader = pid;
          return true;
        }
      }
      return false;
    })) << program->Stderr();
    return program;
  }

  // Polls condition until it holds; false when the program ends first or
  // the wait takes too long.
  static bool WaitUntil(Program& program, const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      if (condition()) return true;
      if (program.Ended()) return false;
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  // For each stop signal, from a fresh start: runs the conversion up to the
  // pause point, lets whilePaused look at it there, then sends the signal.
  void StopAtWithEachSignal(
      const std::string& point, StopMoment moment,
      const std::function<void()>& whilePaused = [] {}) {
    for (const int signalNumber : kStopSignals) {
      StartOver();
      auto program = StartPausedAt(point);
      whilePaused();
      ::kill(program->pid(), signalNumber);
      ExpectStoppedCleanly(*program, signalNumber, moment);
    }
  }

  void ExpectStoppedCleanly(Program& program, int signalNumber, StopMoment moment) {
    const int status = program.Wait();
    const std::string what = SignalName(signalNumber);
    ASSERT_TRUE(WIFEXITED(status)) << what << " status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signalNumber) << what;
    EXPECT_EQ(program.Stderr(), StopNote(signalNumber, moment) + "\n") << what;
    if (moment == StopMoment::kAfterCommit) {
      EXPECT_EQ(test::FolderSnapshot(output_), newFiles_) << what << ": not all new";
    } else {
      EXPECT_EQ(test::FolderSnapshot(output_), oldFiles_) << what << ": not all old";
    }
    EXPECT_TRUE(fs::is_empty(temp_)) << what << ": left in the temp folder";
    EXPECT_EQ(MarkedProcesses(marker_), std::vector<pid_t>{}) << what << ": processes left";
  }

  test::TempFolder scratch_;
  const fs::path fresh_ = scratch_.path() / "fresh";
  const fs::path output_ = scratch_.path() / "out";
  const fs::path temp_ = scratch_.path() / "tmp";
  const std::string database_ = test::TestData("fixtures/sample.mdb");
  std::vector<std::pair<std::string, std::string>> oldFiles_, newFiles_;
  std::string marker_;
  std::mt19937_64 random_{std::random_device{}()};
};

TEST_F(StopSignals, BeforeTheReaderStarts) {
  StopAtWithEachSignal("reader", StopMoment::kBeforeCommit);
}

TEST_F(StopSignals, WhileTheReaderReadsItsTablesFileHasNoName) {
  for (const int signalNumber : kStopSignals) {
    StartOver();
    pid_t reader = -1;
    auto program = StartWithHoldingReader(reader);
    ASSERT_GT(reader, 0);
    // Both processes hold the tables file, and it is in no folder.
    std::error_code ec;
    const std::string tables =
        fs::read_symlink("/proc/" + std::to_string(reader) + "/fd/5", ec).string();
    EXPECT_TRUE(tables.ends_with(" (deleted)")) << tables;
    EXPECT_TRUE(fs::is_empty(temp_));
    ::kill(program->pid(), signalNumber);
    ExpectStoppedCleanly(*program, signalNumber, StopMoment::kBeforeCommit);
  }
}

TEST_F(StopSignals, WhileTheGroupTableIsWritten) {
  StopAtWithEachSignal("GROUPTAB.KVT rows", StopMoment::kBeforeCommit, [&] {
    // The group table is staged beside the others.
    size_t staged = 0;
    for (const auto& entry : fs::directory_iterator(output_)) {
      staged += entry.path().filename().string().starts_with(".") ? 1 : 0;
    }
    EXPECT_EQ(staged, 3u);
  });
}

TEST_F(StopSignals, OnceTheCommitHasBegunItFinishes) {
  StopAtWithEachSignal("commit", StopMoment::kAfterCommit);
}

TEST_F(StopSignals, KilledConverterTakesItsReaderAlong) {
  // Orphans come to this process, which can then see how they ended.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  StartOver();
  pid_t reader = -1;
  auto program = StartWithHoldingReader(reader);
  ASSERT_GT(reader, 0);
  const std::vector<pid_t> readers = MarkedProcesses(marker_);
  ::kill(program->pid(), SIGKILL);
  const int status = program->Wait();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  const auto deadline = Clock::now() + kPatience;
  for (const pid_t pid : readers) {
    if (pid == program->pid()) continue;
    int readerStatus = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &readerStatus, WNOHANG)) == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(2ms);
    }
    if (done == 0) ::kill(pid, SIGKILL);
    EXPECT_EQ(done, pid) << "the reader outlived its parent";
    // Killed with its parent, or (a child forked just then, not yet the
    // reader) ended by its own check that the parent is gone.
    EXPECT_TRUE((WIFSIGNALED(readerStatus) && WTERMSIG(readerStatus) == SIGKILL) ||
                (WIFEXITED(readerStatus) && WEXITSTATUS(readerStatus) == 127))
        << "status " << readerStatus;
  }
  // Nothing of the tables files is left.
  EXPECT_TRUE(fs::is_empty(temp_));
}

}  // namespace
}  // namespace mdbtokvt
