// The reader's sandbox, tried from inside. mdbtokvt-reader-test is the reader
// with a hook that attempts a forbidden thing once the reader has locked
// itself down (tests/reader/ReaderTestMain.cpp). Each attempt must fail and
// end the conversion as error 3343 naming the call, with the output folder
// as it was; the same attempt with MDBTOKVT_READER_SANDBOX=0 succeeds, so
// the attempts are real ones.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "TestSupport.h"
#include "common/Error.h"
#include "reader/FileSystemLock.h"
#include "readerclient/AccessDataSource.h"
#include "readerclient/ChildProcess.h"
#include "readerprotocol/ReaderProtocol.h"
#include "source/DataSource.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ShellQuote;

constexpr const char* kTableFiles[] = {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"};

struct CliRun {
  int status = -1;
  std::string out, err;
};

// Sets an environment variable for the lifetime of the guard.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() { ::unsetenv(name_); }

 private:
  const char* name_;
};

// A TCP server on 127.0.0.1 that tells whether anyone connected.
class Listener {
 public:
  Listener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_EQ(::listen(fd_, 16), 0);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { ::close(fd_); }
  int port() const { return port_; }
  bool Connected() const {
    const int client = ::accept(fd_, nullptr, nullptr);
    if (client < 0) return false;
    ::close(client);
    return true;
  }

 private:
  int fd_;
  int port_ = 0;
};

class ReaderSandbox : public testing::Test {
 protected:
  ReaderSandbox() {
    for (const char* name : kTableFiles) std::ofstream(out_.path() / name) << "older " << name;
    before_ = test::FolderSnapshot(out_.path());
  }

  // mdbtokvt-cli convert with the test reader; environment is a prefix of
  // NAME=VALUE words for the command line.
  CliRun Convert(const std::string& attempt, const std::string& environment = "",
                 const std::string& options = "") {
    const fs::path outText = scratch_.path() / "out.txt";
    const fs::path errText = scratch_.path() / "err.txt";
    const std::string command =
        environment + " MDBTOKVT_READER=" + ShellQuote(MDBTOKVT_READER_TEST) +
        " MDBTOKVT_READER_TEST_ATTEMPT=" + ShellQuote(attempt) + " " + MDBTOKVT_CLI + " convert " +
        ShellQuote(database_) + " " + ShellQuote(out_.str()) + " " + options + " >" +
        ShellQuote(outText.string()) + " 2>" + ShellQuote(errText.string());
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(outText),
            test::ReadFile(errText)};
  }

  // A conversion the sandbox stopped at the call named.
  void ExpectStopped(const CliRun& run, const std::string& call) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error 3343: The database file '" + database_ +
                           "' is damaged and cannot be read (the reader's sandbox stopped a "
                           "forbidden system call: " +
                           call + ").\n");
    EXPECT_EQ(test::FolderSnapshot(out_.path()), before_) << "the output folder changed";
  }

  std::vector<std::string> TableFiles() const {
    std::vector<std::string> files;
    for (const char* name : kTableFiles) files.push_back(test::ReadFile(out_.path() / name));
    return files;
  }

  test::TempFolder out_, scratch_, elsewhere_;
  const std::string database_ = test::TestData("fixtures/sample.mdb");
  std::vector<std::pair<std::string, std::string>> before_;
};

constexpr const char* kSandboxOff = "MDBTOKVT_READER_SANDBOX=0";

TEST_F(ReaderSandbox, OpeningAndCreatingFilesFail) {
  ExpectStopped(Convert("open:/etc/passwd"), "openat");
  const fs::path created = elsewhere_.path() / "created";
  ExpectStopped(Convert("create:" + created.string()), "openat");
  EXPECT_FALSE(fs::exists(created));
  // Without the sandbox both work, and so does the conversion.
  EXPECT_EQ(Convert("open:/etc/passwd", kSandboxOff).status, 0);
  EXPECT_EQ(Convert("create:" + created.string(), kSandboxOff).status, 0);
  EXPECT_TRUE(fs::exists(created));
}

TEST_F(ReaderSandbox, ProgramsAndProcessesCannotBeStarted) {
  ExpectStopped(Convert("exec:/bin/true"), "execve");
  const fs::path marker = elsewhere_.path() / "forked";
  ExpectStopped(Convert("fork:" + marker.string()), "clone");
  EXPECT_FALSE(fs::exists(marker));
  // Without the sandbox: /bin/true takes the reader's place and answers
  // nothing; the child process runs.
  const CliRun replaced = Convert("exec:/bin/true", kSandboxOff);
  EXPECT_NE(replaced.err.find("the reader ended without an answer"), std::string::npos)
      << replaced.err;
  EXPECT_EQ(Convert("fork:" + marker.string(), kSandboxOff).status, 0);
  EXPECT_TRUE(fs::exists(marker));
}

TEST_F(ReaderSandbox, NoNetwork) {
  const Listener server;
  const std::string attempt = "connect:" + std::to_string(server.port());
  ExpectStopped(Convert(attempt), "socket");
  EXPECT_FALSE(server.Connected());
  EXPECT_EQ(Convert(attempt, kSandboxOff).status, 0);
  EXPECT_TRUE(server.Connected());
}

TEST_F(ReaderSandbox, SwitchedOffGivesTheSameTables) {
  ASSERT_EQ(Convert("", "", "--edition 1").status, 0);
  const auto sandboxed = TableFiles();
  ASSERT_EQ(Convert("", kSandboxOff, "--edition 1").status, 0);
  EXPECT_EQ(TableFiles(), sandboxed);
}

// The reader a data source started: a child of this process.
std::vector<std::string> ChildStatuses() {
  std::vector<std::string> statuses;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string status = test::ReadFile(entry.path() / "status");
    const size_t at = status.find("\nPPid:\t");
    if (at != std::string::npos && std::stoi(status.substr(at + 7)) == ::getpid()) {
      statuses.push_back(status);
    }
  }
  return statuses;
}

TEST_F(ReaderSandbox, ProcShowsTheFilterWhileTheReaderReads) {
  const ScopedEnvironment pause("MDBTOKVT_READER_TEST_ATTEMPT", "pause:2000");
  ReaderSettings settings;
  settings.executable = MDBTOKVT_READER_TEST;
  auto open = std::async(std::launch::async, [&] {
    auto source = CreateAccessDataSource(kDefaultCodePage, settings);
    source->Open(database_, "PagerCompany");
  });
  // Looked at until the reader has answered; it pauses 2 s after locking
  // itself down.
  std::string locked;
  while (locked.empty() && open.wait_for(10ms) != std::future_status::ready) {
    for (const std::string& status : ChildStatuses()) {
      if (status.find("Name:\tmdbtokvt-reader") != std::string::npos &&
          status.find("\nSeccomp:\t2\n") != std::string::npos) {
        locked = status;
      }
    }
  }
  EXPECT_NO_THROW(open.get());
  EXPECT_NE(locked.find("\nNoNewPrivs:\t1\n"), std::string::npos) << locked;
  EXPECT_NE(locked.find("\nSeccomp:\t2\n"), std::string::npos) << "never seen filtered";
}

TEST_F(ReaderSandbox, OutOfMemoryInGlibIsStillOutOfMemory) {
  // GLib's error message reads the time zone and converts text: loaded
  // before the lock-down, so the message is written and understood.
  const ScopedEnvironment attempt("MDBTOKVT_READER_TEST_ATTEMPT", "out-of-memory");
  ReaderSettings settings;
  settings.executable = MDBTOKVT_READER_TEST;
  settings.memoryLimit = uint64_t{300} << 20;
  try {
    CreateAccessDataSource(kDefaultCodePage, settings)->Open(database_, "PagerCompany");
    ADD_FAILURE() << "opened";
  } catch (const ConversionError& e) {
    EXPECT_EQ(std::string(e.what()), "The database file '" + database_ +
                                         "' is damaged and cannot be read (reading it needs "
                                         "more than 300 MB of memory).");
  }
}

TEST_F(ReaderSandbox, KernelWithoutSeccompConvertsAndSaysSo) {
  ASSERT_EQ(Convert("").status, 0);
  const auto sandboxed = TableFiles();
  const fs::path report = scratch_.path() / "report.json";
  const CliRun run =
      Convert("", "MDBTOKVT_READER_TEST_KERNEL=no-seccomp", "--report " + report.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(TableFiles(), sandboxed);
  const std::string note =
      "The Access file was read without the reader's system-call filter (this kernel does not "
      "offer seccomp).";
  // Once, though three readers said it.
  EXPECT_EQ(run.out.find(note + "\n"), run.out.rfind(note + "\n"));
  EXPECT_NE(run.out.find(note + "\n"), std::string::npos) << run.out;
  const std::string json = test::ReadFile(report);
  EXPECT_NE(json.find("\"sourceNotes\""), std::string::npos);
  EXPECT_NE(json.find("\"" + note + "\""), std::string::npos) << json;
  // With the filter, no note.
  EXPECT_EQ(Convert("").out.find("system-call filter"), std::string::npos);
}

// The reader run by hand: what it prints (stdout and stderr together) and
// its reply.
ChildExit RunReader(const std::string& database, const std::string& tablesFile) {
  const int tables = ::open(tablesFile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  EXPECT_GE(tables, 0) << tablesFile;
  ChildRun run;
  run.executable = MDBTOKVT_READER_TEST;
  run.arguments = {database, tablesFile, kDefaultCodePage, "PagerCompany"};
  run.channels = {{{kReaderReplyFd}, 1 << 20},
                  {{STDOUT_FILENO, STDERR_FILENO, kReaderTableMessagesFd}, 1 << 20}};
  run.passedFds = {{tables, kReaderTablesFd}};
  run.timeout = 20s;
  ChildExit exit = RunChild(run);
  ::close(tables);
  return exit;
}

TEST_F(ReaderSandbox, KernelWithoutLandlockSaysSoOnceAndFiltersAlone) {
  const ScopedEnvironment kernel("MDBTOKVT_READER_TEST_KERNEL", "no-landlock");
  const std::string tables = (scratch_.path() / "tables").string();
  std::ofstream{tables};
  const ChildExit fine = RunReader(database_, tables);
  const auto reply = DecodeReaderReply(fine.output[0]);
  ASSERT_TRUE(reply) << fine.output[0];
  EXPECT_EQ(reply->errorNumber, 0) << reply->text;
  const std::string line =
      "mdbtokvt-reader: the file system is not closed by Landlock (this kernel has no "
      "Landlock); the system-call filter alone keeps the reader from opening files\n";
  EXPECT_EQ(fine.output[1], line);
  // The filter alone still stops the attempt.
  const ScopedEnvironment attempt("MDBTOKVT_READER_TEST_ATTEMPT", "open:/etc/passwd");
  const ChildExit stopped = RunReader(database_, tables);
  EXPECT_EQ(stopped.kind, ChildExit::Kind::kSignaled);
  EXPECT_EQ(stopped.code, SIGSYS);
  EXPECT_EQ(stopped.output[1], line + std::string(kForbiddenCallLine) + "257\n");
}

// Landlock on its own, behind which the filter normally stands: in a child
// process, so this process keeps its rights.
TEST(FileSystemLock, NothingNewCanBeOpened) {
  test::TempFolder folder;
  const fs::path existing = folder.path() / "existing";
  std::ofstream(existing) << "kept";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int kept = ::open(existing.c_str(), O_RDONLY);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) ::_exit(10);
    const std::string failure = CloseFileSystem();
    if (!failure.empty()) ::_exit(failure.find("no Landlock") != std::string::npos ? 20 : 11);
    if (::open("/etc/passwd", O_RDONLY) >= 0 || errno != EACCES) ::_exit(12);
    if (::open((folder.path() / "new").c_str(), O_WRONLY | O_CREAT, 0600) >= 0) ::_exit(13);
    if (::mkdir((folder.path() / "dir").c_str(), 0700) == 0) ::_exit(14);
    if (::unlink(existing.c_str()) == 0) ::_exit(15);
    char byte = 0;
    if (::read(kept, &byte, 1) != 1 || byte != 'k') ::_exit(16);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 20) GTEST_SKIP() << "this kernel has no Landlock";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::exists(existing));
  EXPECT_FALSE(fs::exists(folder.path() / "new"));
}

}  // namespace
}  // namespace mdbtokvt
