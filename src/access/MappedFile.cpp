#include "access/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "common/UniqueFd.h"

namespace mdbtokvt {

namespace {

[[noreturn]] void ThrowErrno(int error, const std::filesystem::path& path) {
  throw std::system_error(error, std::generic_category(), path.string());
}

}  // namespace

MappedFile::MappedFile(const std::filesystem::path& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) ThrowErrno(errno, path);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) ThrowErrno(errno, path);
  if (info.st_size <= 0) ThrowErrno(EINVAL, path);
  size_ = static_cast<size_t>(info.st_size);
  // The mapping stays valid once the descriptor is closed.
  void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd.get(), 0);
  if (data == MAP_FAILED) ThrowErrno(errno, path);
  data_ = data;
}

void MappedFile::ReleaseResidentPages() const {
  // Only advice: when it fails, the pages stay, which is merely more memory.
  ::madvise(data_, size_, MADV_DONTNEED);
}

MappedFile::~MappedFile() {
  if (data_ != nullptr) ::munmap(data_, size_);
}

}  // namespace mdbtokvt
