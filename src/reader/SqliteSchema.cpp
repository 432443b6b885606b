#include "reader/SqliteSchema.h"

#include <string>

#include "access/MdbLibrary.h"
#include "query/SqliteDatabase.h"
#include "query/TextCollation.h"

namespace mdbtokvt {

bool IsTextColumn(int mdbType) {
  return mdbType == MDB_TEXT || mdbType == MDB_MEMO || mdbType == MDB_REPID;
}

std::string_view ColumnDefinition(int mdbType, SortOrder order) {
  switch (mdbType) {
    case MDB_BOOL:
      return kBooleanType;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
      return "INTEGER";
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC:
      return "REAL";
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
      return TextColumnType(order);
    default:
      return "BLOB";
  }
}

void CreateTables(sqlite3* db, const Catalog& catalog, SortOrder order) {
  std::string sql = "BEGIN;";
  for (const CatalogTable& table : catalog) {
    if (table.columns.empty()) continue;  // SQLite has no tables without columns
    sql += "CREATE TABLE " + QuoteIdentifier(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += QuoteIdentifier(table.columns[i].name);
      sql += ' ';
      sql += ColumnDefinition(table.columns[i].type, order);
    }
    sql += ");";
  }
  sql += "COMMIT;";
  ExecuteSql(db, sql);
}

}  // namespace mdbtokvt
