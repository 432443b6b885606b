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

std::vector<LoadedTableShape> ShapesOf(const LoadedTables& tables) {
  std::vector<LoadedTableShape> shapes;
  for (const LoadedTable& table : tables) shapes.push_back(ShapeOf(table));
  return shapes;
}

// A membership join the plan declares, placed on the loaded tables, with
// the names of the statement's two columns.
struct PlacedJoin {
  MembershipPlacement at;
  std::string groupField;
  std::string memberField;
};

// Where the join of the plan finds its tables, when the statement, prepared
// on tables of these shapes, is one the join can run.
std::optional<PlacedJoin> PlaceJoin(const std::vector<LoadedTableShape>& shapes,
                                    std::string_view sql, const RecordPlan& plan) {
  if (!plan.membership) return std::nullopt;
  LoadedTables empty;
  for (const LoadedTableShape& shape : shapes) empty.push_back(EmptyTableOf(shape));
  SqliteDb db = OpenSqlite(":memory:");
  RegisterTextCollations(db.get());
  AttachLoadedTables(db.get(), std::move(empty));
  const PreparedQuery prepared = PrepareQuery(db.get(), sql);
  const std::optional<MembershipPlacement> at = PlaceMembershipJoin(plan, shapes, prepared);
  if (!at) return std::nullopt;
  return PlacedJoin{*at, sqlite3_column_name(prepared.statement.get(), 0),
                    sqlite3_column_name(prepared.statement.get(), 1)};
}

bool NamesAreTexts(const PlacedJoin& placed, const LoadedTable& groups,
                   const LoadedTable& members) {
  return HoldsOnlyTexts(groups.columns[placed.at.groupName]) &&
         HoldsOnlyTexts(members.columns[placed.at.memberName]);
}

// The join on groups and members held whole and links read by links.
std::unique_ptr<Recordset> OpenPlacedJoin(const PlacedJoin& placed, const LoadedTable& groups,
                                          const LoadedTable& members, LinkPartsReader links,
                                          std::shared_ptr<const void> owner,
                                          const StopRequest* stop) {
  const MembershipPlacement& at = placed.at;
  MembershipTables joined{.groups = &groups,
                          .groupKey = at.groupKey,
                          .groupName = at.groupName,
                          .members = &members,
                          .memberKey = at.memberKey,
                          .memberName = at.memberName,
                          .links = std::move(links),
                          .linkGroup = at.linkGroup,
                          .linkMember = at.linkMember,
                          .owner = std::move(owner)};
  return OpenMembershipJoin(std::move(joined), placed.groupField, placed.memberField, stop);
}

std::unique_ptr<Recordset> OpenWithSqlite(LoadedTables loaded, std::string_view sql,
                                          const RecordPlan& plan, const StopRequest* stop) {
  const std::optional<OrderedColumn> ordered = FindOrderColumn(plan, loaded);
  const SharedLoadedTables tables = std::make_shared<const LoadedTables>(std::move(loaded));
  if (ordered && plan.mayRunInParts) {
    if (auto inParts = OpenInParts(tables, *ordered, sql, stop)) return inParts;
  }
  return Open(Prepare(tables, ordered, nullptr, sql, stop), stop);
}

// Runs open, reporting SQLite's failures as 3000 (or 18 after a stop).
template <class Opener>
std::unique_ptr<Recordset> Opening(const StopRequest* stop, Opener&& open) {
  try {
    return open();
  } catch (const SqliteError& e) {
    // Interrupted for a stop: the stop's error, not the engine's.
    ThrowIfStopRequested(stop);
    ThrowQueryFailed(e.what());
  }
}

}  // namespace

std::unique_ptr<Recordset> OpenLoadedRecordSource(LoadedTables loaded, std::string_view sql,
                                                  const RecordPlan& plan, const StopRequest* stop) {
  return Opening(stop, [&]() -> std::unique_ptr<Recordset> {
    const auto placed = PlaceJoin(ShapesOf(loaded), sql, plan);
    if (placed && NamesAreTexts(*placed, loaded[placed->at.groups], loaded[placed->at.members])) {
      const auto tables = std::make_shared<const LoadedTables>(std::move(loaded));
      const LoadedTable& links = (*tables)[placed->at.links];
      return OpenPlacedJoin(
          *placed, (*tables)[placed->at.groups], (*tables)[placed->at.members],
          [&links](const auto& visit) { visit(links); }, tables, stop);
    }
    return OpenWithSqlite(std::move(loaded), sql, plan, stop);
  });
}

std::unique_ptr<Recordset> OpenLoadedRecordSource(std::shared_ptr<const LoadedTablesFile> file,
                                                  std::string_view sql, const RecordPlan& plan,
                                                  const StopRequest* stop) {
  return Opening(stop, [&]() -> std::unique_ptr<Recordset> {
    if (const auto placed = PlaceJoin(file->shapes(), sql, plan)) {
      // The group and member tables whole; the links, by far the largest,
      // read from the file a part at a time whenever the join passes over
      // them.
      struct Held {
        std::shared_ptr<const LoadedTablesFile> file;
        LoadedTable groups;
        LoadedTable members;
      };
      auto held = std::make_shared<const Held>(
          Held{file, file->Load(placed->at.groups), file->Load(placed->at.members)});
      if (NamesAreTexts(*placed, held->groups, held->members)) {
        const size_t links = placed->at.links;
        auto readLinks = [file = held->file.get(), links](const auto& visit) {
          file->ForEachPart(links, [&](const LoadedTable& part, uint64_t) { visit(part); });
        };
        return OpenPlacedJoin(*placed, held->groups, held->members, readLinks, held, stop);
      }
    }
    return OpenWithSqlite(file->LoadAll(), sql, plan, stop);
  });
}

std::unique_ptr<Recordset> OpenLoadedRecordSource(const std::string& tablesPath,
                                                  std::string_view sql, const RecordPlan& plan) {
  return OpenLoadedRecordSource(ReadLoadedTables(tablesPath), sql, plan);
}

}  // namespace mdbtokvt
