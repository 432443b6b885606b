#include "reader/ReaderSettings.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "common/Error.h"

namespace mdbtokvt {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMegabyte = uint64_t{1} << 20;
constexpr uint64_t kGigabyte = uint64_t{1} << 30;
constexpr std::chrono::milliseconds kBaseTimeout{15'000};
constexpr std::chrono::milliseconds kTimeoutPer100Megabytes{30'000};
constexpr uint64_t kBaseMemory = 2 * kGigabyte;
constexpr uint64_t kMostMemory = 4 * kGigabyte;
constexpr uint64_t kOutputFactor = 4;
constexpr uint64_t kBaseOutput = 256 * kMegabyte;
// A healthy file makes libmdb print a few lines at most.
constexpr uint64_t kMostMessages = 4 * kMegabyte;
constexpr const char* kReaderName = "mdbtokvt-reader";
const fs::path kBuildTree{MDBTOKVT_BUILD_TREE};

std::optional<uint64_t> EnvironmentNumber(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return std::nullopt;
  const std::string_view value(text);
  uint64_t number = 0;
  const auto parsed = std::from_chars(value.data(), value.data() + value.size(), number);
  if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() || number == 0) {
    return std::nullopt;
  }
  return number;
}

// Lowers limit to this process's own limit of the resource; true if it did.
bool ClampToOwnLimit(int resource, uint64_t& limit) {
  rlimit own{};
  if (::getrlimit(static_cast<__rlimit_resource>(resource), &own) != 0 ||
      own.rlim_cur == RLIM_INFINITY || own.rlim_cur >= limit) {
    return false;
  }
  limit = own.rlim_cur;
  return true;
}

bool IsExecutableFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

ReaderLimits LimitsFor(uint64_t fileSize, const ReaderSettings& settings) {
  ReaderLimits limits{};
  if (settings.timeout) {
    limits.timeout = *settings.timeout;
  } else if (const auto ms = EnvironmentNumber("MDBTOKVT_READER_TIMEOUT_MS")) {
    limits.timeout = std::chrono::milliseconds(*ms);
  } else {
    const auto per100 = kTimeoutPer100Megabytes.count();
    limits.timeout = kBaseTimeout + std::chrono::milliseconds(
                                        static_cast<int64_t>(fileSize / kMegabyte * per100 / 100));
  }
  if (settings.memoryLimit) {
    limits.memoryLimit = *settings.memoryLimit;
  } else if (const auto mb = EnvironmentNumber("MDBTOKVT_READER_MEMORY_MB")) {
    limits.memoryLimit = *mb * kMegabyte;
  } else {
    limits.memoryLimit = std::min(kBaseMemory + fileSize, kMostMemory);
  }
  limits.fileSizeLimit = kOutputFactor * fileSize + kBaseOutput;
  limits.outputLimit = kMostMessages;
  limits.memoryLimitInherited = ClampToOwnLimit(RLIMIT_AS, limits.memoryLimit);
  limits.fileSizeLimitInherited = ClampToOwnLimit(RLIMIT_FSIZE, limits.fileSizeLimit);
  return limits;
}

std::string FindReaderExecutable(const ReaderSettings& settings) {
  if (!settings.executable.empty()) return settings.executable;
  if (const char* fromEnvironment = std::getenv("MDBTOKVT_READER");
      fromEnvironment != nullptr && *fromEnvironment != '\0') {
    return fromEnvironment;
  }
  std::vector<fs::path> candidates;
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path folder = program.parent_path();
    candidates.push_back(folder / MDBTOKVT_READER_FROM_BINDIR / kReaderName);
    candidates.push_back(folder / kReaderName);
    // A program run from the build tree (a test, a front end in its own
    // build folder) takes the reader built with it.
    const auto [buildTreeEnd, programEnd] =
        std::mismatch(kBuildTree.begin(), kBuildTree.end(), program.begin(), program.end());
    if (buildTreeEnd == kBuildTree.end()) candidates.emplace_back(MDBTOKVT_READER_IN_BUILD_TREE);
  }
  for (const fs::path& candidate : candidates) {
    if (IsExecutableFile(candidate)) return candidate.lexically_normal().string();
  }
  throw ConversionError(kErrFileNotFound,
                        std::string("File not found: ") + kReaderName +
                            ", the program that reads Access databases, is not installed with " +
                            (error ? std::string("this program") : program.filename().string()) +
                            ".");
}

std::string ReaderTempFolder(const ReaderSettings& settings) {
  if (!settings.tempFolder.empty()) return settings.tempFolder;
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error);
  return error ? std::string("/tmp") : folder.string();
}

}  // namespace mdbtokvt
