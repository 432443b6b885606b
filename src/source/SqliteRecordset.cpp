#include "source/SqliteRecordset.h"

#include <algorithm>

#include "common/Error.h"
#include "source/SqliteSchema.h"
#include "source/TextCollation.h"

namespace mdbtokvt {

namespace {

[[noreturn]] void ThrowNoCurrentRecord() { throw ConversionError(3021, "No current record."); }

}  // namespace

SqliteRecordset::SqliteRecordset(SqliteDb db, SqliteStatement statement)
    : db_(std::move(db)), statement_(std::move(statement)) {
  const int count = sqlite3_column_count(statement_.get());
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(statement_.get(), i);
    const char* declared = sqlite3_column_decltype(statement_.get(), i);
    names_.emplace_back(name != nullptr ? name : "");
    booleanColumns_.push_back(declared != nullptr && kBooleanType == declared);
  }
  Step();
  empty_ = atEnd_;
}

void SqliteRecordset::Step() {
  const int rc = sqlite3_step(statement_.get());
  if (rc == SQLITE_DONE) {
    atEnd_ = true;
    row_.clear();
    return;
  }
  if (rc != SQLITE_ROW) {
    throw ConversionError(kErrSyntax, std::string("The database engine cannot run the query: ") +
                                          sqlite3_errmsg(db_.get()) + ".");
  }
  ++position_;
  rowsSeen_ = std::max(rowsSeen_, position_ + 1);
  row_.resize(names_.size());
  for (size_t i = 0; i < names_.size(); ++i) row_[i] = ColumnValue(static_cast<int>(i));
}

Value SqliteRecordset::ColumnValue(int index) const {
  sqlite3_stmt* s = statement_.get();
  switch (sqlite3_column_type(s, index)) {
    case SQLITE_INTEGER: {
      const int64_t value = sqlite3_column_int64(s, index);
      return booleanColumns_[index] ? Value::Boolean(value != 0) : Value::Integer(value);
    }
    case SQLITE_FLOAT:
      return Value::Double(sqlite3_column_double(s, index));
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const void* data = sqlite3_column_blob(s, index);
      const int size = sqlite3_column_bytes(s, index);
      if (IsNullTextMarker(data, size)) return Value::Null();
      return Value::Text(size > 0 ? std::string(static_cast<const char*>(data), size)
                                  : std::string());
    }
    default:
      return Value::Null();
  }
}

void SqliteRecordset::MoveFirst() {
  if (empty_) ThrowNoCurrentRecord();
  if (position_ == 0) return;
  sqlite3_reset(statement_.get());
  atEnd_ = false;
  position_ = -1;
  Step();
}

void SqliteRecordset::MoveNext() {
  if (atEnd_) ThrowNoCurrentRecord();
  Step();
}

int SqliteRecordset::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (NamesEqual(names_[i], name)) return static_cast<int>(i);
  }
  ThrowItemNotFound();
}

const Value& SqliteRecordset::FieldValue(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= names_.size()) ThrowItemNotFound();
  if (atEnd_) ThrowNoCurrentRecord();
  return row_[static_cast<size_t>(index)];
}

}  // namespace mdbtokvt
