#include "source/RowInserter.h"

#include <algorithm>

#include "source/TextCollation.h"

namespace mdbtokvt {

namespace {

// Rows per INSERT: enough to spread the statement's fixed cost, few enough
// to stay far below SQLite's limit of bound parameters.
constexpr size_t kMaxBatchRows = 64;
constexpr size_t kMaxParameters = 999;

void BindCell(sqlite3_stmt* insert, int parameter, const Cell& cell, bool textColumn) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      if (textColumn) {
        sqlite3_bind_text(insert, parameter, kNullTextMarker.data(),
                          static_cast<int>(kNullTextMarker.size()), SQLITE_STATIC);
      } else {
        sqlite3_bind_null(insert, parameter);
      }
      return;
    case Cell::Kind::kInteger:
      sqlite3_bind_int64(insert, parameter, cell.integer);
      return;
    case Cell::Kind::kDouble:
      sqlite3_bind_double(insert, parameter, cell.number);
      return;
    case Cell::Kind::kText:
      sqlite3_bind_text(insert, parameter, cell.bytes.data(), static_cast<int>(cell.bytes.size()),
                        SQLITE_STATIC);
      return;
    case Cell::Kind::kBlob:
      sqlite3_bind_blob(insert, parameter, cell.bytes.data(), static_cast<int>(cell.bytes.size()),
                        SQLITE_STATIC);
      return;
  }
}

}  // namespace

RowInserter::RowInserter(sqlite3* db, const std::string& table,
                         const std::vector<std::string>& columns, std::vector<bool> textColumns)
    : db_(db), textColumns_(std::move(textColumns)) {
  if (columns.empty()) {
    prefix_ = "INSERT INTO " + QuoteIdentifier(table) + " DEFAULT VALUES";
    batchRows_ = 1;
  } else {
    std::string names;
    std::string values;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) {
        names += ", ";
        values += ", ";
      }
      names += QuoteIdentifier(columns[i]);
      values += '?';
    }
    prefix_ = "INSERT INTO " + QuoteIdentifier(table) + " (" + names + ") VALUES ";
    rowValues_ = '(' + values + ')';
    batchRows_ = std::clamp<size_t>(kMaxParameters / columns.size(), 1, kMaxBatchRows);
  }
  cells_.resize(batchRows_ * columns.size());
  batch_ = Prepare(batchRows_);
}

SqliteStatement RowInserter::Prepare(size_t rows) const {
  if (rowValues_.empty()) return PrepareSql(db_, prefix_);
  std::string sql = prefix_;
  for (size_t row = 0; row < rows; ++row) {
    if (row > 0) sql += ", ";
    sql += rowValues_;
  }
  return PrepareSql(db_, sql);
}

std::vector<Cell>::iterator RowInserter::NextRow() {
  if (pending_ == batchRows_) {
    Insert(batch_.get(), pending_);
    pending_ = 0;
  }
  return cells_.begin() + static_cast<std::ptrdiff_t>(pending_++ * textColumns_.size());
}

void RowInserter::Finish() {
  if (pending_ == batchRows_) {
    Insert(batch_.get(), pending_);
  } else if (pending_ > 0) {
    SqliteStatement rest = Prepare(pending_);
    Insert(rest.get(), pending_);
  }
  pending_ = 0;
}

void RowInserter::Insert(sqlite3_stmt* statement, size_t rows) {
  const size_t width = textColumns_.size();
  for (size_t i = 0; i < rows * width; ++i) {
    BindCell(statement, static_cast<int>(i + 1), cells_[i], textColumns_[i % width]);
  }
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  if (rc != SQLITE_DONE) throw SqliteError(sqlite3_errmsg(db_));
}

}  // namespace mdbtokvt
