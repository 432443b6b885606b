// libmdb tells of problems only by printing them, on stdout and stderr, and
// on some damaged files it prints the same warning in an endless loop. The
// reader process is stopped by its parent once it has printed more than its
// limit (4 MB). The fuzz target does the reader's work in its own process,
// so it caps the printing itself: while a cap is in place, stdout and stderr
// are one stream that counts what is written and, past the limit, ends the
// reading by throwing error 3343 out of the write, the error the reader's
// parent reports for the same file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace mdbtokvt {

class LibraryMessageCap {
 public:
  // Messages up to limit bytes are passed on to file descriptor forwardFd
  // (none when it is -1).
  LibraryMessageCap(uint64_t limit, std::string databasePath, int forwardFd);
  ~LibraryMessageCap();
  LibraryMessageCap(const LibraryMessageCap&) = delete;
  LibraryMessageCap& operator=(const LibraryMessageCap&) = delete;

 private:
  static ssize_t Write(void* cookie, const char* data, size_t size);

  uint64_t limit_;
  std::string databasePath_;
  int forwardFd_;
  uint64_t written_ = 0;
  FILE* savedStdout_;
  FILE* savedStderr_;
  FILE* stream_ = nullptr;
};

}  // namespace mdbtokvt
