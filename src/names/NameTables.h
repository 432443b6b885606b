// The three name tables a program keeps for as long as it runs, so that a
// name shortened in one conversion is shortened the same way in the next.
// The front end owns them; each conversion's context refers to them.
#pragma once

#include "names/NameTable.h"

namespace mdbtokvt {

struct NameTables {
  NameTable serviceNames;   // service names, and the service name of each receiver
  NameTable receiverNames;  // receiver names, and the member names of groups
  NameTable groupNames;     // group names
};

}  // namespace mdbtokvt
