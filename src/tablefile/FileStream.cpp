// OutputStream on a POSIX file descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/Error.h"
#include "tablefile/OutputStream.h"
#include "tablefile/SparseFile.h"

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
  FileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)), file_(fd, path_) {}
  ~FileStream() override {
    StopWriter(/*discard=*/true);
    sync_.Finish();
    if (fd_ >= 0) ::close(fd_);
  }

  void Append(const uint8_t* data, size_t size) override {
    Drain();
    WriteNow(data, size);
  }

  // The writes themselves (the kernel copying the bytes into the page
  // cache: a third of the converting thread's time for a 165 MB group
  // table) run on a thread of the stream's own, at most two buffers behind.
  std::vector<uint8_t> AppendOwned(std::vector<uint8_t> buffer) override {
    std::unique_lock lock(mutex_);
    RaiseFailure(lock);
    if (!writer_.joinable()) {
      try {
        writer_ = std::thread([this] { WriteQueued(); });
      } catch (const std::system_error&) {
        // No thread to be had: write here and now.
        lock.unlock();
        WriteNow(buffer.data(), buffer.size());
        buffer.clear();
        return buffer;
      }
    }
    roomOrDone_.wait(lock, [this] { return queue_.size() < kMostQueued || failure_; });
    RaiseFailure(lock);
    queue_.push_back(std::move(buffer));
    std::vector<uint8_t> next;
    if (!spares_.empty()) {
      next = std::move(spares_.back());
      spares_.pop_back();
    }
    lock.unlock();
    queued_.notify_one();
    return next;
  }

  void Overwrite(uint64_t offset, const uint8_t* data, size_t size) override {
    Drain();
    file_.Overwrite(offset, data, size);
  }

  void Close() override {
    if (fd_ < 0) return;
    Drain();
    StopWriter(/*discard=*/false);
    file_.Settle();
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
  void WriteNow(const uint8_t* data, size_t size) {
    file_.Append(data, size);
    if (file_.written() - syncRequestedAt_ >= kSyncStep) {
      sync_.Request();
      syncRequestedAt_ = file_.written();
    }
  }

  // The writer thread: writes queued buffers in order; after a failure it
  // drops the rest (the file is abandoned) and the failure is raised on the
  // stream's next call.
  void WriteQueued() {
    std::unique_lock lock(mutex_);
    for (;;) {
      queued_.wait(lock, [this] { return !queue_.empty() || stopWriter_; });
      if (queue_.empty()) return;
      std::vector<uint8_t> buffer = std::move(queue_.front());
      queue_.pop_front();
      writing_ = true;
      const bool failed = failure_ != nullptr;
      lock.unlock();
      std::exception_ptr failure;
      if (!failed) {
        try {
          WriteNow(buffer.data(), buffer.size());
        } catch (...) {
          failure = std::current_exception();
        }
      }
      buffer.clear();
      lock.lock();
      writing_ = false;
      if (failure && !failure_) failure_ = failure;
      if (spares_.size() < kMostQueued) spares_.push_back(std::move(buffer));
      roomOrDone_.notify_all();
    }
  }

  // Waits until every queued buffer is written; raises a write's failure.
  void Drain() {
    std::unique_lock lock(mutex_);
    roomOrDone_.wait(lock, [this] { return (queue_.empty() && !writing_) || failure_; });
    RaiseFailure(lock);
  }

  void RaiseFailure(std::unique_lock<std::mutex>& lock) {
    if (!failure_) return;
    const std::exception_ptr failure = failure_;
    lock.unlock();
    std::rethrow_exception(failure);
  }

  void StopWriter(bool discard) {
    {
      std::lock_guard lock(mutex_);
      stopWriter_ = true;
      if (discard) queue_.clear();
    }
    queued_.notify_all();
    if (writer_.joinable()) writer_.join();
  }

  static constexpr uint64_t kSyncStep = 16 << 20;
  static constexpr size_t kMostQueued = 2;

  int fd_;
  std::string path_;
  SparseFileWriter file_;
  uint64_t syncRequestedAt_ = 0;
  BackgroundSync sync_{fd_};

  std::mutex mutex_;
  std::condition_variable queued_;      // a buffer was queued, or stopWriter_ set
  std::condition_variable roomOrDone_;  // a buffer was written (or dropped)
  std::deque<std::vector<uint8_t>> queue_;
  std::vector<std::vector<uint8_t>> spares_;
  bool writing_ = false;
  bool stopWriter_ = false;
  std::exception_ptr failure_;
  std::thread writer_;
};

}  // namespace

std::vector<uint8_t> OutputStream::AppendOwned(std::vector<uint8_t> buffer) {
  Append(buffer.data(), buffer.size());
  buffer.clear();
  return buffer;
}

std::unique_ptr<OutputStream> CreateFileStream(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) ThrowFileError(errno, path);
  return std::make_unique<FileStream>(fd, path);
}

std::unique_ptr<OutputStream> CreateDescriptorStream(int fd, const std::string& name) {
  return std::make_unique<FileStream>(fd, name);
}

}  // namespace mdbtokvt
