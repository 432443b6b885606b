#include "query/LoadedRecordSource.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "common/Error.h"
#include "common/StopRequest.h"
#include "query/LoadedTableModule.h"
#include "query/LoadedTables.h"
#include "query/MembershipJoin.h"
#include "query/MembershipPlan.h"
#include "query/MergedRecordset.h"
#include "query/OrderedTable.h"
#include "query/PreparedQuery.h"
#include "query/SqliteDatabase.h"
#include "query/SqliteRecordset.h"
#include "query/TextCollation.h"

namespace mdbtokvt {

namespace {

constexpr unsigned kMostSorterThreads = 4;

// A statement that may run in parts, whose order column has at least this
// many distinct values, runs in two parts at once on a machine with more
// than one core.
constexpr size_t kFewestValuesToSplit = 256;
constexpr size_t kParts = 2;

// Helper threads beside the one running the query: one per further core.
unsigned SorterThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? std::min(cores - 1, kMostSorterThreads) : 0;
}

// A connection with the tables (the ordered one stored, with only rows
// when given) and sql prepared on it.
struct PreparedPart {
  SqliteDb db;
  PreparedQuery query;
};

PreparedPart Prepare(const SharedLoadedTables& tables, const std::optional<OrderedColumn>& ordered,
                     const std::vector<uint32_t>* rows, std::string_view sql,
                     const StopRequest* stop) {
  SqliteDb db = OpenSqlite(":memory:");
  if (stop != nullptr) InterruptOnStop(db.get(), *stop);
  // A statement that must sort its whole result has SQLite sort the
  // pieces in helper threads while the query runs.
  ExecuteSql(db.get(), "PRAGMA threads=" + std::to_string(SorterThreads()));
  RegisterTextCollations(db.get());
  if (ordered) StoreOrderedTable(db.get(), (*tables)[ordered->table], ordered->column, rows);
  AttachLoadedTables(db.get(), tables,
                     ordered ? std::optional<size_t>(ordered->table) : std::nullopt);
  PreparedQuery query = PrepareQuery(db.get(), sql);
  return {std::move(db), std::move(query)};
}

// The result column that is the ordered column itself, or -1. Also -1 when
// another result column bears the ordered column's name: the ORDER BY term
// may then mean that column.
int ResultColumnOf(sqlite3_stmt* statement, const LoadedTable& table, size_t column) {
  int found = -1;
  for (int i = 0; i < sqlite3_column_count(statement); ++i) {
    const char* tableName = sqlite3_column_table_name(statement, i);
    const char* columnName = sqlite3_column_origin_name(statement, i);
    const bool isOrdered = tableName != nullptr && columnName != nullptr &&
                           table.name == tableName && table.columns[column].name() == columnName;
    const char* name = sqlite3_column_name(statement, i);
    if (!isOrdered && name != nullptr && NamesEqual(name, table.columns[column].name())) return -1;
    if (isOrdered && found < 0) found = i;
  }
  return found;
}

// sortKeyColumn: a result column whose sort keys (in order) the recordset
// keeps. SQLite's declared type of a result column leaves out the collation,
// so the order comes from the loaded column.
std::unique_ptr<SqliteRecordset> Open(PreparedPart part, const StopRequest* stop,
                                      int sortKeyColumn = -1,
                                      SortOrder order = SortOrder::kGeneralLegacy) {
  return std::make_unique<SqliteRecordset>(std::move(part.db), std::move(part.query.statement),
                                           sortKeyColumn, order, stop);
}

// Runs a statement that may run in parts, sorted by a column of many values,
// on two connections, each with every other value of the ordered table's
// column, in threads of their own, and merges their rows on that column.
// Nothing when the column has too few values or the machine one core.
std::unique_ptr<Recordset> OpenInParts(const SharedLoadedTables& tables,
                                       const OrderedColumn& ordered, std::string_view sql,
                                       const StopRequest* stop) {
  const LoadedTable& table = (*tables)[ordered.table];
  if (SorterThreads() == 0) return nullptr;
  const std::vector<std::vector<uint32_t>> rows =
      SplitByLeadingValue(table, ordered.column, kParts, kFewestValuesToSplit);
  if (rows.empty()) return nullptr;
  std::vector<PreparedPart> prepared;
  for (const auto& partRows : rows) {
    prepared.push_back(Prepare(tables, ordered, &partRows, sql, stop));
  }
  const int key = ResultColumnOf(prepared.front().query.statement.get(), table, ordered.column);
  if (key < 0) return nullptr;
  std::vector<std::unique_ptr<SqliteRecordset>> parts;
  const SortOrder order = SortOrderOfColumnType(table.columns[ordered.column].declaredType());
  for (PreparedPart& part : prepared) parts.push_back(Open(std::move(part), stop, key, order));
  return std::make_unique<MergedRecordset>(std::move(parts));
}

// Joins a statement the plan declares a membership join without SQLite,
// when the loaded tables are what that takes; nothing otherwise.
std::unique_ptr<Recordset> OpenJoined(const SharedLoadedTables& tables, std::string_view sql,
                                      const RecordPlan& plan, const StopRequest* stop) {
  SqliteDb db = OpenSqlite(":memory:");
  RegisterTextCollations(db.get());
  AttachLoadedTables(db.get(), tables);
  const PreparedQuery prepared = PrepareQuery(db.get(), sql);
  const std::optional<MembershipPlacement> placed = PlaceMembershipJoin(plan, *tables, prepared);
  if (!placed) return nullptr;
  const LoadedTable& links = (*tables)[placed->links];
  MembershipTables joined{.groups = &(*tables)[placed->groups],
                          .groupKey = placed->groupKey,
                          .groupName = placed->groupName,
                          .members = &(*tables)[placed->members],
                          .memberKey = placed->memberKey,
                          .memberName = placed->memberName,
                          .links = [&links](const auto& visit) { visit(links); },
                          .linkGroup = placed->linkGroup,
                          .linkMember = placed->linkMember,
                          .owner = tables};
  return OpenMembershipJoin(std::move(joined), sqlite3_column_name(prepared.statement.get(), 0),
                            sqlite3_column_name(prepared.statement.get(), 1), stop);
}

}  // namespace

std::unique_ptr<Recordset> OpenLoadedRecordSource(LoadedTables loaded, std::string_view sql,
                                                  const RecordPlan& plan, const StopRequest* stop) {
  try {
    const std::optional<OrderedColumn> ordered = FindOrderColumn(plan, loaded);
    const SharedLoadedTables tables = std::make_shared<const LoadedTables>(std::move(loaded));
    if (plan.membership) {
      if (auto joined = OpenJoined(tables, sql, plan, stop)) return joined;
    }
    if (ordered && plan.mayRunInParts) {
      if (auto inParts = OpenInParts(tables, *ordered, sql, stop)) return inParts;
    }
    return Open(Prepare(tables, ordered, nullptr, sql, stop), stop);
  } catch (const SqliteError& e) {
    // Interrupted for a stop: the stop's error, not the engine's.
    ThrowIfStopRequested(stop);
    ThrowQueryFailed(e.what());
  }
}

std::unique_ptr<Recordset> OpenLoadedRecordSource(const std::string& tablesPath,
                                                  std::string_view sql, const RecordPlan& plan) {
  return OpenLoadedRecordSource(ReadLoadedTables(tablesPath), sql, plan);
}

}  // namespace mdbtokvt
