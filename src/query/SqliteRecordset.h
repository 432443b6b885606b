// A forward-walking recordset over an SQLite statement. A thread of its own
// steps the statement and turns the rows into values a batch at a time, a
// few batches ahead of the walk: the join and sort of a large record source
// run on one core while the converter writes records on the other, and a
// large result never sits in memory as a whole. Owns the database it reads
// from. It can keep the sort key of one column's values beside them, for
// merging recordsets sorted by that column (MergedRecordset.h).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "query/SqliteDatabase.h"
#include "sortorder/SortKey.h"
#include "source/Recordset.h"

namespace mdbtokvt {

class StopRequest;

class SqliteRecordset final : public Recordset {
 public:
  // Returns once the first row is read. Raises 3000 when the statement fails.
  // sortKeyColumn: a text column whose values' sort keys (in sortKeyOrder)
  // are kept, or -1. stop, when given (it must outlive the recordset): a stop
  // requested before a move, or one that interrupted the statement
  // (InterruptOnStop, SqliteDatabase.h), raises 18.
  SqliteRecordset(SqliteDb db, SqliteStatement statement, int sortKeyColumn = -1,
                  SortOrder sortKeyOrder = SortOrder::kGeneralLegacy,
                  const StopRequest* stop = nullptr);
  // Stops the reading thread, interrupting the statement if need be.
  ~SqliteRecordset() override;
  SqliteRecordset(const SqliteRecordset&) = delete;
  SqliteRecordset& operator=(const SqliteRecordset&) = delete;

  bool Bof() const override { return empty_; }
  bool Eof() const override { return atEnd_; }
  // Back to the first row (by running the statement again when the walk has
  // moved on).
  void MoveFirst() override;
  // Raises 3000 when the statement fails on the way to the next row.
  void MoveNext() override;
  int32_t RecordCount() const override { return rowsSeen_; }
  int FieldIndex(std::string_view name) const override;
  const Value& FieldValue(int index) const override;
  // The current row's sort key in the column given at construction (empty
  // for Null or without such a column).
  std::string_view SortKey() const;

 private:
  struct Batch {
    std::vector<Value> values;          // rows one after another, each names_.size() values
    std::vector<std::string> sortKeys;  // a row's sort key, when one is kept
    size_t rows = 0;
    bool last = false;           // nothing follows this batch
    std::exception_ptr failure;  // raised once the walk is past the rows before it
  };

  // The reading thread's loop; ends after the last batch or when stopped.
  void ReadBatches();
  // Up to rows rows, fewer at the end or on a failure.
  Batch ReadBatch(size_t rows);
  // The current statement row's value in column index, into a value of a
  // batch (whose text buffer it reuses), and its sort key into key when
  // given (empty for anything but text).
  void ReadColumn(int index, Value& into, std::string* key = nullptr) const;
  void StartReading();
  void StopReading();
  // Makes the next row current; fills row_ or sets atEnd_.
  void Step();

  SqliteDb db_;
  SqliteStatement statement_;
  std::vector<std::string> names_;
  std::vector<bool> booleanColumns_;
  int sortKeyColumn_;
  SortOrder sortKeyOrder_ = SortOrder::kGeneralLegacy;
  const StopRequest* stopRequest_;

  // Touched by the walking thread only.
  Batch current_;
  size_t nextRow_ = 0;  // in current_
  const Value* row_ = nullptr;
  bool empty_ = false;
  bool atEnd_ = false;
  int32_t position_ = -1;
  int32_t rowsSeen_ = 0;

  // Shared with the reading thread.
  std::mutex mutex_;
  std::condition_variable filled_;   // a batch was queued
  std::condition_variable drained_;  // a batch was taken, or stop_ set
  std::deque<Batch> ready_;
  std::vector<Batch> spare_;  // walked through, to be refilled
  bool stop_ = false;
  std::thread reader_;
};

}  // namespace mdbtokvt
