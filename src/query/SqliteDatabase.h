// RAII ownership of SQLite connections and statements, and the few calls the
// source layer makes on them with errors turned into exceptions.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mdbtokvt {

class StopRequest;

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Raised for SQLite failures; the data source maps the message to the
// database engine's error numbers.
class SqliteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Opens (or creates) an SQLite database set up for bulk loading: no journal,
// no syncing. path ":memory:" gives a private in-memory database.
SqliteDb OpenSqlite(const std::string& path);
void ExecuteSql(sqlite3* db, const std::string& sql);
SqliteStatement PrepareSql(sqlite3* db, std::string_view sql);

// From now on a stop requested of stop (which must outlive db) interrupts
// whatever statement db runs: the call fails with SQLITE_INTERRUPT.
void InterruptOnStop(sqlite3* db, const StopRequest& stop);

// An SQL identifier in double quotes, inner quotes doubled.
std::string QuoteIdentifier(std::string_view name);

}  // namespace mdbtokvt
