#pragma once

#include <optional>
#include <string>

namespace mdbtokvt {

// A statement of this form, with these names (in any letter case), the
// tables in any order in its FROM clause:
//   SELECT groups.groupName, members.memberName FROM groups, members, links
//   WHERE groups.groupKey = links.linkGroup AND members.memberKey = links.linkMember
//   ORDER BY groupName, memberName
// The query layer may join the tables itself when they are what it takes:
// the keys integers, the names texts.
struct MembershipJoinPlan {
  std::string groups, groupKey, groupName;
  std::string links, linkGroup, linkMember;
  std::string members, memberKey, memberName;

  bool operator==(const MembershipJoinPlan&) const = default;
};

// How the query layer may run a record source: what its writer knows about
// it, declared beside it rather than read out of its text. The query layer
// takes from it what pays on the tables it loads. Storing the order table
// in a column's order changes no result, whichever column; running in parts
// gives the statement's rows only when mayRunInParts is true of it.
// The default plan is the plain one: nothing known beyond the text, every
// table served as it was loaded and SQLite sorting what it must.
struct RecordPlan {
  // The column the statement's ORDER BY sorts by first, as the loaded tables
  // name it (e.g. GROUPS and GRNAME); both empty when the order is no
  // concern of the plan. That table can be stored in the column's order.
  std::string orderTable;
  std::string orderColumn;
  // Whether the statement may run on parts of orderTable, each with some of
  // orderColumn's values, and their rows be merged on that column: true only
  // for one SELECT over tables joined by commas (orderTable named once) with
  // WHERE and an ascending ORDER BY only, whose result holds orderColumn:
  // each of its rows comes from one row of orderTable.
  bool mayRunInParts = false;
  // Set when the statement is a membership join (orderTable and orderColumn
  // then name its groups and groupName).
  std::optional<MembershipJoinPlan> membership;

  bool operator==(const RecordPlan&) const = default;
};

}  // namespace mdbtokvt
