#include "readerprotocol/ReaderProtocol.h"

#include <charconv>

namespace mdbtokvt {

namespace {

constexpr std::string_view kSuccess = "OK ";
constexpr std::string_view kError = "ERROR ";

// The number after prefix on the first line, and the bytes after that line.
std::optional<std::pair<int, std::string_view>> NumberLine(std::string_view bytes,
                                                           std::string_view prefix) {
  if (!bytes.starts_with(prefix)) return std::nullopt;
  const size_t lineEnd = bytes.find('\n');
  if (lineEnd == std::string_view::npos) return std::nullopt;
  const std::string_view digits = bytes.substr(prefix.size(), lineEnd - prefix.size());
  int number = 0;
  const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size() || number < 0) {
    return std::nullopt;
  }
  return std::make_pair(number, bytes.substr(lineEnd + 1));
}

}  // namespace

std::string EncodeReaderReply(const ReaderReply& reply) {
  if (reply.errorNumber != 0) {
    return std::string(kError) + std::to_string(reply.errorNumber) + "\n" + reply.text;
  }
  std::string bytes = std::string(kSuccess) + std::to_string(reply.notes.size()) + "\n";
  for (std::string note : reply.notes) {
    for (char& c : note) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    bytes += note + "\n";
  }
  return bytes + reply.text;
}

std::optional<ReaderReply> DecodeReaderReply(std::string_view bytes) {
  if (const auto success = NumberLine(bytes, kSuccess)) {
    ReaderReply reply;
    std::string_view rest = success->second;
    for (int i = 0; i < success->first; ++i) {
      const size_t lineEnd = rest.find('\n');
      if (lineEnd == std::string_view::npos) return std::nullopt;
      reply.notes.emplace_back(rest.substr(0, lineEnd));
      rest.remove_prefix(lineEnd + 1);
    }
    reply.text = rest;
    return reply;
  }
  const auto error = NumberLine(bytes, kError);
  if (!error || error->first == 0) return std::nullopt;
  return ReaderReply{error->first, std::string(error->second), {}};
}

}  // namespace mdbtokvt
