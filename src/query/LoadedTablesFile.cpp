// The tables file: writing and reading in one place, so the two cannot drift
// apart. The file is
//
//   magic (16 bytes)
//   per table:  'T', name, column count (u32), per column: name, declared
//               type, holds text (u8)
//               per part of 1 to kLoadedPartRows rows: 'P', body length
//               (u64), then the body: row count (u32), one flag byte per
//               column, then per column either its int32 values (compact)
//               or its kinds (u8 each), its slots (u64 each), its arena
//               length (u64) and its arena
//               'E', the table's row count (u64)
//   'Z', the table count (u32), and nothing after it
//
// with strings as a u32 length and their bytes, numbers in the machine's
// order (both processes are one build). A part's body length lets a reader
// skip it; the last mark tells a file whose writer stopped half-way from a
// complete one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "common/Error.h"
#include "query/LoadedTables.h"

namespace mdbtokvt {

namespace {

constexpr std::string_view kMagic{"MDBTOKVT-TABLES\x02", 16};
constexpr char kTableMark = 'T';
constexpr char kPartMark = 'P';
constexpr char kTableEndMark = 'E';
constexpr char kFileEndMark = 'Z';

// A column's flag byte in a part.
constexpr uint8_t kCompactFlag = 1;       // int32 values, none Null
constexpr uint8_t kOnlyIntegersFlag = 2;  // every value not Null an integer
constexpr uint8_t kKnownFlags = kCompactFlag | kOnlyIntegersFlag;

constexpr size_t kPartHeadBytes = 1 + sizeof(uint64_t);  // mark and body length
constexpr size_t kGeneralValueBytes = 1 + sizeof(uint64_t);

template <typename Number>
void PutNumber(std::string& out, Number value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutString(std::string& out, const std::string& text) {
  PutNumber(out, static_cast<uint32_t>(text.size()));
  out += text;
}

bool FitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

bool HoldsBytes(uint8_t kind) {
  return kind == static_cast<uint8_t>(ValueKind::kText) ||
         kind == static_cast<uint8_t>(ValueKind::kBlob);
}

bool IsIntegerOrNull(uint8_t kind) {
  return kind == static_cast<uint8_t>(ValueKind::kNull) ||
         kind == static_cast<uint8_t>(ValueKind::kInteger);
}

[[noreturn]] void ThrowNotLoadedTables(const std::string& path, std::string_view what) {
  throw ConversionError(ErrorNumber::kQueryFailed,
                        "The database engine cannot read the loaded tables in '" + path + "' (" +
                            std::string(what) + ").");
}

}  // namespace

// ---- writing ----

LoadedTablesOutput OpenLoadedTablesOutput(const std::string& path) {
  LoadedTablesOutput out(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!out) ThrowFileError(errno, path);
  return out;
}

LoadedTablesOutput OpenLoadedTablesOutput(int fd, const std::string& name) {
  LoadedTablesOutput out(::fdopen(fd, "wb"), std::fclose);
  if (!out) {
    const int error = errno;
    ::close(fd);
    ThrowFileError(error, name);
  }
  return out;
}

LoadedTablesWriter::LoadedTablesWriter(LoadedTablesOutput out, std::string path)
    : out_(std::move(out)), path_(std::move(path)) {
  Put(kMagic);
}

void LoadedTablesWriter::Put(const void* data, size_t size) {
  if (size != 0 && std::fwrite(data, 1, size, out_.get()) != size) ThrowFileError(errno, path_);
}

void LoadedTablesWriter::BeginTable(const std::string& name,
                                    const std::vector<LoadedColumn>& columns) {
  if (inTable_) throw std::logic_error("a loaded table begun inside another");
  std::string header(1, kTableMark);
  PutString(header, name);
  PutNumber(header, static_cast<uint32_t>(columns.size()));
  for (const LoadedColumn& column : columns) {
    PutString(header, column.name_);
    PutString(header, column.declaredType_);
    header.push_back(column.holdsText_ ? 1 : 0);
  }
  Put(header);
  inTable_ = true;
  columns_ = columns.size();
  rows_ = 0;
}

void LoadedTablesWriter::WriteRows(const std::vector<LoadedColumn>& columns, uint64_t rows) {
  if (!inTable_ || columns.size() != columns_) {
    throw std::logic_error("loaded rows written outside their table");
  }
  for (const LoadedColumn& column : columns) {
    if (column.size() < rows) throw std::logic_error("a loaded column shorter than its table");
  }
  for (uint64_t first = 0; first < rows; first += kLoadedPartRows) {
    WritePart(columns, first, std::min<uint64_t>(kLoadedPartRows, rows - first));
  }
  rows_ += rows;
}

void LoadedTablesWriter::WritePart(const std::vector<LoadedColumn>& columns, size_t first,
                                   size_t rows) {
  // How each column goes into the part, decided before the body's length
  // is written ahead of it.
  struct ColumnForm {
    uint8_t flags = 0;
    uint64_t arenaStart = 0;  // the part's values in the column's arena
    uint64_t arenaEnd = 0;
  };
  std::vector<ColumnForm> forms(columns.size());
  uint64_t body = sizeof(uint32_t) + columns.size();
  for (size_t c = 0; c < columns.size(); ++c) {
    const LoadedColumn& column = columns[c];
    ColumnForm& form = forms[c];
    bool onlyIntegers = true;
    bool compact = true;
    bool arenaSeen = false;
    for (size_t row = first; row < first + rows; ++row) {
      const auto kind = static_cast<uint8_t>(column.kind(row));
      if (!IsIntegerOrNull(kind)) onlyIntegers = false;
      if (kind != static_cast<uint8_t>(ValueKind::kInteger) || !FitsInt32(column.integer(row))) {
        compact = false;
      }
      if (HoldsBytes(kind)) {
        // Values reach the arena in row order: the part's bytes are one run.
        if (!arenaSeen) form.arenaStart = column.slots_[row];
        arenaSeen = true;
        form.arenaEnd = column.slots_[row] + LoadedColumn::kLengthBytes + column.bytes(row).size();
      }
    }
    form.flags =
        static_cast<uint8_t>((compact ? kCompactFlag : 0) | (onlyIntegers ? kOnlyIntegersFlag : 0));
    body += compact
                ? rows * sizeof(int32_t)
                : rows * kGeneralValueBytes + sizeof(uint64_t) + form.arenaEnd - form.arenaStart;
  }

  scratch_.assign(1, kPartMark);
  PutNumber(scratch_, body);
  PutNumber(scratch_, static_cast<uint32_t>(rows));
  for (const ColumnForm& form : forms) scratch_.push_back(static_cast<char>(form.flags));
  Put(scratch_);
  for (size_t c = 0; c < columns.size(); ++c) {
    const LoadedColumn& column = columns[c];
    const ColumnForm& form = forms[c];
    scratch_.clear();
    if (form.flags & kCompactFlag) {
      scratch_.resize(rows * sizeof(int32_t));
      char* to = scratch_.data();
      for (size_t row = first; row < first + rows; ++row, to += sizeof(int32_t)) {
        const auto value = static_cast<int32_t>(column.integer(row));
        std::memcpy(to, &value, sizeof value);
      }
      Put(scratch_);
      continue;
    }
    for (size_t row = first; row < first + rows; ++row) {
      scratch_.push_back(static_cast<char>(column.kind(row)));
    }
    // Slots of texts and blobs are offsets into the part's own arena.
    for (size_t row = first; row < first + rows; ++row) {
      const bool bytes = HoldsBytes(static_cast<uint8_t>(column.kind(row)));
      PutNumber(scratch_, column.slots_[row] - (bytes ? form.arenaStart : 0));
    }
    PutNumber(scratch_, form.arenaEnd - form.arenaStart);
    Put(scratch_);
    Put(std::string_view(column.arena_).substr(form.arenaStart, form.arenaEnd - form.arenaStart));
  }
}

void LoadedTablesWriter::EndTable() {
  if (!inTable_) throw std::logic_error("a loaded table ended that was not begun");
  std::string mark(1, kTableEndMark);
  PutNumber(mark, rows_);
  Put(mark);
  inTable_ = false;
  ++tables_;
}

void LoadedTablesWriter::Finish() {
  if (inTable_) throw std::logic_error("a loaded table left open");
  std::string mark(1, kFileEndMark);
  PutNumber(mark, tables_);
  Put(mark);
  if (std::fclose(out_.release()) != 0) ThrowFileError(errno, path_);
}

void WriteLoadedTables(LoadedTablesOutput out, const std::string& path,
                       const LoadedTables& tables) {
  LoadedTablesWriter writer(std::move(out), path);
  for (const LoadedTable& table : tables) {
    writer.BeginTable(table.name, table.columns);
    writer.WriteRows(table.columns, table.rows);
    writer.EndTable();
  }
  writer.Finish();
}

void WriteLoadedTables(const std::string& path, const LoadedTables& tables) {
  WriteLoadedTables(OpenLoadedTablesOutput(path), path, tables);
}

// ---- reading ----

// A part as its head describes it.
struct LoadedTablesFile::PartHead {
  uint64_t values = 0;  // where the columns' values start
  uint64_t end = 0;     // where the next record starts
  uint32_t rows = 0;
  std::vector<uint8_t> flags;  // per column
};

namespace {

// Reads records one after the other from offset on.
class RecordCursor {
 public:
  RecordCursor(uint64_t offset, uint64_t end,
               const std::function<void(uint64_t, void*, uint64_t)>& read)
      : offset_(offset), end_(end), read_(read) {}

  uint64_t offset() const { return offset_; }
  uint64_t rest() const { return end_ - offset_; }
  void Seek(uint64_t offset) { offset_ = offset; }

  template <typename Number>
  Number Take() {
    Number value{};
    read_(offset_, &value, sizeof value);
    offset_ += sizeof value;
    return value;
  }
  std::string TakeString(const std::function<void()>& fail) {
    const auto size = Take<uint32_t>();
    if (size > rest()) fail();
    std::string text(size, '\0');
    read_(offset_, text.data(), size);
    offset_ += size;
    return text;
  }

 private:
  uint64_t offset_;
  uint64_t end_;
  const std::function<void(uint64_t, void*, uint64_t)>& read_;
};

}  // namespace

std::shared_ptr<const LoadedTablesFile> LoadedTablesFile::Open(int fd, std::string name) {
  const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) ThrowNotLoadedTables(name, "it cannot be read");
  return std::make_shared<const LoadedTablesFile>(Key{}, own, std::move(name));
}

LoadedTablesFile::LoadedTablesFile(Key, int fd, std::string name)
    : fd_(fd), name_(std::move(name)) {
  struct stat st {};
  if (::fstat(fd_.get(), &st) != 0) Fail("it cannot be read");
  size_ = static_cast<uint64_t>(st.st_size);
  ReadShapes();
}

void LoadedTablesFile::Fail(std::string_view what) const { ThrowNotLoadedTables(name_, what); }

void LoadedTablesFile::ReadAt(uint64_t offset, void* into, uint64_t size) const {
  if (offset > size_ || size > size_ - offset) Fail("cut short");
  auto* target = static_cast<char*>(into);
  while (size > 0) {
    const ssize_t n = ::pread(fd_.get(), target, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(n < 0 ? "it cannot be read" : "cut short");
    target += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<uint64_t>(n);
  }
}

void LoadedTablesFile::ReadShapes() {
  std::string magic(kMagic.size(), '\0');
  ReadAt(0, magic.data(), magic.size());
  if (magic != kMagic) Fail("unknown format");
  const std::function<void(uint64_t, void*, uint64_t)> read =
      [this](uint64_t at, void* into, uint64_t size) { ReadAt(at, into, size); };
  const auto fail = [this] { Fail("cut short"); };
  RecordCursor in(kMagic.size(), size_, read);
  for (;;) {
    const auto mark = in.Take<char>();
    if (mark == kFileEndMark) break;
    if (mark != kTableMark) Fail("unknown record");
    LoadedTableShape shape;
    shape.name = in.TakeString(fail);
    const auto columns = in.Take<uint32_t>();
    // Each column takes 9 bytes at least; checked before anything is sized.
    if (columns > in.rest() / 9) Fail("column count");
    shape.columns.resize(columns);
    for (LoadedColumnShape& column : shape.columns) {
      column.name = in.TakeString(fail);
      column.declaredType = in.TakeString(fail);
      column.holdsText = in.Take<uint8_t>() != 0;
    }
    PartSpan span;
    span.first = in.offset();
    span.compact.assign(columns, true);
    for (;;) {
      const uint64_t at = in.offset();
      const auto partMark = in.Take<char>();
      if (partMark == kTableEndMark) {
        span.end = at;
        break;
      }
      if (partMark != kPartMark) Fail("unknown record");
      const PartHead head = ReadPartHead(at, columns);
      shape.rows += head.rows;
      for (size_t c = 0; c < columns; ++c) {
        shape.columns[c].onlyIntegers =
            shape.columns[c].onlyIntegers && (head.flags[c] & kOnlyIntegersFlag) != 0;
        span.compact[c] = span.compact[c] && (head.flags[c] & kCompactFlag) != 0;
      }
      in.Seek(head.end);
    }
    if (in.Take<uint64_t>() != shape.rows) Fail("row count");
    shapes_.push_back(std::move(shape));
    spans_.push_back(span);
  }
  if (in.Take<uint32_t>() != shapes_.size()) Fail("table count");
  if (in.rest() != 0) Fail("bytes after the last table");
}

LoadedTablesFile::PartHead LoadedTablesFile::ReadPartHead(uint64_t offset, size_t columns) const {
  char mark = 0;
  ReadAt(offset, &mark, 1);
  if (mark != kPartMark) Fail("unknown record");
  uint64_t body = 0;
  ReadAt(offset + 1, &body, sizeof body);
  const uint64_t start = offset + kPartHeadBytes;
  if (body > size_ - start || body < sizeof(uint32_t) + columns) Fail("part length");
  PartHead head;
  head.end = start + body;
  ReadAt(start, &head.rows, sizeof head.rows);
  if (head.rows == 0 || head.rows > kLoadedPartRows) Fail("part row count");
  head.flags.resize(columns);
  ReadAt(start + sizeof head.rows, head.flags.data(), columns);
  head.values = start + sizeof head.rows + columns;
  // What the columns take at least, checked before their values are sized.
  uint64_t least = 0;
  for (const uint8_t flags : head.flags) {
    if ((flags & ~kKnownFlags) != 0 || flags == kCompactFlag) Fail("column form");
    least += (flags & kCompactFlag) ? head.rows * sizeof(int32_t)
                                    : head.rows * kGeneralValueBytes + sizeof(uint64_t);
  }
  if (least > head.end - head.values) Fail("part length");
  return head;
}

void LoadedTablesFile::AppendPart(const PartHead& head, const std::vector<bool>& keepCompact,
                                  std::vector<LoadedColumn>& columns,
                                  std::vector<int32_t>& scratch) const {
  uint64_t at = head.values;
  const size_t rows = head.rows;
  for (size_t c = 0; c < columns.size(); ++c) {
    LoadedColumn& column = columns[c];
    const uint8_t flags = head.flags[c];
    if ((flags & kCompactFlag) && keepCompact[c] && (column.compact_ || column.size() == 0)) {
      column.compact_ = true;
      column.NoteKind(ValueKind::kInteger);
      const size_t before = column.ints_.size();
      column.ints_.resize(before + rows);
      ReadAt(at, column.ints_.data() + before, rows * sizeof(int32_t));
      at += rows * sizeof(int32_t);
      continue;
    }
    if (column.compact_) column.Widen();
    if (flags & kCompactFlag) {
      scratch.resize(rows);
      ReadAt(at, scratch.data(), rows * sizeof(int32_t));
      at += rows * sizeof(int32_t);
      column.NoteKind(ValueKind::kInteger);
      column.kinds_.insert(column.kinds_.end(), rows, static_cast<uint8_t>(ValueKind::kInteger));
      for (const int32_t value : scratch) {
        column.slots_.push_back(static_cast<uint64_t>(static_cast<int64_t>(value)));
      }
      continue;
    }
    const size_t before = column.kinds_.size();
    column.kinds_.resize(before + rows);
    ReadAt(at, column.kinds_.data() + before, rows);
    at += rows;
    column.slots_.resize(before + rows);
    ReadAt(at, column.slots_.data() + before, rows * sizeof(uint64_t));
    at += rows * sizeof(uint64_t);
    uint64_t arenaSize = 0;
    ReadAt(at, &arenaSize, sizeof arenaSize);
    at += sizeof arenaSize;
    if (arenaSize > head.end - at) Fail("arena length");
    const size_t arenaBase = column.arena_.size();
    column.arena_.resize(arenaBase + arenaSize);
    ReadAt(at, column.arena_.data() + arenaBase, arenaSize);
    at += arenaSize;
    bool onlyIntegers = true;
    for (size_t row = before; row < before + rows; ++row) {
      const uint8_t kind = column.kinds_[row];
      if (kind > LoadedColumn::kLastKind) Fail("value kind");
      column.NoteKind(static_cast<ValueKind>(kind));
      onlyIntegers = onlyIntegers && IsIntegerOrNull(kind);
      if (!HoldsBytes(kind)) continue;
      const uint64_t offset = column.slots_[row];
      uint32_t length = 0;
      if (offset > arenaSize || arenaSize - offset < LoadedColumn::kLengthBytes) {
        Fail("value offset");
      }
      std::memcpy(&length, column.arena_.data() + arenaBase + offset, LoadedColumn::kLengthBytes);
      if (arenaSize - offset - LoadedColumn::kLengthBytes < length) Fail("value length");
      column.slots_[row] = arenaBase + offset;
    }
    // What the head said of the column is what the shapes say: it must hold.
    if (onlyIntegers != ((flags & kOnlyIntegersFlag) != 0)) Fail("column form");
    column.onlyIntegers_ = column.onlyIntegers_ && onlyIntegers;
  }
  if (at != head.end) Fail("part length");
}

LoadedTableShape ShapeOf(const LoadedTable& table) {
  LoadedTableShape shape{table.name, table.rows, {}};
  for (const LoadedColumn& column : table.columns) {
    shape.columns.push_back(
        {column.name(), column.declaredType(), column.holdsText(), column.onlyIntegers()});
  }
  return shape;
}

LoadedTable EmptyTableOf(const LoadedTableShape& shape) {
  LoadedTable loaded;
  loaded.name = shape.name;
  for (const LoadedColumnShape& column : shape.columns) {
    loaded.columns.emplace_back(column.name, column.declaredType, column.holdsText);
  }
  return loaded;
}

LoadedTable LoadedTablesFile::EmptyTable(size_t table) const {
  if (table >= shapes_.size()) throw std::out_of_range("no such loaded table");
  return EmptyTableOf(shapes_[table]);
}

LoadedTable LoadedTablesFile::Load(size_t table) const {
  LoadedTable loaded = EmptyTable(table);
  // The rows were found in parts that take at least 4 bytes a value, so
  // reserving for them is bounded by the file's size.
  for (size_t c = 0; c < loaded.columns.size(); ++c) {
    loaded.columns[c].compact_ = spans_[table].compact[c];
    loaded.columns[c].Reserve(shapes_[table].rows);
  }
  std::vector<int32_t> scratch;
  for (uint64_t at = spans_[table].first; at < spans_[table].end;) {
    const PartHead head = ReadPartHead(at, loaded.columns.size());
    AppendPart(head, spans_[table].compact, loaded.columns, scratch);
    loaded.rows += head.rows;
    at = head.end;
  }
  return loaded;
}

LoadedTables LoadedTablesFile::LoadAll() const {
  LoadedTables tables;
  tables.reserve(shapes_.size());
  for (size_t table = 0; table < shapes_.size(); ++table) tables.push_back(Load(table));
  return tables;
}

void LoadedTablesFile::ForEachPart(
    size_t table, const std::function<void(const LoadedTable&, uint64_t)>& fn) const {
  LoadedTable part = EmptyTable(table);
  const std::vector<bool> keepCompact(part.columns.size(), true);
  std::vector<int32_t> scratch;
  uint64_t firstRow = 0;
  for (uint64_t at = spans_[table].first; at < spans_[table].end;) {
    const PartHead head = ReadPartHead(at, part.columns.size());
    for (LoadedColumn& column : part.columns) column.Clear();
    AppendPart(head, keepCompact, part.columns, scratch);
    part.rows = head.rows;
    fn(part, firstRow);
    firstRow += head.rows;
    at = head.end;
  }
}

LoadedTables ReadLoadedTables(int fd, const std::string& name) {
  return LoadedTablesFile::Open(fd, name)->LoadAll();
}

LoadedTables ReadLoadedTables(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) ThrowNotLoadedTables(path, "it cannot be opened");
  return ReadLoadedTables(fd.get(), path);
}

}  // namespace mdbtokvt
