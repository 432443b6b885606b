// Where the reader process comes from and how long and how much memory it
// may take. Every value has a default; the environment variables
// MDBTOKVT_READER, MDBTOKVT_READER_TIMEOUT_MS and MDBTOKVT_READER_MEMORY_MB
// override the defaults, and values set here override both. A variable set
// to a value that cannot be used raises 5, naming it; an empty one counts
// as unset.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace mdbtokvt {

struct ReaderSettings {
  std::string executable;                            // empty: FindReaderExecutable()
  std::optional<std::chrono::milliseconds> timeout;  // empty: by file size
  std::optional<uint64_t> memoryLimit;               // bytes; empty: by file size
  std::string tempFolder;                            // empty: $TMPDIR, else /tmp
};

struct ReaderLimits {
  std::chrono::milliseconds timeout;
  uint64_t memoryLimit;    // address space, bytes
  uint64_t fileSizeLimit;  // largest file the reader may write, bytes
  // Most bytes the reader may write into its pipes, its reply included.
  // libmdb prints a line per problem, and on some damaged files the same
  // warning in an endless loop.
  uint64_t outputLimit;
  // Set when this process's own limit is the lower one: reaching it then
  // says nothing about the file.
  bool memoryLimitInherited = false;
  bool fileSizeLimitInherited = false;
};

// Limits for reading a file of fileSize bytes. The defaults leave a healthy
// file of Access' largest size (2 GB) room to spare: 15 seconds plus 30 per
// 100 MB, 2 GB of address space plus the file's size (at most 4 GB), output
// files of up to four times the file's size plus 256 MB, and 4 MB of
// printed messages; never more than this process may use itself. Also
// checks MDBTOKVT_READER_SANDBOX, which the reader reads (0 or 1).
ReaderLimits LimitsFor(uint64_t fileSize, const ReaderSettings& settings);

// The reader executable: $MDBTOKVT_READER when set; else mdbtokvt-reader in
// the installed layout next to the running program (the libexec folder), or
// beside the program, or, for a program inside the build tree, where the
// build put it. Raises 53 when there is none.
std::string FindReaderExecutable(const ReaderSettings& settings);

// The folder for the reader's output file.
std::string ReaderTempFolder(const ReaderSettings& settings);

}  // namespace mdbtokvt
