#include "query/MembershipJoin.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <span>
#include <utility>

#include "common/Error.h"
#include "common/StopRequest.h"
#include "common/Value.h"
#include "query/IntegerIndex.h"
#include "query/TextCollation.h"
#include "sortorder/CollatedText.h"
#include "sortorder/SortKey.h"

namespace mdbtokvt {

namespace {

// The stored form SQLite compares for a value of a text column.
std::string_view StoredText(const LoadedColumn& column, size_t row) {
  return column.kind(row) == ValueKind::kText ? column.bytes(row) : kNullTextMarker;
}

// A value of a text column as SqliteRecordset reads it.
Value NameValue(const LoadedColumn& column, size_t row) {
  const std::string_view stored = StoredText(column, row);
  if (IsNullTextMarker(stored)) return Value::Null();
  const CollatedText split = SplitCollatedText(stored);
  Value value;
  value.AssignText(split.text, split.lostSource);
  return value;
}

// Each row's sort key in column's collation.
std::vector<std::string> SortKeys(const LoadedColumn& column, uint64_t rows) {
  const SortOrder order = SortOrderOfColumnType(column.declaredType());
  std::vector<std::string> keys(rows);
  std::string scratch;
  for (size_t row = 0; row < rows; ++row) {
    keys[row] = std::string(SortKeyOfStored(order, StoredText(column, row), scratch));
  }
  return keys;
}

std::optional<int64_t> LinkKey(const LoadedColumn& column, size_t row) {
  switch (column.kind(row)) {
    case ValueKind::kInteger:
      return column.integer(row);
    case ValueKind::kNull:
      return std::nullopt;  // equal to nothing
    default:
      ThrowQueryFailed("a key of the links table is not an integer");
  }
}

// Sorts items, each a rank in its high 32 bits (of rankBytes bytes) and a
// place in its low ones: few by insertion, many by a radix sort of the rank
// bytes, which keeps items of equal rank in their order.
void SortRankedPlaces(std::vector<uint64_t>& items, std::vector<uint64_t>& scratch, int rankBytes) {
  const size_t count = items.size();
  constexpr size_t kFewItems = 48;
  if (count <= kFewItems) {
    for (size_t i = 1; i < count; ++i) {
      const uint64_t item = items[i];
      size_t j = i;
      for (; j > 0 && items[j - 1] > item; --j) items[j] = items[j - 1];
      items[j] = item;
    }
    return;
  }
  scratch.resize(count);
  for (int byte = 0; byte < rankBytes; ++byte) {
    const int shift = 32 + 8 * byte;
    size_t starts[257] = {};
    for (const uint64_t item : items) ++starts[((item >> shift) & 0xFF) + 1];
    if (starts[((items.front() >> shift) & 0xFF) + 1] == count) continue;  // one value
    for (size_t b = 1; b < 257; ++b) starts[b] += starts[b - 1];
    for (const uint64_t item : items) scratch[starts[(item >> shift) & 0xFF]++] = item;
    items.swap(scratch);
  }
}

// The links read in one pass are not those of the pass before: the file
// under them changed.
[[noreturn]] void ThrowLinksChanged() {
  ThrowQueryFailed("the links table read differently from one pass to the next");
}

// A run of group positions whose names are equal in the collation, and the
// place of its joined rows in its window.
struct Run {
  uint32_t firstPosition;
  uint32_t endPosition;
  size_t firstEntry;
  size_t endEntry;
  size_t firstMixed;  // in the window's positions of entries, for a run of several groups
};

class MembershipRecordset final : public Recordset {
 public:
  MembershipRecordset(MembershipTables tables, std::string groupField, std::string memberField,
                      const StopRequest* stop, size_t mostRowsAtOnce)
      : tables_(std::move(tables)),
        names_{std::move(groupField), std::move(memberField)},
        stop_(stop),
        mostRowsAtOnce_(std::max<size_t>(mostRowsAtOnce, 1)) {
    OrderGroups();
    RankMembers();
    CountRows();
    PlanWindows();
    empty_ = total_ == 0;
    atEnd_ = empty_;
    if (!empty_) StartAt(0);
  }

  bool Bof() const override { return empty_; }
  bool Eof() const override { return atEnd_; }

  void MoveFirst() override {
    ThrowIfStopRequested(stop_);
    if (empty_) ThrowNoCurrentRecord();
    if (!atEnd_ && CurrentRow() == 0) return;  // on the first row already
    atEnd_ = false;
    StartAt(0);
  }

  void MoveNext() override {
    ThrowIfStopRequested(stop_);
    if (atEnd_) ThrowNoCurrentRecord();
    ++entry_;
    while (entry_ == runs_[run_].endEntry) {
      if (++run_ < runs_.size()) continue;
      if (window_ + 1 == windows_.size()) {
        atEnd_ = true;
        return;
      }
      StartAt(window_ + 1);
      return;
    }
    Deliver();
  }

  int32_t RecordCount() const override { return rowsSeen_; }

  int FieldIndex(std::string_view name) const override {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (NamesEqual(names_[i], name)) return static_cast<int>(i);
    }
    ThrowItemNotFound();
  }

  // A group's or member's row in its table.
  int32_t ValueIdentity(int index) const override {
    if (atEnd_ || index < 0 || static_cast<size_t>(index) >= names_.size()) return -1;
    const uint32_t row = index == 0 ? groupRowOfPosition_[position_] : entries_[entry_];
    return row <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
               ? static_cast<int32_t>(row)
               : -1;
  }

  const Value& FieldValue(int index) const override {
    if (index < 0 || static_cast<size_t>(index) >= names_.size()) ThrowItemNotFound();
    if (atEnd_) ThrowNoCurrentRecord();
    return index == 0 ? groupValues_[groupRowOfPosition_[position_]]
                      : memberValues_[entries_[entry_]];
  }

 private:
  const LoadedColumn& GroupColumn(size_t c) const { return tables_.groups->columns[c]; }
  const LoadedColumn& MemberColumn(size_t c) const { return tables_.members->columns[c]; }

  // Positions: the groups with a key, by name, then key, then row.
  void OrderGroups() {
    const LoadedColumn& keys = GroupColumn(tables_.groupKey);
    const LoadedColumn& names = GroupColumn(tables_.groupName);
    const uint64_t rows = tables_.groups->rows;
    const std::vector<std::string> sortKeys = SortKeys(names, rows);
    for (uint32_t row = 0; row < rows; ++row) {
      if (keys.kind(row) == ValueKind::kInteger) groupRowOfPosition_.push_back(row);
    }
    std::sort(groupRowOfPosition_.begin(), groupRowOfPosition_.end(), [&](uint32_t a, uint32_t b) {
      if (const int c = CompareSortKeys(sortKeys[a], sortKeys[b]); c != 0) return c < 0;
      if (keys.integer(a) != keys.integer(b)) return keys.integer(a) < keys.integer(b);
      return a < b;
    });
    for (uint32_t p = 0; p < groupRowOfPosition_.size(); ++p) {
      const uint32_t row = groupRowOfPosition_[p];
      if (p == 0 || CompareSortKeys(sortKeys[groupRowOfPosition_[p - 1]], sortKeys[row]) != 0) {
        runStarts_.push_back(p);
      }
    }
    runStarts_.push_back(static_cast<uint32_t>(groupRowOfPosition_.size()));
    groupPositions_ = std::make_unique<IntegerIndex>([&](const auto& emit) {
      for (uint32_t p = 0; p < groupRowOfPosition_.size(); ++p) {
        emit(keys.integer(groupRowOfPosition_[p]), p);
      }
    });
    groupValues_.resize(rows);
    for (uint32_t row = 0; row < rows; ++row) groupValues_[row] = NameValue(names, row);
  }

  // Each member's rank by name, equal names equal ranks.
  void RankMembers() {
    const LoadedColumn& keys = MemberColumn(tables_.memberKey);
    const LoadedColumn& names = MemberColumn(tables_.memberName);
    const uint64_t rows = tables_.members->rows;
    const std::vector<std::string> sortKeys = SortKeys(names, rows);
    std::vector<uint32_t> byName(rows);
    std::iota(byName.begin(), byName.end(), 0);
    std::stable_sort(byName.begin(), byName.end(), [&](uint32_t a, uint32_t b) {
      return CompareSortKeys(sortKeys[a], sortKeys[b]) < 0;
    });
    memberRank_.resize(rows);
    uint32_t rank = 0;
    for (size_t i = 0; i < byName.size(); ++i) {
      if (i > 0 && CompareSortKeys(sortKeys[byName[i - 1]], sortKeys[byName[i]]) != 0) ++rank;
      memberRank_[byName[i]] = rank;
    }
    while (rankBytes_ < 4 && (rank >> (8 * rankBytes_)) != 0) ++rankBytes_;
    membersOfKey_ = std::make_unique<IntegerIndex>([&](const auto& emit) {
      for (uint32_t row = 0; row < rows; ++row) {
        if (keys.kind(row) == ValueKind::kInteger) emit(keys.integer(row), row);
      }
    });
    memberValues_.resize(rows);
    for (uint32_t row = 0; row < rows; ++row) memberValues_[row] = NameValue(names, row);
  }

  // Calls onMatch(groupPositions, memberRows) for every link row with a
  // group and a member, in row order.
  template <class OnMatch>
  void ForEachLink(OnMatch&& onMatch) const {
    tables_.links([&](const LoadedTable& part) {
      ThrowIfStopRequested(stop_);
      const LoadedColumn& groups = part.columns.at(tables_.linkGroup);
      const LoadedColumn& members = part.columns.at(tables_.linkMember);
      for (size_t row = 0; row < part.rows; ++row) {
        const std::optional<int64_t> group = LinkKey(groups, row);
        const std::optional<int64_t> member = LinkKey(members, row);
        if (!group || !member) continue;
        const std::span<const uint32_t> positions = groupPositions_->Find(*group);
        if (positions.empty()) continue;
        const std::span<const uint32_t> memberRows = membersOfKey_->Find(*member);
        if (!memberRows.empty()) onMatch(positions, memberRows);
      }
    });
  }

  void CountRows() {
    rowsOfPosition_.assign(groupRowOfPosition_.size(), 0);
    ForEachLink([&](std::span<const uint32_t> positions, std::span<const uint32_t> memberRows) {
      for (const uint32_t p : positions) rowsOfPosition_[p] += memberRows.size();
    });
    total_ = std::accumulate(rowsOfPosition_.begin(), rowsOfPosition_.end(), uint64_t{0});
    if (total_ > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
      ThrowOverflow("the group query gives " + std::to_string(total_) +
                    " rows; a recordset counts at most 2147483647");
    }
  }

  // Windows of whole runs, each at most mostRowsAtOnce_ rows unless one run
  // alone has more; runs without rows are left out.
  void PlanWindows() {
    uint64_t inWindow = 0;
    for (size_t r = 0; r + 1 < runStarts_.size(); ++r) {
      uint64_t rows = 0;
      for (uint32_t p = runStarts_[r]; p < runStarts_[r + 1]; ++p) rows += rowsOfPosition_[p];
      if (rows == 0) continue;
      if (windows_.empty() || inWindow + rows > mostRowsAtOnce_) {
        windowFirstRow_.push_back(windowFirstRow_.empty() ? 0 : windowFirstRow_.back() + inWindow);
        windows_.push_back({});
        inWindow = 0;
      }
      windows_.back().push_back(r);
      inWindow += rows;
    }
  }

  // Fills the rows of window w and makes its first one current.
  void StartAt(size_t w) {
    window_ = w;
    const std::vector<size_t>& runs = windows_[w];
    const uint32_t firstPosition = runStarts_[runs.front()];
    const uint32_t endPosition = runStarts_[runs.back() + 1];
    // Where each position's rows go: in position order, a run after another.
    std::vector<size_t> next(endPosition - firstPosition + 1, 0);
    runs_.clear();
    size_t entries = 0;
    size_t mixed = 0;
    for (const size_t r : runs) {
      const size_t runFirst = entries;
      for (uint32_t p = runStarts_[r]; p < runStarts_[r + 1]; ++p) {
        next[p - firstPosition] = entries;
        entries += rowsOfPosition_[p];
      }
      runs_.push_back({runStarts_[r], runStarts_[r + 1], runFirst, entries, mixed});
      if (runStarts_[r + 1] - runStarts_[r] > 1) mixed += entries - runFirst;
    }
    entries_.assign(entries, 0);
    ForEachLink([&](std::span<const uint32_t> positions, std::span<const uint32_t> memberRows) {
      for (const uint32_t p : positions) {
        if (p < firstPosition || p >= endPosition) continue;
        size_t& at = next[p - firstPosition];
        if (entries_.size() - at < memberRows.size()) ThrowLinksChanged();
        for (const uint32_t member : memberRows) entries_[at++] = member;
      }
    });
    // Each position got the rows the count gave it: its rows end where the
    // next position's begin.
    size_t end = 0;
    for (uint32_t p = firstPosition; p < endPosition; ++p) {
      if (rowsOfPosition_[p] == 0) continue;
      end += rowsOfPosition_[p];
      if (next[p - firstPosition] != end) ThrowLinksChanged();
    }
    mixedPositions_.assign(mixed, 0);
    for (const Run& run : runs_) SortRun(run);
    run_ = 0;
    entry_ = 0;
    Deliver();
  }

  // Sorts a run's rows by member rank, keeping the order of equal ranks.
  void SortRun(const Run& run) {
    const size_t count = run.endEntry - run.firstEntry;
    uint32_t* rows = entries_.data() + run.firstEntry;
    const bool severalGroups = run.endPosition - run.firstPosition > 1;
    if (!severalGroups) {
      bool sorted = true;
      for (size_t i = 1; i < count && sorted; ++i) {
        sorted = memberRank_[rows[i - 1]] <= memberRank_[rows[i]];
      }
      if (sorted) return;
    }
    // Rank and place in one number: a plain sort keeps equal ranks in order.
    sortScratch_.resize(count);
    for (size_t i = 0; i < count; ++i) {
      sortScratch_[i] = (uint64_t{memberRank_[rows[i]]} << 32) | i;
    }
    SortRankedPlaces(sortScratch_, radixScratch_, rankBytes_);
    positionScratch_.clear();
    if (severalGroups) {
      for (uint32_t p = run.firstPosition; p < run.endPosition; ++p) {
        positionScratch_.insert(positionScratch_.end(), rowsOfPosition_[p], p);
      }
    }
    memberScratch_.assign(rows, rows + count);
    for (size_t i = 0; i < count; ++i) {
      const auto from = static_cast<uint32_t>(sortScratch_[i]);
      rows[i] = memberScratch_[from];
      if (severalGroups) mixedPositions_[run.firstMixed + i] = positionScratch_[from];
    }
  }

  uint64_t CurrentRow() const { return windowFirstRow_[window_] + entry_; }

  void Deliver() {
    const Run& run = runs_[run_];
    position_ = run.endPosition - run.firstPosition > 1
                    ? mixedPositions_[run.firstMixed + (entry_ - run.firstEntry)]
                    : run.firstPosition;
    rowsSeen_ = std::max(rowsSeen_, static_cast<int32_t>(CurrentRow() + 1));
  }

  MembershipTables tables_;
  std::vector<std::string> names_;
  const StopRequest* stop_;
  size_t mostRowsAtOnce_;

  std::vector<uint32_t> groupRowOfPosition_;
  std::vector<uint32_t> runStarts_;  // first position of each run, then the end
  std::unique_ptr<IntegerIndex> groupPositions_;
  std::vector<Value> groupValues_;  // per group row
  std::vector<uint32_t> memberRank_;
  std::unique_ptr<IntegerIndex> membersOfKey_;
  std::vector<Value> memberValues_;  // per member row
  std::vector<uint64_t> rowsOfPosition_;
  uint64_t total_ = 0;
  std::vector<std::vector<size_t>> windows_;  // the runs of each window
  std::vector<uint64_t> windowFirstRow_;      // rows of the windows before each

  // The window being walked.
  size_t window_ = 0;
  std::vector<Run> runs_;
  std::vector<uint32_t> entries_;         // member rows, in the order of the walk
  std::vector<uint32_t> mixedPositions_;  // the group position of each row of mixed runs
  std::vector<uint64_t> sortScratch_;
  std::vector<uint64_t> radixScratch_;
  int rankBytes_ = 1;  // bytes a member rank needs
  std::vector<uint32_t> positionScratch_;
  std::vector<uint32_t> memberScratch_;

  size_t run_ = 0;
  size_t entry_ = 0;
  uint32_t position_ = 0;
  int32_t rowsSeen_ = 0;
  bool empty_ = true;
  bool atEnd_ = true;
};

}  // namespace

std::unique_ptr<Recordset> OpenMembershipJoin(MembershipTables tables, std::string groupField,
                                              std::string memberField, const StopRequest* stop,
                                              size_t mostRowsAtOnce) {
  return std::make_unique<MembershipRecordset>(std::move(tables), std::move(groupField),
                                               std::move(memberField), stop, mostRowsAtOnce);
}

}  // namespace mdbtokvt
