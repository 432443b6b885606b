#include "query/LoadedTableModule.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "query/IntegerIndex.h"
#include "query/SqliteDatabase.h"
#include "sortorder/CollatedText.h"

namespace mdbtokvt {

namespace {

constexpr const char* kModuleName = "mdbtokvt_loaded";
// A table none of whose columns is read (count(*)) still needs one column
// to be declared; Access names never start with a blank.
constexpr const char* kPlaceholderColumn = "\" \" HIDDEN";

struct LoadedVtab : sqlite3_vtab {
  const LoadedTable* table = nullptr;
  std::vector<std::unique_ptr<IntegerIndex>> indexes;  // per column, built on first use

  const IntegerIndex& IndexOf(int column) {
    auto& index = indexes[static_cast<size_t>(column)];
    if (!index) {
      // The rows of the column by integer value, in row order.
      const LoadedColumn& values = table->columns[static_cast<size_t>(column)];
      index = std::make_unique<IntegerIndex>([&values](const auto& emit) {
        for (size_t row = 0; row < values.size(); ++row) {
          if (values.kind(row) == ValueKind::kInteger) {
            emit(values.integer(row), static_cast<uint32_t>(row));
          }
        }
      });
    }
    return *index;
  }
};

struct LoadedCursor : sqlite3_vtab_cursor {
  // Either every row in order (rows == nullptr) or the rows of an index.
  const uint32_t* rows = nullptr;
  size_t count = 0;
  size_t position = 0;

  uint64_t row() const { return rows != nullptr ? rows[position] : position; }
};

LoadedVtab& VtabOf(sqlite3_vtab* vtab) { return *static_cast<LoadedVtab*>(vtab); }
LoadedCursor& CursorOf(sqlite3_vtab_cursor* cursor) { return *static_cast<LoadedCursor*>(cursor); }

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
            char** error) {
  const LoadedTables& tables = **static_cast<const SharedLoadedTables*>(aux);
  const size_t which = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : tables.size();
  if (which >= tables.size()) {
    *error = sqlite3_mprintf("no loaded table %s", argc > 3 ? argv[3] : "");
    return SQLITE_ERROR;
  }
  const LoadedTable& table = tables[which];
  std::string schema = "CREATE TABLE x(";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (i > 0) schema += ", ";
    schema += QuoteIdentifier(table.columns[i].name()) + ' ' + table.columns[i].declaredType();
  }
  if (table.columns.empty()) schema += kPlaceholderColumn;
  schema += ')';
  const int rc = sqlite3_declare_vtab(db, schema.c_str());
  if (rc != SQLITE_OK) return rc;
  auto vtab = std::make_unique<LoadedVtab>();
  vtab->table = &table;
  vtab->indexes.resize(table.columns.size());
  *out = vtab.release();
  return SQLITE_OK;
}

// Costs are those of a table of a fixed size, whatever its real size: the
// join order then follows the FROM clause as it does for tables SQLite knows
// nothing about, so rows come in the same order as from stored tables.
constexpr double kAssumedRows = 1'000'000;
constexpr double kLookupRows = 10;

// Whether SQLite gives a column so declared numeric affinity (its rules, in
// their order): a comparison with it then reads a text that looks like a
// number as that number.
bool HasNumericAffinity(std::string_view declaredType) {
  std::string upper(declaredType);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto has = [&](std::string_view part) { return upper.find(part) != std::string::npos; };
  if (has("INT")) return true;
  if (has("CHAR") || has("CLOB") || has("TEXT")) return false;
  if (has("BLOB") || upper.empty()) return false;
  return true;  // REAL, FLOA, DOUB, or anything else: numeric
}

// The one integer a column of integers must hold to equal value in an SQLite
// comparison with numeric affinity: an integer itself, a real with no
// fraction within range, a text that reads as either. Nothing when no
// integer can equal it (Null, a blob, other texts and reals).
std::optional<int64_t> IntegerEqualTo(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return sqlite3_value_int64(value);
    case SQLITE_FLOAT: {
      const double number = sqlite3_value_double(value);
      // 2^63 is exactly representable; every integral double below it in
      // magnitude converts exactly.
      constexpr double kLimit = 9223372036854775808.0;
      if (!(number >= -kLimit && number < kLimit) || std::trunc(number) != number) {
        return std::nullopt;
      }
      return static_cast<int64_t>(number);
    }
    case SQLITE_TEXT: {
      std::unique_ptr<sqlite3_value, decltype(&sqlite3_value_free)> copy(sqlite3_value_dup(value),
                                                                         sqlite3_value_free);
      if (!copy) return std::nullopt;
      const int type = sqlite3_value_numeric_type(copy.get());
      if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return std::nullopt;
      return IntegerEqualTo(copy.get());
    }
    default:
      return std::nullopt;
  }
}

int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const LoadedTable& table = *VtabOf(vtab).table;
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& constraint = info->aConstraint[i];
    if (!constraint.usable || constraint.op != SQLITE_INDEX_CONSTRAINT_EQ ||
        constraint.iColumn < 0 || static_cast<size_t>(constraint.iColumn) >= table.columns.size() ||
        !table.columns[static_cast<size_t>(constraint.iColumn)].onlyIntegers()) {
      continue;
    }
    // The look-up finds exactly the rows SQLite's comparison would accept
    // where the column compares as a number; elsewhere it finds a superset
    // and SQLite checks each row.
    info->aConstraintUsage[i].argvIndex = 1;
    info->aConstraintUsage[i].omit =
        HasNumericAffinity(table.columns[static_cast<size_t>(constraint.iColumn)].declaredType());
    info->idxNum = constraint.iColumn;
    info->estimatedRows = static_cast<sqlite3_int64>(kLookupRows);
    info->estimatedCost = kLookupRows;
    return SQLITE_OK;
  }
  info->idxNum = -1;
  info->estimatedRows = static_cast<sqlite3_int64>(kAssumedRows);
  info->estimatedCost = kAssumedRows;
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* vtab) {
  delete &VtabOf(vtab);
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = std::make_unique<LoadedCursor>().release();
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete &CursorOf(cursor);
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
  LoadedCursor& cursor = CursorOf(base);
  LoadedVtab& vtab = VtabOf(base->pVtab);
  cursor.position = 0;
  cursor.rows = nullptr;
  cursor.count = vtab.table->rows;
  if (idxNum < 0 || argc != 1) return SQLITE_OK;
  const std::optional<int64_t> wanted = IntegerEqualTo(argv[0]);
  if (!wanted) {
    cursor.count = 0;
    return SQLITE_OK;
  }
  const std::span<const uint32_t> rows = vtab.IndexOf(idxNum).Find(*wanted);
  cursor.rows = rows.data();
  cursor.count = rows.size();
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* cursor) {
  ++CursorOf(cursor).position;
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* cursor) {
  return CursorOf(cursor).position >= CursorOf(cursor).count ? 1 : 0;
}

// A loaded value as the result of a virtual table's column.
struct ResultSink {
  sqlite3_context* context;
  void Null() const { sqlite3_result_null(context); }
  void Integer(int64_t value) const { sqlite3_result_int64(context, value); }
  void Double(double value) const { sqlite3_result_double(context, value); }
  void Text(std::string_view text) const {
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void Blob(std::string_view bytes) const {
    sqlite3_result_blob(context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  }
};

int Column(sqlite3_vtab_cursor* base, sqlite3_context* context, int index) {
  const LoadedCursor& cursor = CursorOf(base);
  const LoadedTable& table = *VtabOf(base->pVtab).table;
  if (index < 0 || static_cast<size_t>(index) >= table.columns.size()) {
    sqlite3_result_null(context);
    return SQLITE_OK;
  }
  const LoadedColumn& column = table.columns[static_cast<size_t>(index)];
  HandLoadedValue(column, cursor.row(), ResultSink{context});
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
  *rowid = static_cast<sqlite3_int64>(CursorOf(cursor).row());
  return SQLITE_OK;
}

constexpr sqlite3_module kModule = {
    /* iVersion */ 0,
    /* xCreate */ Connect,
    /* xConnect */ Connect,
    /* xBestIndex */ BestIndex,
    /* xDisconnect */ Disconnect,
    /* xDestroy */ Disconnect,
    /* xOpen */ Open,
    /* xClose */ Close,
    /* xFilter */ Filter,
    /* xNext */ Next,
    /* xEof */ Eof,
    /* xColumn */ Column,
    /* xRowid */ Rowid,
    /* xUpdate */ nullptr,
    /* xBegin */ nullptr,
    /* xSync */ nullptr,
    /* xCommit */ nullptr,
    /* xRollback */ nullptr,
    /* xFindFunction */ nullptr,
    /* xRename */ nullptr,
    /* xSavepoint */ nullptr,
    /* xRelease */ nullptr,
    /* xRollbackTo */ nullptr,
    /* xShadowName */ nullptr,
};

void DestroyTables(void* tables) { delete static_cast<SharedLoadedTables*>(tables); }

}  // namespace

void AttachLoadedTables(sqlite3* db, LoadedTables tables, std::optional<size_t> storedElsewhere) {
  AttachLoadedTables(db, std::make_shared<const LoadedTables>(std::move(tables)), storedElsewhere);
}

void AttachLoadedTables(sqlite3* db, SharedLoadedTables tables,
                        std::optional<size_t> storedElsewhere) {
  auto owned = std::make_unique<SharedLoadedTables>(std::move(tables));
  const LoadedTables& view = **owned;
  // On failure SQLite still calls the destructor, so ownership passes either way.
  const int rc =
      sqlite3_create_module_v2(db, kModuleName, &kModule, owned.release(), DestroyTables);
  if (rc != SQLITE_OK) throw SqliteError(sqlite3_errmsg(db));
  std::string sql = "BEGIN;";
  for (size_t i = 0; i < view.size(); ++i) {
    if (storedElsewhere == i) continue;
    sql += "CREATE VIRTUAL TABLE " + QuoteIdentifier(view[i].name) + " USING " + kModuleName + "(" +
           std::to_string(i) + ");";
  }
  sql += "COMMIT;";
  ExecuteSql(db, sql);
}

}  // namespace mdbtokvt
