// OutputStream on a POSIX file descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/Error.h"
#include "tablefile/OutputStream.h"

namespace mdbtokvt {

namespace {

class FileStream final : public OutputStream {
 public:
  FileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~FileStream() override {
    if (fd_ >= 0) ::close(fd_);
  }

  void Append(const uint8_t* data, size_t size) override {
    WriteAll(data, size,
             [this](const uint8_t* p, size_t n, uint64_t) { return ::write(fd_, p, n); });
  }

  void Overwrite(uint64_t offset, const uint8_t* data, size_t size) override {
    WriteAll(data, size, [this, offset](const uint8_t* p, size_t n, uint64_t done) {
      return ::pwrite(fd_, p, n, static_cast<off_t>(offset + done));
    });
  }

  void Close() override {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
      const int err = errno;
      ::close(fd);
      ThrowFileError(err, path_);
    }
    if (::close(fd) != 0 && errno != EINTR) ThrowFileError(errno, path_);
  }

 private:
  // Repeats a write call until every byte is out; a write that makes no
  // progress counts as a full disk.
  template <typename WriteCall>
  void WriteAll(const uint8_t* data, size_t size, WriteCall call) {
    uint64_t done = 0;
    while (size > 0) {
      const ssize_t n = call(data, size, done);
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowFileError(errno, path_);
      }
      if (n == 0) ThrowFileError(ENOSPC, path_);
      data += n;
      size -= static_cast<size_t>(n);
      done += static_cast<uint64_t>(n);
    }
  }

  int fd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<OutputStream> CreateFileStream(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) ThrowFileError(errno, path);
  return std::make_unique<FileStream>(fd, path);
}

}  // namespace mdbtokvt
