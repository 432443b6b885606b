// OutputStream on a POSIX file descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/Error.h"
#include "tablefile/OutputStream.h"

namespace mdbtokvt {

namespace {

// Files on which fsync means nothing (pipes, some special file systems).
bool IgnoredSyncError(int err) { return err == EINVAL || err == EROFS; }

// Makes a large file durable while it is still being written: every few
// megabytes a thread of its own runs fdatasync on what is there so far.
// Flushing a disk's cache takes about as long as the data written since the
// last flush, so the fsync on closing a file of a hundred megabytes then
// waits for its last piece only, instead of a third of a second at the end.
class BackgroundSync {
 public:
  explicit BackgroundSync(int fd) : fd_(fd) {}
  ~BackgroundSync() { Finish(); }
  BackgroundSync(const BackgroundSync&) = delete;
  BackgroundSync& operator=(const BackgroundSync&) = delete;

  // Asks for a sync of everything written so far; never waits for one.
  void Request() {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      requested_ = true;
    }
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Run(); });
      } catch (const std::system_error&) {
        return;  // no thread: the fsync on closing does all the work
      }
    }
    wake_.notify_one();
  }

  // Stops the thread (after the sync under way); returns the first error a
  // sync reported, or 0.
  int Finish() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    return error_;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return requested_ || stop_; });
      if (stop_) return;
      requested_ = false;
      lock.unlock();
      const int rc = ::fdatasync(fd_);
      const int err = rc != 0 && !IgnoredSyncError(errno) ? errno : 0;
      lock.lock();
      if (err != 0 && error_ == 0) error_ = err;
    }
  }

  const int fd_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool requested_ = false;
  bool stop_ = false;
  int error_ = 0;
  std::thread thread_;
};

class FileStream final : public OutputStream {
 public:
  FileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~FileStream() override {
    sync_.Finish();
    if (fd_ >= 0) ::close(fd_);
  }

  void Append(const uint8_t* data, size_t size) override {
    WriteAll(data, size,
             [this](const uint8_t* p, size_t n, uint64_t) { return ::write(fd_, p, n); });
    appended_ += size;
    if (appended_ - syncRequestedAt_ >= kSyncStep) {
      sync_.Request();
      syncRequestedAt_ = appended_;
    }
  }

  void Overwrite(uint64_t offset, const uint8_t* data, size_t size) override {
    WriteAll(data, size, [this, offset](const uint8_t* p, size_t n, uint64_t done) {
      return ::pwrite(fd_, p, n, static_cast<off_t>(offset + done));
    });
  }

  void Close() override {
    if (fd_ < 0) return;
    // A failure the background syncs saw is not reported again by fsync.
    int err = sync_.Finish();
    const int fd = fd_;
    fd_ = -1;
    if (err == 0 && ::fsync(fd) != 0 && !IgnoredSyncError(errno)) err = errno;
    if (err != 0) {
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

  static constexpr uint64_t kSyncStep = 16 << 20;

  int fd_;
  std::string path_;
  uint64_t appended_ = 0;
  uint64_t syncRequestedAt_ = 0;
  BackgroundSync sync_{fd_};
};

}  // namespace

std::unique_ptr<OutputStream> CreateFileStream(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) ThrowFileError(errno, path);
  return std::make_unique<FileStream>(fd, path);
}

}  // namespace mdbtokvt
