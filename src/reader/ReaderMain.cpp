#include "reader/ReaderMain.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "common/Error.h"
#include "reader/ReaderJob.h"
#include "reader/ReaderSandbox.h"
#include "readerprotocol/ReaderProtocol.h"

namespace mdbtokvt {

namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// From here on, whatever libmdb prints goes to the channel for messages
// about the tables the record source reads.
void SendOutputToTableMessages() {
  std::fflush(stdout);
  std::fflush(stderr);
  ::dup2(kReaderTableMessagesFd, STDOUT_FILENO);
  ::dup2(kReaderTableMessagesFd, STDERR_FILENO);
}

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

ReaderReply Run(const ReaderRequest& request, const ReaderJobSteps& steps) {
  try {
    ReaderResult result = RunReaderJob(request, steps);
    return {0, std::move(result.sql), std::move(result.notes)};
  } catch (const ConversionError& e) {
    return {e.number(), e.what(), {}};
  } catch (const std::bad_alloc&) {
    // The data source decides whether the file or the limit is to blame.
    return {NumberOf(ErrorNumber::kOutOfMemory), ClassicDescription(ErrorNumber::kOutOfMemory), {}};
  } catch (const std::exception& e) {
    // Not the engine's own error: a file that could not be opened, mapped or
    // written on the way (the statement itself is not to blame).
    return {NumberOf(ErrorNumber::kPathFileAccess),
            std::string("The database engine cannot read the file: ") + e.what() + ".",
            {}};
  }
}

}  // namespace

int ReaderMain(int argc, char** argv, const std::function<void()>& afterLockDown) {
  if (argc != kReaderArgumentCount + 1 || !IsOpen(kReaderReplyFd) ||
      !IsOpen(kReaderTableMessagesFd) || !IsOpen(kReaderTablesFd)) {
    std::fputs(
        "mdbtokvt-reader reads an Access database for mdbtokvt-cli and MDBtoKVT; it is not "
        "meant to be run by hand.\n",
        stderr);
    return 2;
  }
  // It ends with the program that started it: ChildProcess.h sets that up
  // before the reader runs.
  // Names must come from libmdb as UTF-8, and its debugging output would
  // drown its warnings.
  ::unsetenv("MDBICONV");
  ::unsetenv("MDBOPTS");

  const ReaderRequest request{argv[1], argv[2], argv[3], argv[4], kReaderTablesFd};
  SandboxOutcome sandbox;
  ReaderJobSteps steps;
  steps.afterFilesOpened = [&] {
    sandbox = LockDownReader();
    if (afterLockDown) afterLockDown();
  };
  steps.beforeTableReads = SendOutputToTableMessages;
  ReaderReply reply = Run(request, steps);
  if (!sandbox.reportNote.empty()) reply.notes.push_back(sandbox.reportNote);
  WriteAll(kReaderReplyFd, EncodeReaderReply(reply));
  return 0;
}

}  // namespace mdbtokvt
