// Checks that the three table files of a folder fit together.
#pragma once

#include <string>
#include <vector>

namespace mdbtokvt {

struct VerifyResult {
  // One line per problem (names as stored, in the table files' code page).
  std::vector<std::string> problems;
  int services = 0, receivers = 0, groups = 0;
  bool ok() const { return problems.empty(); }
};

// Reads TERMTAB.KVT, USERTAB.KVT and GROUPTAB.KVT of folder and checks their
// headers and lengths, that every receiver's service names a service record,
// every group member names a receiver record, member counts fit the slots,
// and no two service records share a name.
VerifyResult VerifyOutputFolder(const std::string& folder);

}  // namespace mdbtokvt
