#include "common/StopRequest.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/Error.h"

namespace mdbtokvt {

static_assert(std::atomic<int>::is_always_lock_free, "a signal handler stores into it");

StopRequest::StopRequest() {
  int fds[2];
  // Non-blocking, so a signal handler never waits on the pipe.
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_.reset(fds[0]);
    wakeWrite_.reset(fds[1]);
  }
}

void StopRequest::Request(int signalNumber) noexcept {
  int none = 0;
  if (signalNumber <= 0 || !signal_.compare_exchange_strong(none, signalNumber)) return;
  if (wakeWrite_) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_.get(), &byte, 1);
  }
}

void StopRequest::ThrowIfRequested() const {
  if (requested()) ThrowStopped();
}

void StopRequest::Reached(std::string_view point) const {
  if (observer_) observer_(point);
}

void ThrowStopped() {
  throw ConversionError(ErrorNumber::kUserInterrupt,
                        ClassicDescription(ErrorNumber::kUserInterrupt));
}

}  // namespace mdbtokvt
