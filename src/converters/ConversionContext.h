// One conversion's state: what it reads (the source kind, the edition, the
// code page line), the request that stops it, and what it finds on the way
// (the report, the names written, the shortenings reported); and the name
// tables it shortens names in, which live as long as the program and are
// only referred to. The front end owns both and passes them down; nothing
// of it is global.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "converters/ConversionReport.h"
#include "converters/Edition.h"
#include "names/NameSet.h"
#include "names/NameTables.h"

namespace mdbtokvt {

class StopRequest;

struct ConversionContext {
  explicit ConversionContext(NameTables& nameTables) : names(nameTables) {}

  // The front end's, kept across its conversions.
  NameTables& names;

  // True for an address-book source (name ending in "ABK"), false for an MDB source.
  bool addressBookSource = false;
  Edition edition = Edition::kLumen;

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

}  // namespace mdbtokvt
