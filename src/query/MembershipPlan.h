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

// Where plan's membership join finds its tables and columns among the
// loaded tables (their shapes), when it can be joined without SQLite with
// the rows SQLite gives: the plan's order column is the group name, in a
// group table small enough to be stored in its order (kMostRowsToStore,
// OrderedTable.h); each table is loaded once and each column there once;
// the four keys are declared INTEGER and hold only integers and Null; the
// two names are text columns; prepared (the statement prepared on these
// tables) reads these six columns and no other, and gives the two names, in
// this order, as its only columns. The caller checks HoldsOnlyTexts of the
// two names.
std::optional<MembershipPlacement> PlaceMembershipJoin(const RecordPlan& plan,
                                                       const std::vector<LoadedTableShape>& tables,
                                                       const PreparedQuery& prepared);

// Whether every value of column is a text or Null.
bool HoldsOnlyTexts(const LoadedColumn& column);

}  // namespace mdbtokvt
