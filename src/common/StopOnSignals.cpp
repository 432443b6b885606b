#include "common/StopOnSignals.h"

#include <errno.h>
#include <string.h>

#include <atomic>
#include <string>

namespace mdbtokvt {

namespace {

// The request the handler records into: the one piece of state a signal
// handler can reach, so it has to be a global.
std::atomic<StopRequest*> gStopTarget{nullptr};
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

void RecordStopSignal(int signalNumber) {
  const int savedErrno = errno;
  if (StopRequest* stop = gStopTarget.load()) stop->Request(signalNumber);
  errno = savedErrno;
}

}  // namespace

StopOnSignals::StopOnSignals(StopRequest& stop) {
  gStopTarget.store(&stop);
  struct sigaction action {};
  action.sa_handler = RecordStopSignal;
  // Calls under way go on; the waits that must notice a stop watch the
  // request's pipe rather than count on EINTR.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : kStopSignals) sigaddset(&action.sa_mask, signalNumber);
  for (size_t i = 0; i < kStopSignals.size(); ++i) {
    struct sigaction& previous = previous_[i];
    if (::sigaction(kStopSignals[i], nullptr, &previous) != 0) continue;
    const bool ignored = !(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN;
    if (ignored && kStopSignals[i] == SIGHUP) continue;
    installed_[i] = ::sigaction(kStopSignals[i], &action, nullptr) == 0;
  }
}

StopOnSignals::~StopOnSignals() {
  for (size_t i = 0; i < kStopSignals.size(); ++i) {
    if (installed_[i]) ::sigaction(kStopSignals[i], &previous_[i], nullptr);
  }
  gStopTarget.store(nullptr);
}

std::string SignalName(int signalNumber) {
  const char* abbreviation = ::sigabbrev_np(signalNumber);
  if (abbreviation == nullptr) return "signal " + std::to_string(signalNumber);
  return std::string("SIG") + abbreviation;
}

}  // namespace mdbtokvt
