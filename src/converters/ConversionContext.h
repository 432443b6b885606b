// The state one program keeps across conversions: the source kind, the
// edition row, the three name tables, how to report a fatal error and the
// request that stops a conversion. The front end owns it and passes it
// down; nothing of it is global.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "converters/ConversionReport.h"
#include "names/NameSet.h"
#include "names/NameTable.h"

namespace mdbtokvt {

class StopRequest;

// Shows a fatal message (title, text) to the user; the caller ends the process
// right after it returns.
using FatalReporter = std::function<void(std::string_view title, std::string_view text)>;

// Reports through the front end, then ends the process with status 1.
[[noreturn]] void EndWithFatalError(const FatalReporter& reporter, std::string_view title,
                                    std::string_view text);

struct ConversionContext {
  // True for an address-book source (name ending in "ABK"), false for an MDB source.
  bool addressBookSource = false;
  // Selected row of the edition list: 0 "Lumen", 1 "Vireo", 2 "Sentel", 3 "Quorra", -1 none.
  int16_t editionRow = 0;

  NameTable serviceNames;   // service names, and the service name of each receiver
  NameTable receiverNames;  // receiver names, and the member names of groups
  NameTable groupNames;     // group names

  FatalReporter reportFatal;
  // When set (owned by the front end), a stop requested of it ends the
  // conversion under way with error 18 before its commit begins; once the
  // commit has begun, the commit runs to its end.
  const StopRequest* stop = nullptr;

  // The code page the data source writes text in, described for the
  // report ("Windows-1250, from the locale pl_PL.UTF-8"), and a note on it
  // when there is one; each conversion's report starts with them.
  std::string codePage;
  std::string codePageNote;

  // Facts of the latest conversion; cleared when a conversion starts.
  ConversionReport report;
  // Names written in the latest conversion, for the dangling-name checks.
  NameSet writtenServices;
  NameSet writtenReceivers;
  // Keys (table file + NUL + long name) of the shortenings already reported.
  std::unordered_set<std::string> reportedShortenings;

  // Forgets the facts of the previous conversion (the name tables stay).
  void StartConversion() {
    report.clear();
    report.codePage = codePage;
    if (!codePageNote.empty()) report.sourceNotes.push_back(codePageNote);
    writtenServices.clear();
    writtenReceivers.clear();
    reportedShortenings.clear();
  }
};

// Source kind from a database file name: true when, with trailing blanks
// removed, it ends in "ABK" compared upper-cased (only the last three count).
bool IsAddressBookName(std::string_view databasePath);

// Member slots per group record for an edition row: 32 for row 0, else 500.
int16_t MemberLimitForEdition(int16_t editionRow);

// The note shown when a conversion completes, which depends on the edition row.
std::string CompletionNote(int16_t editionRow);

// The line a front end shows when a signal stops it: after a conversion that
// ended before its commit ("Stopped by SIGINT: the output folder was left as
// it was."), after one that had begun its commit and finished it, or when
// no conversion was running.
enum class StopMoment { kBeforeCommit, kAfterCommit, kIdle };
std::string StopNote(int signalNumber, StopMoment moment);

}  // namespace mdbtokvt
