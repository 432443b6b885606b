#include "source/ReaderProtocol.h"

#include <charconv>

namespace mdbtokvt {

namespace {

constexpr std::string_view kSuccess = "OK\n";
constexpr std::string_view kError = "ERROR ";

}  // namespace

std::string EncodeReaderReply(const ReaderReply& reply) {
  if (reply.errorNumber == 0) return std::string(kSuccess) + reply.text;
  return std::string(kError) + std::to_string(reply.errorNumber) + "\n" + reply.text;
}

std::optional<ReaderReply> DecodeReaderReply(std::string_view bytes) {
  if (bytes.starts_with(kSuccess))
    return ReaderReply{0, std::string(bytes.substr(kSuccess.size()))};
  if (!bytes.starts_with(kError)) return std::nullopt;
  const size_t lineEnd = bytes.find('\n');
  if (lineEnd == std::string_view::npos) return std::nullopt;
  const std::string_view digits = bytes.substr(kError.size(), lineEnd - kError.size());
  int number = 0;
  const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size() || number <= 0) {
    return std::nullopt;
  }
  return ReaderReply{number, std::string(bytes.substr(lineEnd + 1))};
}

}  // namespace mdbtokvt
