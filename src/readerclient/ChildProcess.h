// Runs a helper program as a child process under watch: in a process group of
// its own, with a wall-clock limit and resource limits, its output collected
// through pipes (bounded, the rest drained; past a total bound the child is
// stopped), and the child always killed and reaped before RunChild returns or
// throws. The child is also killed by the kernel when the thread that
// started it ends (PR_SET_PDEATHSIG), so it never outlives a parent that was
// killed. Between fork and exec the child only makes system calls, so this
// is safe in a process that has other threads (the window has); descriptors
// handed to the child are close-on-exec in the parent, so a child another
// thread starts meanwhile never gets them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mdbtokvt {

class StopRequest;

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
  // Descriptors of this process the child gets, as (this process's
  // descriptor, the child's number); they stay open here.
  std::vector<std::pair<int, int>> passedFds;
  // When given, a stop requested while the child runs ends it at once.
  const StopRequest* stop = nullptr;
};

struct ChildExit {
  enum class Kind { kExited, kSignaled, kTimedOut, kTooMuchOutput, kStopped };
  Kind kind = Kind::kExited;
  int code = 0;                     // exit status (-1 when it was lost), or the signal number
  std::vector<std::string> output;  // per channel, the bytes kept
  std::vector<bool> outputCut;      // per channel, whether bytes were dropped
};

// Starts executable with stdin on /dev/null and waits until it ends, the
// timeout passes, its output exceeds the output limit or a stop is
// requested; then the child's whole process group is killed. Output beyond
// the limit makes the run kTooMuchOutput even when the child ended by
// itself; a stop requested before the child has ended makes it kStopped.
// Throws std::system_error when the child cannot be started.
ChildExit RunChild(const ChildRun& run);

}  // namespace mdbtokvt
