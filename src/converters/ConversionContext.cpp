#include "converters/ConversionContext.h"

#include "common/StopOnSignals.h"

namespace mdbtokvt {

bool IsAddressBookName(std::string_view databasePath) {
  while (!databasePath.empty() && databasePath.back() == ' ') databasePath.remove_suffix(1);
  if (databasePath.size() < 3) return false;
  std::string tail(databasePath.substr(databasePath.size() - 3));
  for (char& c : tail) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return tail == "ABK";
}

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
