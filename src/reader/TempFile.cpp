#include "reader/TempFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace mdbtokvt {

TempFile::TempFile(const std::string& folder, std::string_view prefix, std::string_view suffix) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += prefix;
  pattern += "XXXXXX";
  pattern += suffix;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), pattern);
  ::close(fd);
  path_ = name.data();
  present_ = true;
}

void TempFile::Remove() {
  if (!present_) return;
  ::unlink(path_.c_str());
  present_ = false;
}

}  // namespace mdbtokvt
