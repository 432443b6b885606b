#include "query/OrderedTable.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/NamesEqual.h"
#include "query/LoadedTableModule.h"
#include "query/SqliteDatabase.h"
#include "query/TextCollation.h"
#include "sortorder/CollatedText.h"

namespace mdbtokvt {

namespace {

// Access names may not contain "!", so no table can be called this.
constexpr const char* kIndexName = "\"mdbtokvt!order\"";

// A loaded value bound to a parameter of the insert.
struct BindSink {
  sqlite3_stmt* statement;
  int slot;
  void Null() const { sqlite3_bind_null(statement, slot); }
  void Integer(int64_t value) const { sqlite3_bind_int64(statement, slot, value); }
  void Double(double value) const { sqlite3_bind_double(statement, slot, value); }
  void Text(std::string_view text) const {
    sqlite3_bind_text(statement, slot, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void Blob(std::string_view bytes) const {
    sqlite3_bind_blob(statement, slot, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  }
};

}  // namespace

std::optional<OrderedColumn> FindOrderColumn(const RecordPlan& plan, const LoadedTables& tables) {
  if (plan.orderColumn.empty()) return std::nullopt;
  std::optional<OrderedColumn> found;
  for (size_t t = 0; t < tables.size(); ++t) {
    if (!NamesEqual(plan.orderTable, tables[t].name)) continue;
    const auto& columns = tables[t].columns;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (!NamesEqual(columns[c].name(), plan.orderColumn)) continue;
      if (found) return std::nullopt;  // two tables or columns of that name
      found = OrderedColumn{t, c};
    }
  }
  if (!found || tables[found->table].rows > kMostRowsToStore) return std::nullopt;
  return found;
}

std::vector<std::vector<uint32_t>> SplitByLeadingValue(const LoadedTable& table, size_t column,
                                                       size_t parts, size_t minimumValues) {
  const LoadedColumn& values = table.columns[column];
  const SortOrder order = SortOrderOfColumnType(values.declaredType());
  // Each row's sort key, computed once (Null's is empty: it sorts first).
  std::vector<std::string> plainKeys(table.rows);
  std::vector<std::string_view> keys(table.rows);
  std::vector<uint32_t> sorted(table.rows);
  for (uint32_t row = 0; row < sorted.size(); ++row) {
    const ValueKind kind = values.kind(row);
    if (kind == ValueKind::kText) {
      keys[row] = SortKeyOfStored(order, values.bytes(row), plainKeys[row]);
    } else if (kind != ValueKind::kNull) {
      return {};
    }
    sorted[row] = row;
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [&](uint32_t a, uint32_t b) { return CompareSortKeys(keys[a], keys[b]) < 0; });
  std::vector<uint32_t> partOfRow(sorted.size());
  size_t distinct = 0;
  for (size_t i = 0; i < sorted.size(); ++i) {
    if (i == 0 || CompareSortKeys(keys[sorted[i - 1]], keys[sorted[i]]) != 0) ++distinct;
    partOfRow[sorted[i]] = static_cast<uint32_t>((distinct - 1) % parts);
  }
  if (parts < 2 || distinct < minimumValues) return {};
  std::vector<std::vector<uint32_t>> split(parts);
  for (uint32_t row = 0; row < partOfRow.size(); ++row) split[partOfRow[row]].push_back(row);
  return split;
}

void StoreOrderedTable(sqlite3* db, const LoadedTable& table, size_t column,
                       const std::vector<uint32_t>* rows) {
  const auto& columns = table.columns;
  std::string definitions;
  std::string parameters;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) {
      definitions += ", ";
      parameters += ", ";
    }
    definitions += QuoteIdentifier(columns[c].name()) + ' ' + columns[c].declaredType();
    parameters += '?';
  }
  const std::string name = QuoteIdentifier(table.name);
  ExecuteSql(db, "CREATE TABLE " + name + "(" + definitions + ")");

  ExecuteSql(db, "BEGIN");
  SqliteStatement insert = PrepareSql(db, "INSERT INTO " + name + " VALUES(" + parameters + ")");
  sqlite3_stmt* statement = insert.get();
  const uint64_t count = rows != nullptr ? rows->size() : table.rows;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t row = rows != nullptr ? (*rows)[i] : i;
    for (size_t c = 0; c < columns.size(); ++c) {
      HandLoadedValue(columns[c], row, BindSink{statement, static_cast<int>(c) + 1});
    }
    if (sqlite3_step(statement) != SQLITE_DONE) throw SqliteError(sqlite3_errmsg(db));
    sqlite3_reset(statement);
  }
  insert.reset();
  ExecuteSql(db, "COMMIT");

  std::string indexed = QuoteIdentifier(columns[column].name());
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c != column) indexed += ", " + QuoteIdentifier(columns[c].name());
  }
  ExecuteSql(db, std::string("CREATE INDEX ") + kIndexName + " ON " + name + "(" + indexed + ")");
  // Without its size SQLite takes the table for a large one and scans
  // another table first, which gives up the order.
  ExecuteSql(db, "ANALYZE " + name);
}

}  // namespace mdbtokvt
