#include "query/SqliteRecordset.h"

#include <pthread.h>

#include <algorithm>

#include "common/Error.h"
#include "common/StopRequest.h"
#include "query/LoadedTables.h"
#include "query/TextCollation.h"
#include "sortorder/CollatedText.h"

namespace mdbtokvt {

namespace {

// Rows per batch, and batches the reading thread may run ahead of the walk:
// enough to even out the two sides, little enough to stay a few hundred KB.
constexpr size_t kRowsPerBatch = 512;
constexpr size_t kMostBatchesAhead = 4;

// A text or blob value's bytes.
std::string_view RawBytes(sqlite3_value* value) {
  const void* data = sqlite3_value_blob(value);
  const int size = sqlite3_value_bytes(value);
  return {static_cast<const char*>(data), static_cast<size_t>(size > 0 ? size : 0)};
}

}  // namespace

SqliteRecordset::SqliteRecordset(SqliteDb db, SqliteStatement statement, int sortKeyColumn,
                                 SortOrder sortKeyOrder, const StopRequest* stop)
    : db_(std::move(db)),
      statement_(std::move(statement)),
      sortKeyColumn_(sortKeyColumn),
      sortKeyOrder_(sortKeyOrder),
      stopRequest_(stop) {
  const int count = sqlite3_column_count(statement_.get());
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(statement_.get(), i);
    const char* declared = sqlite3_column_decltype(statement_.get(), i);
    names_.emplace_back(name != nullptr ? name : "");
    booleanColumns_.push_back(declared != nullptr && kBooleanType == declared);
  }
  StartReading();
  try {
    Step();
  } catch (...) {
    StopReading();
    throw;
  }
  empty_ = atEnd_;
}

SqliteRecordset::~SqliteRecordset() { StopReading(); }

void SqliteRecordset::StartReading() {
  stop_ = false;
  ready_.clear();
  current_ = Batch{};
  nextRow_ = 0;
  reader_ = std::thread([this] {
#ifdef __linux__
    pthread_setname_np(pthread_self(), "mdbtokvt-rows");  // for profilers and debuggers
#endif
    ReadBatches();
  });
}

void SqliteRecordset::StopReading() {
  if (!reader_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  drained_.notify_all();
  // Ends a long step (a sort) at once; the flag clears when the statement
  // is reset or finalized.
  sqlite3_interrupt(db_.get());
  reader_.join();
}

void SqliteRecordset::ReadBatches() {
  // The first row alone, so the walk can start as soon as it is there.
  size_t rows = 1;
  for (;;) {
    Batch batch = ReadBatch(rows);
    rows = kRowsPerBatch;
    const bool last = batch.last;
    {
      std::unique_lock lock(mutex_);
      drained_.wait(lock, [&] { return stop_ || ready_.size() < kMostBatchesAhead; });
      if (stop_) return;
      ready_.push_back(std::move(batch));
    }
    filled_.notify_one();
    if (last) return;
  }
}

SqliteRecordset::Batch SqliteRecordset::ReadBatch(size_t rows) {
  Batch batch;
  {
    std::lock_guard lock(mutex_);
    if (!spare_.empty()) {
      batch = std::move(spare_.back());
      spare_.pop_back();
      batch.rows = 0;
      batch.last = false;
      batch.failure = nullptr;
    }
  }
  const size_t columns = names_.size();
  try {
    if (batch.values.size() < rows * columns) batch.values.resize(rows * columns);
    if (sortKeyColumn_ >= 0 && batch.sortKeys.size() < rows) batch.sortKeys.resize(rows);
    while (batch.rows < rows) {
      const int rc = sqlite3_step(statement_.get());
      if (rc == SQLITE_DONE) {
        batch.last = true;
        break;
      }
      if (rc != SQLITE_ROW) {
        // Interrupted for a stop: the stop's error, not the engine's.
        ThrowIfStopRequested(stopRequest_);
        ThrowQueryFailed(sqlite3_errmsg(db_.get()));
      }
      Value* row = batch.values.data() + batch.rows * columns;
      for (size_t i = 0; i < columns; ++i) {
        std::string* key =
            static_cast<int>(i) == sortKeyColumn_ ? &batch.sortKeys[batch.rows] : nullptr;
        ReadColumn(static_cast<int>(i), row[i], key);
      }
      ++batch.rows;
    }
  } catch (...) {
    batch.failure = std::current_exception();
    batch.last = true;
  }
  return batch;
}

void SqliteRecordset::Step() {
  while (nextRow_ >= current_.rows) {
    if (current_.failure) std::rethrow_exception(current_.failure);
    if (current_.last) {
      atEnd_ = true;
      row_ = nullptr;
      return;
    }
    {
      std::unique_lock lock(mutex_);
      filled_.wait(lock, [&] { return !ready_.empty(); });
      // The batch walked through goes back to the reading thread, which
      // refills its values in place.
      if (current_.rows > 0 && spare_.size() < kMostBatchesAhead) {
        spare_.push_back(std::move(current_));
      }
      current_ = std::move(ready_.front());
      ready_.pop_front();
    }
    drained_.notify_one();
    nextRow_ = 0;
  }
  row_ = current_.values.data() + nextRow_ * names_.size();
  ++nextRow_;
  ++position_;
  rowsSeen_ = std::max(rowsSeen_, position_ + 1);
}

void SqliteRecordset::ReadColumn(int index, Value& into, std::string* key) const {
  // One call into the statement; the value calls after it skip the
  // statement's per-call bookkeeping.
  sqlite3_value* value = sqlite3_column_value(statement_.get(), index);
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: {
      if (key != nullptr) key->clear();
      const int64_t number = sqlite3_value_int64(value);
      into = booleanColumns_[index] ? Value::Boolean(number != 0) : Value::Integer(number);
      return;
    }
    case SQLITE_FLOAT:
      if (key != nullptr) key->clear();
      into = Value::Double(sqlite3_value_double(value));
      return;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const std::string_view stored = RawBytes(value);
      if (IsNullTextMarker(stored)) {
        into = Value::Null();
        if (key != nullptr) key->clear();
        return;
      }
      const CollatedText split = SplitCollatedText(stored);
      into.AssignText(split.text, split.lostSource);
      if (key == nullptr) return;
      if (split.keyed) {
        key->assign(split.key);
      } else {
        *key = SortKeyOfUtf8(sortKeyOrder_, split.text);
      }
      return;
    }
    default:
      into = Value::Null();
      if (key != nullptr) key->clear();
  }
}

void SqliteRecordset::MoveFirst() {
  ThrowIfStopRequested(stopRequest_);
  if (empty_) ThrowNoCurrentRecord();
  if (position_ == 0 && !atEnd_) return;  // on the first row already
  StopReading();
  sqlite3_reset(statement_.get());
  atEnd_ = false;
  position_ = -1;
  StartReading();
  Step();
}

void SqliteRecordset::MoveNext() {
  ThrowIfStopRequested(stopRequest_);
  if (atEnd_) ThrowNoCurrentRecord();
  Step();
}

int SqliteRecordset::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (NamesEqual(names_[i], name)) return static_cast<int>(i);
  }
  ThrowItemNotFound();
}

std::string_view SqliteRecordset::SortKey() const {
  if (sortKeyColumn_ < 0 || atEnd_ || row_ == nullptr) return {};
  return current_.sortKeys[nextRow_ - 1];
}

const Value& SqliteRecordset::FieldValue(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= names_.size()) ThrowItemNotFound();
  if (atEnd_ || row_ == nullptr) ThrowNoCurrentRecord();
  return row_[static_cast<size_t>(index)];
}

}  // namespace mdbtokvt
