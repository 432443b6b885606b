// Whether a record source declared a membership join (RecordPlan.h) can be
// joined by MembershipJoin.h on the tables the reader loaded, and where its
// tables and columns are among them.
#pragma once

#include <cstddef>
#include <optional>

#include "query/LoadedTables.h"
#include "query/PreparedQuery.h"
#include "source/RecordPlan.h"

namespace mdbtokvt {

struct MembershipPlacement {
  size_t groups, groupKey, groupName;
  size_t links, linkGroup, linkMember;
  size_t members, memberKey, memberName;
};

// Where plan's membership join finds its tables and columns, when it can be
// joined without SQLite with the rows SQLite gives: the plan's order column
// is the group name (FindOrderColumn finds it: the group table is small
// enough to be stored in its order); each table is loaded once and each
// column there once; the four keys are declared INTEGER and hold only
// integers and Null; the two names are text columns holding only texts and
// Null; prepared (the statement prepared on these tables) reads these six
// columns and no other, and gives the two names, in this order, as its
// only columns.
std::optional<MembershipPlacement> PlaceMembershipJoin(const RecordPlan& plan,
                                                       const LoadedTables& tables,
                                                       const PreparedQuery& prepared);

}  // namespace mdbtokvt
