// What a front end says when a signal has stopped it.
#pragma once

#include <string>

namespace mdbtokvt {

// The line a front end shows when a signal stops it: after a conversion that
// ended before its commit ("Stopped by SIGINT: the output folder was left as
// it was."), after one that had begun its commit and finished it, or when
// no conversion was running.
enum class StopMoment { kBeforeCommit, kAfterCommit, kIdle };
std::string StopNote(int signalNumber, StopMoment moment);

}  // namespace mdbtokvt
