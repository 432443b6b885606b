#include "query/PreparedQuery.h"

#include <string>

#include "common/Error.h"

namespace mdbtokvt {

namespace {

int Authorize(void* context, int action, const char* first, const char* second, const char*,
              const char*) {
  if (action == SQLITE_READ && first != nullptr) {
    auto* reads = static_cast<std::vector<ColumnRead>*>(context);
    reads->push_back(
        {first, second != nullptr ? std::optional<std::string>(second) : std::nullopt});
  }
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
    throw ConversionError(ErrorNumber::kTooFewParameters,
                          ClassicDescription(ErrorNumber::kTooFewParameters, "1"));
  }
  ThrowQueryFailed(message);
}

}  // namespace

PreparedQuery PrepareQuery(sqlite3* db, std::string_view sql) {
  PreparedQuery query;
  sqlite3_set_authorizer(db, Authorize, &query.reads);
  try {
    query.statement = PrepareSql(db, sql);
  } catch (const SqliteError& e) {
    sqlite3_set_authorizer(db, nullptr, nullptr);
    ThrowPrepareError(e.what());
  }
  sqlite3_set_authorizer(db, nullptr, nullptr);
  return query;
}

}  // namespace mdbtokvt
