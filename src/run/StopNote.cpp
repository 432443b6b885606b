#include "run/StopNote.h"

#include "common/StopOnSignals.h"

namespace mdbtokvt {

std::string StopNote(int signalNumber, StopMoment moment) {
  const std::string stopped = "Stopped by " + SignalName(signalNumber);
  switch (moment) {
    case StopMoment::kBeforeCommit:
      return stopped + ": the output folder was left as it was.";
    case StopMoment::kAfterCommit:
      return stopped + " once the table files had been replaced.";
    case StopMoment::kIdle:
      break;
  }
  return stopped + ".";
}

}  // namespace mdbtokvt
