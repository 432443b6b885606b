#include "converters/ConversionContext.h"

#include <cstdlib>
#include <iostream>

#include "common/StopOnSignals.h"

namespace mdbtokvt {

void EndWithFatalError(const FatalReporter& reporter, std::string_view title,
                       std::string_view text) {
  if (reporter) {
    reporter(title, text);
  } else {
    std::cerr << title << ": " << text << std::endl;
  }
  std::exit(EXIT_FAILURE);
}

bool IsAddressBookName(std::string_view databasePath) {
  while (!databasePath.empty() && databasePath.back() == ' ') databasePath.remove_suffix(1);
  if (databasePath.size() < 3) return false;
  std::string tail(databasePath.substr(databasePath.size() - 3));
  for (char& c : tail) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return tail == "ABK";
}

int16_t MemberLimitForEdition(int16_t editionRow) { return editionRow == 0 ? 32 : 500; }

std::string CompletionNote(int16_t editionRow) {
  if (editionRow != 0) return "Conversion complete.";
  return std::string("Conversion complete. If you have any Groups with over 32 members, ") +
         "those Groups were truncated to the first 32 members for compatibility " +
         "with Telvane Wireless Lumen. For support of Groups with up to 500 " +
         "members please see Telvane Wireless Vireo, available at " +
         "https://www.telvane.example/";
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
