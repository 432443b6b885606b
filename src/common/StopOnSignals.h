// What the front ends do with the signals that ask a program to end: while a
// StopOnSignals lives, SIGINT, SIGTERM, SIGHUP and SIGQUIT request a stop
// of its StopRequest (StopRequest.h) instead of ending the process, so the
// conversion ends on its normal path and removes what it made. SIGHUP
// inherited as ignored (nohup) stays ignored; the others are caught even
// then (a shell starts background jobs with SIGINT and SIGQUIT ignored, yet
// a kill -INT sent to one is meant). One at a time per process; the core
// never installs one.
#pragma once

#include <signal.h>

#include <array>
#include <string>

#include "common/StopRequest.h"

namespace mdbtokvt {

// The signals that stop a conversion.
inline constexpr std::array<int, 4> kStopSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

class StopOnSignals {
 public:
  explicit StopOnSignals(StopRequest& stop);
  // Puts the previous actions back.
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  std::array<struct sigaction, kStopSignals.size()> previous_{};
  std::array<bool, kStopSignals.size()> installed_{};
};

// "SIGINT" for SIGINT, "signal 40" for a number without a name.
std::string SignalName(int signalNumber);

}  // namespace mdbtokvt
