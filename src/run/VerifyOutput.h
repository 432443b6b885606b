// Checks that the three table files of a folder fit together.
#pragma once

#include <string>
#include <vector>

#include "run/FileSteps.h"

namespace mdbtokvt {

struct VerifyResult {
  // What was set right first: files a stopped conversion left, a replacement
  // it had begun (one line each).
  std::vector<std::string> notes;
  // One line per problem (names as stored, in the table files' code page).
  std::vector<std::string> problems;
  int services = 0, receivers = 0, groups = 0;
  bool ok() const { return problems.empty(); }
};

// First settles what a stopped conversion left in the folder (as the next
// conversion into it would), so the files read are one whole set. Then reads
// TERMTAB.KVT, USERTAB.KVT and GROUPTAB.KVT of folder and checks their
// headers and lengths, that every receiver's service names a service record,
// every group member names a receiver record, member counts fit the slots,
// and no two service records share a name.
VerifyResult VerifyOutputFolder(const std::string& folder, const FileStepHook& steps = {});

}  // namespace mdbtokvt
