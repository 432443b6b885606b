// A request to stop the conversion under way, made from outside it (by a
// signal, through StopOnSignals.h) and noticed by the conversion on its
// normal path: the wait for the reader process watches wakeFd(), SQLite
// statements and the walk through a recordset look at requested(), and the
// run checks at named points between its steps. A stop ends the conversion
// as error 18 "User interrupt occurred", which unwinds through everything
// that holds temporary files; the front end that owns the request turns it
// into its stop message and exit status. Once made, a request stays made.
#pragma once

#include <atomic>
#include <functional>
#include <string_view>

#include "common/UniqueFd.h"

namespace mdbtokvt {

class StopRequest {
 public:
  // Called with the name of each point the conversion reaches (see
  // Reached); the tests use it to pause a conversion at a known moment.
  using PointObserver = std::function<void(std::string_view point)>;

  StopRequest();
  StopRequest(const StopRequest&) = delete;
  StopRequest& operator=(const StopRequest&) = delete;

  // Asks for a stop on behalf of the signal number given (any number > 0);
  // the first request counts. Async-signal-safe: an atomic store and a
  // write to a pipe.
  void Request(int signalNumber) noexcept;

  bool requested() const noexcept { return signal_.load(std::memory_order_relaxed) != 0; }
  // The signal of the first request; 0 while there is none.
  int signalNumber() const noexcept { return signal_.load(std::memory_order_relaxed); }
  // Readable from the first request on (it is never drained), for poll();
  // -1 when no pipe could be made, and then only requested() tells.
  int wakeFd() const noexcept { return wakeRead_.get(); }

  // Raises error 18 when a stop has been requested.
  void ThrowIfRequested() const;
  // Tells the observer, if any, that the conversion has reached point.
  void Reached(std::string_view point) const;
  // Reached, then ThrowIfRequested: a place where the conversion may stop.
  void Checkpoint(std::string_view point) const {
    Reached(point);
    ThrowIfRequested();
  }
  // Set before the conversion starts; called on whichever thread reaches a
  // point.
  void SetPointObserver(PointObserver observer) { observer_ = std::move(observer); }

 private:
  std::atomic<int> signal_{0};
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  PointObserver observer_;
};

// Raises error 18 "User interrupt occurred".
[[noreturn]] void ThrowStopped();

// ThrowIfRequested for a request that may be absent.
inline void ThrowIfStopRequested(const StopRequest* stop) {
  if (stop != nullptr) stop->ThrowIfRequested();
}

}  // namespace mdbtokvt
