#include "readerclient/TempFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace mdbtokvt {

namespace {

// Creates folder/<prefix>XXXXXX<suffix>, open read-write and close-on-exec;
// its name goes into path. Throws std::system_error.
UniqueFd CreateNamed(const std::string& folder, std::string_view prefix, std::string_view suffix,
                     std::string& path) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += prefix;
  pattern += "XXXXXX";
  pattern += suffix;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  UniqueFd fd(::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC));
  if (!fd) throw std::system_error(errno, std::generic_category(), pattern);
  path = name.data();
  return fd;
}

// The answers of a kernel or a file system without O_TMPFILE.
bool LacksUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

}  // namespace

TempFile::TempFile(const std::string& folder, std::string_view prefix, std::string_view suffix) {
  CreateNamed(folder, prefix, suffix, path_);
  present_ = true;
}

void TempFile::Remove() {
  if (!present_) return;
  ::unlink(path_.c_str());
  present_ = false;
}

UnnamedTempFile::UnnamedTempFile(const std::string& folder, std::string_view prefix,
                                 std::string_view suffix) {
  const std::string where = folder.empty() ? "." : folder;
  fd_.reset(::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (fd_) return;
  if (!LacksUnnamedFiles(errno)) throw std::system_error(errno, std::generic_category(), where);
  std::string path;
  fd_ = CreateNamed(folder, prefix, suffix, path);
  ::unlink(path.c_str());
}

}  // namespace mdbtokvt
