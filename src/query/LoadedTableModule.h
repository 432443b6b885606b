// Loaded tables (LoadedTables.h) served to SQLite as virtual tables, so a
// record source's SQL runs on them unchanged. An equality on a column that
// holds only integers is answered from an index built on first use (an
// array for values close together, a hash map otherwise): the joins of a
// record source then cost one look-up per row instead of an automatic index
// built and searched by SQLite. Where the column compares as a number the
// look-up finds exactly the matching rows, and SQLite does not check them
// again.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <optional>

#include "sortorder/CollatedText.h"
#include "query/LoadedTables.h"

namespace mdbtokvt {

// Gives db the tables (the connection owns them from now on and frees them
// when it closes) and creates one virtual table for each, under the table's
// own name, with its columns' declared types (text columns carry the text
// collation, which the caller registers), except for the table numbered
// storedElsewhere, which the caller has stored itself. Raises SqliteError.
void AttachLoadedTables(sqlite3* db, LoadedTables tables,
                        std::optional<size_t> storedElsewhere = std::nullopt);

// Hands the value of column at row to SQLite the one way the virtual tables
// serve it and the ordered table (OrderedTable.h) stores it: through
// sink.Null(), sink.Integer(int64_t), sink.Double(double), sink.Text(bytes)
// or sink.Blob(bytes), a text in its stored form (CollatedText.h) and the
// Null of a text column as the Null text marker. The bytes live as long as
// the column.
template <class Sink>
void HandLoadedValue(const LoadedColumn& column, uint64_t row, Sink&& sink) {
  switch (column.kind(row)) {
    case ValueKind::kNull:
      if (column.holdsText()) {
        sink.Text(kNullTextMarker);
      } else {
        sink.Null();
      }
      return;
    case ValueKind::kInteger:
    case ValueKind::kBoolean:  // never loaded: Yes/No loads as 1 or 0
      sink.Integer(column.integer(row));
      return;
    case ValueKind::kDouble:
      sink.Double(column.number(row));
      return;
    case ValueKind::kText:
      sink.Text(column.bytes(row));
      return;
    case ValueKind::kBlob:
      sink.Blob(column.bytes(row));
      return;
  }
}

// The same for tables several connections serve at once (each in a thread
// of its own; the tables are only read).
using SharedLoadedTables = std::shared_ptr<const LoadedTables>;
void AttachLoadedTables(sqlite3* db, SharedLoadedTables tables,
                        std::optional<size_t> storedElsewhere = std::nullopt);

}  // namespace mdbtokvt
