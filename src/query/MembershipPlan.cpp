#include "query/MembershipPlan.h"

#include <algorithm>
#include <string>

#include "common/NamesEqual.h"
#include "query/OrderedTable.h"

namespace mdbtokvt {

namespace {

// The one loaded table of that name.
std::optional<size_t> TableNamed(const std::vector<LoadedTableShape>& tables,
                                 const std::string& name) {
  std::optional<size_t> found;
  for (size_t t = 0; t < tables.size(); ++t) {
    if (!NamesEqual(tables[t].name, name)) continue;
    if (found) return std::nullopt;
    found = t;
  }
  return found;
}

std::optional<size_t> ColumnNamed(const LoadedTableShape& table, const std::string& name) {
  std::optional<size_t> found;
  for (size_t c = 0; c < table.columns.size(); ++c) {
    if (!NamesEqual(table.columns[c].name, name)) continue;
    if (found) return std::nullopt;
    found = c;
  }
  return found;
}

bool IsIntegerKey(const LoadedColumnShape& column) {
  return column.declaredType == "INTEGER" && column.onlyIntegers;
}

bool IsColumn(const char* tableName, const char* columnName, const LoadedTableShape& table,
              size_t column) {
  return tableName != nullptr && columnName != nullptr && table.name == tableName &&
         table.columns[column].name == columnName;
}

}  // namespace

bool HoldsOnlyTexts(const LoadedColumn& column) {
  for (size_t row = 0; row < column.size(); ++row) {
    const ValueKind kind = column.kind(row);
    if (kind != ValueKind::kText && kind != ValueKind::kNull) return false;
  }
  return true;
}

std::optional<MembershipPlacement> PlaceMembershipJoin(const RecordPlan& plan,
                                                       const std::vector<LoadedTableShape>& tables,
                                                       const PreparedQuery& prepared) {
  if (!plan.membership) return std::nullopt;
  const MembershipJoinPlan& join = *plan.membership;
  if (!NamesEqual(plan.orderTable, join.groups) || !NamesEqual(plan.orderColumn, join.groupName)) {
    return std::nullopt;
  }
  const auto groups = TableNamed(tables, join.groups);
  const auto links = TableNamed(tables, join.links);
  const auto members = TableNamed(tables, join.members);
  if (!groups || !links || !members || *groups == *links || *groups == *members ||
      *links == *members) {
    return std::nullopt;
  }
  const auto column = [&](size_t table, const std::string& name) {
    return ColumnNamed(tables[table], name);
  };
  const auto groupKey = column(*groups, join.groupKey);
  const auto groupName = column(*groups, join.groupName);
  const auto linkGroup = column(*links, join.linkGroup);
  const auto linkMember = column(*links, join.linkMember);
  const auto memberKey = column(*members, join.memberKey);
  const auto memberName = column(*members, join.memberName);
  if (!groupKey || !groupName || !linkGroup || !linkMember || !memberKey || !memberName ||
      *linkGroup == *linkMember) {
    return std::nullopt;
  }
  const MembershipPlacement placed{*groups,     *groupKey, *groupName, *links,     *linkGroup,
                                   *linkMember, *members,  *memberKey, *memberName};
  const auto& g = tables[placed.groups];
  const auto& l = tables[placed.links];
  const auto& m = tables[placed.members];
  if (!IsIntegerKey(g.columns[placed.groupKey]) || !IsIntegerKey(l.columns[placed.linkGroup]) ||
      !IsIntegerKey(l.columns[placed.linkMember]) || !IsIntegerKey(m.columns[placed.memberKey]) ||
      !g.columns[placed.groupName].holdsText || !m.columns[placed.memberName].holdsText ||
      g.rows > kMostRowsToStore) {
    return std::nullopt;
  }

  // The statement reads the six columns, and only them.
  const std::pair<const LoadedTableShape*, size_t> used[] = {
      {&g, placed.groupKey},   {&g, placed.groupName}, {&l, placed.linkGroup},
      {&l, placed.linkMember}, {&m, placed.memberKey}, {&m, placed.memberName}};
  for (const ColumnRead& read : prepared.reads) {
    if (!read.column || read.column->empty()) {
      // A table announced as such: one of the three.
      const bool joined = NamesEqual(read.table, g.name) || NamesEqual(read.table, l.name) ||
                          NamesEqual(read.table, m.name);
      if (!joined) return std::nullopt;
      continue;
    }
    const bool known = std::any_of(std::begin(used), std::end(used), [&](const auto& u) {
      return NamesEqual(u.first->name, read.table) &&
             NamesEqual(u.first->columns[u.second].name, *read.column);
    });
    if (!known) return std::nullopt;
  }
  sqlite3_stmt* statement = prepared.statement.get();
  if (sqlite3_column_count(statement) != 2 ||
      !IsColumn(sqlite3_column_table_name(statement, 0), sqlite3_column_origin_name(statement, 0),
                g, placed.groupName) ||
      !IsColumn(sqlite3_column_table_name(statement, 1), sqlite3_column_origin_name(statement, 1),
                m, placed.memberName)) {
    return std::nullopt;
  }
  return placed;
}

}  // namespace mdbtokvt
