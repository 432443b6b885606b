// Runs a helper program as a child process under watch: in a process group of
// its own, with a wall-clock limit and resource limits, its output collected
// through pipes (bounded, the rest drained; past a total bound the child is
// stopped), and the child always killed and reaped before RunChild returns or
// throws. Between fork and exec the child only makes system calls, so this is
// safe in a process that has other threads (the window has).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mdbtokvt {

// One pipe from the child: every listed descriptor of the child writes into
// it; the first keepBytes bytes are kept, the rest are read and dropped.
struct OutputChannel {
  std::vector<int> childFds;
  size_t keepBytes = 0;
};

struct ChildRun {
  std::string executable;
  std::vector<std::string> arguments;  // after the program name
  std::vector<OutputChannel> channels;
  std::chrono::milliseconds timeout{0};
  uint64_t addressSpaceLimit = 0;  // bytes; 0: no limit
  uint64_t fileSizeLimit = 0;      // bytes, per file written; 0: no limit
  // The child is stopped as soon as it has written more than this many bytes
  // into its channels, all together; 0: no limit.
  uint64_t outputLimit = 0;
};

struct ChildExit {
  enum class Kind { kExited, kSignaled, kTimedOut, kTooMuchOutput };
  Kind kind = Kind::kExited;
  int code = 0;                     // exit status (-1 when it was lost), or the signal number
  std::vector<std::string> output;  // per channel, the bytes kept
  std::vector<bool> outputCut;      // per channel, whether bytes were dropped
};

// Starts executable with stdin on /dev/null and waits until it ends, the
// timeout passes or its output exceeds the output limit; then the child's
// whole process group is killed. Output beyond the limit makes the run
// kTooMuchOutput even when the child ended by itself. Throws
// std::system_error when the child cannot be started.
ChildExit RunChild(const ChildRun& run);

}  // namespace mdbtokvt
