#include "run/FileFuncs.h"

#include <sys/stat.h>

#include "common/NamesEqual.h"

namespace mdbtokvt {

namespace {

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool NameTheSameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  const bool haveA = ::stat(a.c_str(), &sa) == 0;
  const bool haveB = ::stat(b.c_str(), &sb) == 0;
  if (haveA && haveB) return SameInode(sa, sb);
  struct stat fa {
  }, fb{};
  return NamesEqual(NameOf(a), NameOf(b)) && ::stat(FolderOf(a).c_str(), &fa) == 0 &&
         ::stat(FolderOf(b).c_str(), &fb) == 0 && SameInode(fa, fb);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace mdbtokvt
