#include "query/PreparedQuery.h"

#include <algorithm>
#include <string>

#include "common/Error.h"

namespace mdbtokvt {

namespace {

struct ReadCollector {
  const Catalog* catalog;
  std::vector<TableLoad> reads;

  // SQLite reports each table with its declared name; every table in a FROM
  // clause is reported, with an empty column name when none of its columns
  // is read (count(*)), so such a table still gets its rows.
  void Add(const char* table, const char* column) {
    if (table == nullptr) return;
    const std::string tableName(table);
    const auto known = std::find_if(catalog->begin(), catalog->end(),
                                    [&](const CatalogTable& t) { return t.name == tableName; });
    if (known == catalog->end()) return;
    auto read = std::find_if(reads.begin(), reads.end(),
                             [&](const TableLoad& t) { return t.table == tableName; });
    if (read == reads.end()) {
      reads.push_back({tableName, {}});
      read = reads.end() - 1;
    }
    if (column == nullptr) return;
    const std::string columnName(column);
    const bool isColumn = std::any_of(known->columns.begin(), known->columns.end(),
                                      [&](const CatalogColumn& c) { return c.name == columnName; });
    if (isColumn &&
        std::find(read->columns.begin(), read->columns.end(), columnName) == read->columns.end()) {
      read->columns.push_back(columnName);
    }
  }
};

int Authorize(void* context, int action, const char* first, const char* second, const char*,
              const char*) {
  if (action == SQLITE_READ) static_cast<ReadCollector*>(context)->Add(first, second);
  return SQLITE_OK;
}

std::string_view AfterPrefix(std::string_view text, std::string_view prefix) {
  return text.substr(prefix.size());
}

[[noreturn]] void ThrowPrepareError(const std::string& message) {
  constexpr std::string_view kNoTable = "no such table: ";
  constexpr std::string_view kNoColumn = "no such column: ";
  if (message.starts_with(kNoTable)) {
    std::string_view name = AfterPrefix(message, kNoTable);
    if (name.starts_with("main.")) name.remove_prefix(5);
    ThrowTableNotFound(std::string(name));
  }
  if (message.starts_with(kNoColumn)) {
    throw ConversionError(kErrTooFewParameters, "Too few parameters. Expected 1.");
  }
  throw ConversionError(kErrSyntax, "The database engine cannot run the query: " + message + ".");
}

}  // namespace

PreparedQuery PrepareQuery(sqlite3* db, std::string_view sql, const Catalog& catalog) {
  ReadCollector collector{&catalog, {}};
  sqlite3_set_authorizer(db, Authorize, &collector);
  PreparedQuery query;
  try {
    query.statement = PrepareSql(db, sql);
  } catch (const SqliteError& e) {
    sqlite3_set_authorizer(db, nullptr, nullptr);
    ThrowPrepareError(e.what());
  }
  sqlite3_set_authorizer(db, nullptr, nullptr);
  query.reads = std::move(collector.reads);
  return query;
}

}  // namespace mdbtokvt
