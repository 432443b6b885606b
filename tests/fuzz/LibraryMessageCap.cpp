#include "LibraryMessageCap.h"

#include <unistd.h>

#include <exception>
#include <system_error>

#include "common/DamagedFile.h"

namespace mdbtokvt {

LibraryMessageCap::LibraryMessageCap(uint64_t limit, std::string databasePath, int forwardFd)
    : limit_(limit),
      databasePath_(std::move(databasePath)),
      forwardFd_(forwardFd),
      savedStdout_(stdout),
      savedStderr_(stderr) {
  std::fflush(stdout);
  std::fflush(stderr);
  cookie_io_functions_t functions{};
  functions.write = &LibraryMessageCap::Write;
  stream_ = ::fopencookie(this, "w", functions);
  if (stream_ == nullptr) throw std::system_error(errno, std::generic_category(), "fopencookie");
  // Unbuffered: every message is counted when it is printed, and closing
  // the stream has nothing left to write.
  std::setvbuf(stream_, nullptr, _IONBF, 0);
  stdout = stream_;
  stderr = stream_;
}

LibraryMessageCap::~LibraryMessageCap() {
  stdout = savedStdout_;
  stderr = savedStderr_;
  std::fclose(stream_);
}

// Runs inside libmdb's printf. The exception leaves through C frames (glibc's
// stdio releases the stream's lock on the way; libmdb has unwind tables and
// loses only memory it allocated, which the leak suppressions cover).
ssize_t LibraryMessageCap::Write(void* cookie, const char* data, size_t size) {
  auto* cap = static_cast<LibraryMessageCap*>(cookie);
  cap->written_ += size;
  if (cap->written_ > cap->limit_) {
    // Never a second exception while one is already unwinding the reading.
    if (std::uncaught_exceptions() == 0) {
      ThrowDamagedDatabase(
          cap->databasePath_,
          "libmdb printed more than " + std::to_string(cap->limit_ >> 20) + " MB of messages");
    }
    return static_cast<ssize_t>(size);
  }
  if (cap->forwardFd_ >= 0) {
    [[maybe_unused]] const ssize_t forwarded = ::write(cap->forwardFd_, data, size);
  }
  return static_cast<ssize_t>(size);
}

}  // namespace mdbtokvt
