#include "readerclient/ReaderClient.h"

#include <signal.h>
#include <string.h>

#include <charconv>
#include <cstdio>
#include <system_error>

#include "access/LibraryMessages.h"
#include "common/DamagedFile.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "readerclient/SyscallName.h"
#include "readerprotocol/ReaderProtocol.h"

namespace mdbtokvt {

namespace {

constexpr size_t kReplyChannel = 0;
constexpr size_t kCatalogMessages = 1;
constexpr size_t kTableMessages = 2;
constexpr size_t kLongestReply = size_t{1} << 20;
constexpr size_t kKeptMessages = 16 * 1024;

std::string Seconds(std::chrono::milliseconds duration) {
  const auto ms = duration.count();
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
  char text[32];
  std::snprintf(text, sizeof text, "%.1f seconds", static_cast<double>(ms) / 1000.0);
  return text;
}

// Running out of memory: the file's fault when the limit was the reader's
// own (generous for any healthy file), the caller's when it inherited less.
[[noreturn]] void ThrowOutOfMemory(std::string_view databasePath, const ReaderLimits& limits) {
  const std::string needs =
      "reading it needs more than " + std::to_string(limits.memoryLimit >> 20) + " MB of memory";
  if (limits.memoryLimitInherited) {
    throw ConversionError(ErrorNumber::kOutOfMemory, ClassicDescription(ErrorNumber::kOutOfMemory) +
                                                         " (" + std::string(databasePath) + ": " +
                                                         needs + ")");
  }
  ThrowDamagedDatabase(databasePath, needs);
}

// The sandbox ended the reader: it names the call just before it ends.
std::string ForbiddenCallReason(std::string_view messages) {
  std::string reason = "the reader's sandbox stopped a forbidden system call";
  const size_t at = messages.rfind(kForbiddenCallLine);
  if (at == std::string_view::npos) return reason;
  const std::string_view digits = messages.substr(at + kForbiddenCallLine.size());
  int number = 0;
  const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (parsed.ec == std::errc() && parsed.ptr != digits.data()) {
    reason += ": " + SyscallName(number);
  }
  return reason;
}

[[noreturn]] void ThrowForSignal(const ChildExit& exit, std::string_view databasePath,
                                 const ReaderLimits& limits) {
  const std::string messages = exit.output[kCatalogMessages] + exit.output[kTableMessages];
  if (exit.code == SIGSYS) ThrowDamagedDatabase(databasePath, ForbiddenCallReason(messages));
  if (ReportsMemoryExhausted(messages)) ThrowOutOfMemory(databasePath, limits);
  if (exit.code == SIGXFSZ) {
    if (limits.fileSizeLimitInherited) {
      throw ConversionError(ErrorNumber::kDiskFull, ClassicDescription(ErrorNumber::kDiskFull) +
                                                        " (the file size limit stopped reading '" +
                                                        std::string(databasePath) + "')");
    }
    ThrowDamagedDatabase(databasePath, "reading it produced more data than the file can hold");
  }
  if (exit.code == SIGKILL) ThrowDamagedDatabase(databasePath, "the reader was stopped");
  const char* name = ::sigdescr_np(exit.code);
  ThrowDamagedDatabase(databasePath,
                       std::string("the reader crashed: ") +
                           (name != nullptr ? name : "signal " + std::to_string(exit.code)));
}

// libmdb repeating a warning without end (its property parser does on some
// damaged files) would otherwise keep the reader busy until the time limit.
[[noreturn]] void ThrowForTooMuchOutput(const ChildExit& exit, std::string_view databasePath,
                                        const ReaderLimits& limits) {
  std::string reason =
      "libmdb printed more than " + std::to_string(limits.outputLimit >> 20) + " MB of messages";
  const std::string damage =
      FirstDamageMessage(exit.output[kCatalogMessages] + exit.output[kTableMessages]);
  if (!damage.empty()) reason += ", starting with: " + damage;
  ThrowDamagedDatabase(databasePath, reason);
}

}  // namespace

ReaderResult InterpretReaderExit(const ChildExit& exit, std::string_view databasePath,
                                 const ReaderLimits& limits) {
  switch (exit.kind) {
    case ChildExit::Kind::kTimedOut:
      ThrowDamagedDatabase(databasePath, "the reader stopped after " + Seconds(limits.timeout));
    case ChildExit::Kind::kTooMuchOutput:
      ThrowForTooMuchOutput(exit, databasePath, limits);
    case ChildExit::Kind::kSignaled:
      ThrowForSignal(exit, databasePath, limits);
    case ChildExit::Kind::kStopped:
      ThrowStopped();
    case ChildExit::Kind::kExited:
      break;
  }
  const auto reply =
      exit.outputCut[kReplyChannel] ? std::nullopt : DecodeReaderReply(exit.output[kReplyChannel]);
  if (!reply) {
    ThrowDamagedDatabase(databasePath, "the reader ended without an answer, exit status " +
                                           std::to_string(exit.code));
  }
  if (reply->errorNumber == 0) {
    const std::string damage = FirstDamageMessage(exit.output[kTableMessages]);
    if (!damage.empty()) ThrowDamagedDatabase(databasePath, "libmdb reported: " + damage);
    return {reply->text, reply->notes};
  }
  // The reader sends only numbers it took from an ErrorNumber.
  const auto number = static_cast<ErrorNumber>(reply->errorNumber);
  if (number == ErrorNumber::kOutOfMemory) ThrowOutOfMemory(databasePath, limits);
  if (number == ErrorNumber::kTableNotFound) {
    // A table may be missing only because the catalog could not be read.
    const std::string damage = FirstDamageMessage(exit.output[kCatalogMessages]);
    if (!damage.empty()) {
      ThrowDamagedDatabase(
          databasePath, "its list of tables cannot be read completely; libmdb reported: " + damage);
    }
  }
  throw ConversionError(number, reply->text);
}

ReaderResult ReadIntoTablesFile(const ReaderSettings& settings, const ReaderJobFiles& files,
                                const std::string& codePage, std::string_view recordSource,
                                const StopRequest* stop) {
  const ReaderLimits limits = LimitsFor(files.databaseSize, settings);
  ChildRun run;
  run.executable = FindReaderExecutable(settings);
  run.arguments = {std::string(files.databasePath), files.tablesName, codePage,
                   std::string(recordSource)};
  run.passedFds = {{files.tablesFd, kReaderTablesFd}};
  run.stop = stop;
  run.channels = {{{kReaderReplyFd}, kLongestReply},
                  {{STDOUT_FILENO, STDERR_FILENO}, kKeptMessages},
                  {{kReaderTableMessagesFd}, kKeptMessages}};
  run.timeout = limits.timeout;
  run.addressSpaceLimit = limits.memoryLimit;
  run.fileSizeLimit = limits.fileSizeLimit;
  run.outputLimit = limits.outputLimit;
  ChildExit exit;
  try {
    exit = RunChild(run);
  } catch (const std::system_error& e) {
    throw ConversionError(ErrorNumber::kPathFileAccess,
                          "The database reader " + run.executable +
                              " cannot be started: " + e.code().message() + ".");
  }
  return InterpretReaderExit(exit, files.databasePath, limits);
}

}  // namespace mdbtokvt
