// How the reader process and the side that starts it talk: the descriptors
// and the reply (the folder's README.md describes the whole exchange).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mdbtokvt {

inline constexpr int kReaderReplyFd = 3;
inline constexpr int kReaderTableMessagesFd = 4;
inline constexpr int kReaderTablesFd = 5;
inline constexpr int kReaderArgumentCount = 4;

// What the reader writes to stderr, followed by the call's number and a line
// end, just before a call its sandbox forbids ends it with SIGSYS.
inline constexpr std::string_view kForbiddenCallLine = "mdbtokvt-reader: forbidden system call ";

// What the reader hands back for a record source it has loaded.
struct ReaderResult {
  std::string sql;  // runs the record source on the loaded tables
  // Facts about the file worth a line of the conversion report.
  std::vector<std::string> notes;
};

struct ReaderReply {
  int errorNumber = 0;             // 0: success
  std::string text;                // the SQL statement, or the error description
  std::vector<std::string> notes;  // on success: one line each
};

std::string EncodeReaderReply(const ReaderReply& reply);
// Nothing for bytes that are not a whole reply.
std::optional<ReaderReply> DecodeReaderReply(std::string_view bytes);

}  // namespace mdbtokvt
