#include "readerclient/ReaderSettings.h"

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
// Bounds for the limits set in the environment: a year, and 1 TB.
constexpr uint64_t kMostTimeoutMilliseconds = uint64_t{366} * 24 * 3600 * 1000;
constexpr uint64_t kMostMegabytes = uint64_t{1} << 20;
constexpr const char* kReaderName = "mdbtokvt-reader";
const fs::path kBuildTree{MDBTOKVT_BUILD_TREE};

// The value of an environment variable; nothing when it is unset or empty.
std::optional<std::string_view> EnvironmentValue(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return std::nullopt;
  return std::string_view(text);
}

[[noreturn]] void ThrowUnusableVariable(const char* name, std::string_view value,
                                        const std::string& why) {
  throw ConversionError(ErrorNumber::kInvalidArgument,
                        ClassicDescription(ErrorNumber::kInvalidArgument) + ": " +
                            std::string(name) + "=\"" + std::string(value) + "\" is " + why + ".");
}

// A whole number of units above 0 and at most most (mostText in words),
// from the environment.
std::optional<uint64_t> EnvironmentNumber(const char* name, const char* units, uint64_t most,
                                          const char* mostText) {
  const auto value = EnvironmentValue(name);
  if (!value) return std::nullopt;
  uint64_t number = 0;
  const auto parsed = std::from_chars(value->data(), value->data() + value->size(), number);
  if (parsed.ec != std::errc() || parsed.ptr != value->data() + value->size() || number == 0 ||
      number > most) {
    ThrowUnusableVariable(
        name, *value,
        std::string("not a whole number of ") + units + " above 0 (at most " + mostText + ")");
  }
  return number;
}

// The reader reads its sandbox switch itself (only "0" turns the sandbox
// off); a value that means neither on nor off is refused here, before the
// reader starts, so a typo never leaves anyone guessing which it took.
void CheckSandboxSwitch() {
  const auto value = EnvironmentValue("MDBTOKVT_READER_SANDBOX");
  if (value && *value != "0" && *value != "1") {
    ThrowUnusableVariable("MDBTOKVT_READER_SANDBOX", *value,
                          "neither 0 (the sandbox off) nor 1 (on, the default)");
  }
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
  CheckSandboxSwitch();
  ReaderLimits limits{};
  if (settings.timeout) {
    limits.timeout = *settings.timeout;
  } else if (const auto ms = EnvironmentNumber("MDBTOKVT_READER_TIMEOUT_MS", "milliseconds",
                                               kMostTimeoutMilliseconds, "a year")) {
    limits.timeout = std::chrono::milliseconds(*ms);
  } else {
    const auto per100 = kTimeoutPer100Megabytes.count();
    limits.timeout = kBaseTimeout + std::chrono::milliseconds(
                                        static_cast<int64_t>(fileSize / kMegabyte * per100 / 100));
  }
  if (settings.memoryLimit) {
    limits.memoryLimit = *settings.memoryLimit;
  } else if (const auto mb = EnvironmentNumber("MDBTOKVT_READER_MEMORY_MB", "megabytes",
                                               kMostMegabytes, "1 TB")) {
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
  if (const auto fromEnvironment = EnvironmentValue("MDBTOKVT_READER")) {
    if (!IsExecutableFile(*fromEnvironment)) {
      ThrowUnusableVariable("MDBTOKVT_READER", *fromEnvironment, "not an executable file");
    }
    return std::string(*fromEnvironment);
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
  throw ConversionError(ErrorNumber::kFileNotFound,
                        ClassicDescription(ErrorNumber::kFileNotFound) + ": " + kReaderName +
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
