#include "run/CommitRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "common/Error.h"
#include "common/UniqueFd.h"
#include "run/OutputFolder.h"

namespace mdbtokvt {

namespace {

constexpr std::string_view kFirstLine = "MDBtoKVT commit record 1\n";
constexpr std::string_view kLastLine = "end\n";

// Each name as its length, a colon, the bytes and a line break: a name may
// hold any byte but "/" and NUL.
void AppendField(std::string& text, const std::string& field) {
  text += std::to_string(field.size());
  text += ':';
  text += field;
  text += '\n';
}

bool TakeField(std::string_view& text, std::string& field) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  size_t length = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + colon, length);
  if (ec != std::errc() || end != text.data() + colon) return false;
  if (text.size() < colon + 1 + length + 1 || text[colon + 1 + length] != '\n') return false;
  field.assign(text.substr(colon + 1, length));
  text.remove_prefix(colon + 1 + length + 1);
  return true;
}

}  // namespace

std::string FormatCommitRecord(const std::vector<CommitEntry>& entries) {
  std::string text(kFirstLine);
  text += std::to_string(entries.size()) + "\n";
  for (const CommitEntry& e : entries) {
    for (const std::string* field : {&e.folder, &e.target, &e.temporary, &e.backup}) {
      AppendField(text, *field);
    }
  }
  text += kLastLine;
  return text;
}

std::optional<std::vector<CommitEntry>> ParseCommitRecord(std::string_view text) {
  if (!text.starts_with(kFirstLine)) return std::nullopt;
  text.remove_prefix(kFirstLine.size());
  const size_t lineEnd = text.find('\n');
  size_t count = 0;
  if (lineEnd == std::string_view::npos) return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + lineEnd, count);
  if (ec != std::errc() || end != text.data() + lineEnd || count > 64) return std::nullopt;
  text.remove_prefix(lineEnd + 1);
  std::vector<CommitEntry> entries(count);
  for (CommitEntry& e : entries) {
    for (std::string* field : {&e.folder, &e.target, &e.temporary, &e.backup}) {
      if (!TakeField(text, *field)) return std::nullopt;
    }
    // Plain names in one folder: a record moves nothing anywhere else.
    if (e.target.empty() || e.temporary.empty()) return std::nullopt;
    for (const std::string* name : {&e.target, &e.temporary, &e.backup}) {
      if (*name == "." || *name == ".." ||
          name->find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        return std::nullopt;
      }
    }
    if (!e.folder.empty() && e.folder[0] != '/') return std::nullopt;
  }
  if (text != kLastLine) return std::nullopt;
  return entries;
}

void WriteCommitRecord(const std::string& folder, const std::vector<CommitEntry>& entries,
                       const FileStepHook& steps) {
  const std::string path = JoinPath(folder, kCommitRecordName);
  const std::string text = FormatCommitRecord(entries);
  if (steps) steps(FileStep::kCreate, path);
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd) ThrowFileError(errno, path);
  const auto fail = [&](int err) {
    ::unlink(path.c_str());
    ThrowFileError(err, path);
  };
  if (steps) steps(FileStep::kWrite, path);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
  if (steps) steps(FileStep::kSync, path);
  if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS) fail(errno);
}

std::optional<std::string> ReadCommitRecord(const std::string& folder, std::string_view name) {
  const std::string path = JoinPath(folder, name);
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    ThrowFileError(errno, path);
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError(errno, path);
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > (1 << 20)) break;  // no record is this long: not a whole one
  }
  return text;
}

std::string EntryPath(const std::string& outputFolder, const CommitEntry& entry,
                      const std::string& name) {
  return JoinPath(entry.folder.empty() ? outputFolder : entry.folder, name);
}

}  // namespace mdbtokvt
