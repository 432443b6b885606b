// The group query run without SQLite: a table of groups joined to a table of
// members through a table of links on integer keys, ordered by the group's
// name, then the member's, in their text collations. It gives the rows SQLite
// gives for that statement with the group table stored by its name column
// (OrderedTable.h), in the same order, ties included:
//   - groups equal in the collation come by their key, then by row;
//   - a run of groups equal in the collation is sorted by member name as one,
//     and rows equal in both names keep the order of their group, then of
//     the link row, then of the member row.
// The group and member tables are held whole (one value per row, computed
// once); the links are read a part at a time, once to count each group's
// rows and once more for each window of groups whose rows are kept at once,
// so memory grows with the number of groups and members, not of links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "query/LoadedTables.h"
#include "source/Recordset.h"

namespace mdbtokvt {

class StopRequest;

// Calls visit with every row of the links table, a part at a time, in row
// order; may be called again for another pass.
using LinkPartsReader = std::function<void(const std::function<void(const LoadedTable&)>& visit)>;

struct MembershipTables {
  const LoadedTable* groups = nullptr;
  size_t groupKey = 0;   // an integer column of groups
  size_t groupName = 0;  // a text column of groups
  const LoadedTable* members = nullptr;
  size_t memberKey = 0;
  size_t memberName = 0;
  LinkPartsReader links;  // its parts have the link columns at these places
  size_t linkGroup = 0;
  size_t linkMember = 0;
  // Owns what the pointers and the reader use, for as long as the recordset.
  std::shared_ptr<const void> owner;
};

// Joined rows held at once, at most (4 bytes each), unless one run of groups
// equal in the collation has more.
inline constexpr size_t kMostJoinedRowsAtOnce = size_t{8} << 20;

// The recordset of the join: two columns, named groupField and memberField,
// the group's name and the member's, as SqliteRecordset gives them (a Null
// name is Null). Raises 3000 when a link part holds a key that is not an
// integer or Null, 6 when the join has more rows than a recordset counts,
// and 18 for a stop requested while the links are read or at a move.
std::unique_ptr<Recordset> OpenMembershipJoin(MembershipTables tables, std::string groupField,
                                              std::string memberField,
                                              const StopRequest* stop = nullptr,
                                              size_t mostRowsAtOnce = kMostJoinedRowsAtOnce);

}  // namespace mdbtokvt
