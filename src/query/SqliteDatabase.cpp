#include "query/SqliteDatabase.h"

#include "common/StopRequest.h"

namespace mdbtokvt {

SqliteDb OpenSqlite(const std::string& path) {
  // SQLite keeps memory statistics behind a global mutex on every
  // allocation; nothing here reads them. Only possible before SQLite starts
  // up, so done once, before the first connection (refused, harmlessly,
  // when something else started SQLite first).
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  SqliteDb db(raw);
  if (rc != SQLITE_OK) {
    throw SqliteError(raw != nullptr ? sqlite3_errmsg(raw) : "cannot open SQLite database");
  }
  ExecuteSql(db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
  return db;
}

void InterruptOnStop(sqlite3* db, const StopRequest& stop) {
  // Every thousand steps of the statement's program: an atomic load.
  constexpr int kStepsPerLook = 1000;
  sqlite3_progress_handler(
      db, kStepsPerLook,
      [](void* request) { return static_cast<const StopRequest*>(request)->requested() ? 1 : 0; },
      const_cast<StopRequest*>(&stop));
}

void ExecuteSql(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw SqliteError(text);
  }
}

SqliteStatement PrepareSql(sqlite3* db, std::string_view sql) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
  SqliteStatement statement(raw);
  if (rc != SQLITE_OK) throw SqliteError(sqlite3_errmsg(db));
  if (!statement) throw SqliteError("the statement is empty");
  return statement;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

}  // namespace mdbtokvt
