// The tables a record source reads, as the reader process loaded them:
// column by column, each value a kind tag and an 8-byte slot, text and blob
// bytes in one arena per column. The reader writes them to a file as it reads
// them, a part of at most kLoadedPartRows rows at a time; the converting side
// reads that file back, whole or a part at a time, and serves the tables to
// SQLite as virtual tables (LoadedTableModule.h), so no row is inserted into
// or copied out of a B-tree on the way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/UniqueFd.h"
#include "common/ValueKind.h"

namespace mdbtokvt {

// The declared type of a Yes/No column; the recordset maps integers of such
// columns back to Yes/No values.
inline constexpr std::string_view kBooleanType = "BOOLEAN";

class LoadedColumn {
 public:
  LoadedColumn(std::string name, std::string declaredType, bool holdsText)
      : name_(std::move(name)), declaredType_(std::move(declaredType)), holdsText_(holdsText) {}

  const std::string& name() const { return name_; }
  // The type SQLite sees, e.g. "INTEGER" or "TEXT COLLATE ACCESSTEXT"
  // (which also names the sort order of its texts).
  const std::string& declaredType() const { return declaredType_; }
  // A text column: its Null reads as the Null text marker.
  bool holdsText() const { return holdsText_; }
  size_t size() const { return compact_ ? ints_.size() : kinds_.size(); }
  // True when every value that is not Null is an integer.
  bool onlyIntegers() const { return onlyIntegers_; }

  void AppendNull();
  void AppendInteger(int64_t value);
  void AppendDouble(double value);
  // A text in the output code page with its sort key; without a key the
  // text's key is derived from its bytes when it is compared. lostSource is
  // the text as stored (UTF-8) when the code page lost characters of it.
  void AppendText(std::string_view text, std::string_view key = {},
                  std::string_view lostSource = {});
  void AppendBlob(std::string_view bytes);
  void Reserve(size_t rows);
  // Drops every value, keeping the name, the type and the memory reserved.
  void Clear();

  // A column whose values are all of one kind answers without touching
  // kinds_: look-ups in a join land on random rows, and each array read
  // there is a cache miss.
  ValueKind kind(size_t row) const {
    return static_cast<ValueKind>(soleKind_ <= kLastKind ? soleKind_ : kinds_[row]);
  }
  int64_t integer(size_t row) const {
    return compact_ ? ints_[row] : static_cast<int64_t>(slots_[row]);
  }
  double number(size_t row) const;
  // A text as SQLite gets it (CollatedText.h), or a blob's bytes.
  std::string_view bytes(size_t row) const;
  // A text in the output code page.
  std::string_view text(size_t row) const;

 private:
  friend class LoadedTablesFile;
  friend class LoadedTablesWriter;
  // A loaded value is never a Boolean: Yes/No loads as 1 or 0.
  static constexpr uint8_t kLastKind = static_cast<uint8_t>(ValueKind::kBlob);
  static constexpr uint8_t kNoRows = 0xFE;
  static constexpr uint8_t kMixedKinds = 0xFF;
  // Each value in the arena: its length in these many bytes, then its bytes.
  static constexpr size_t kLengthBytes = sizeof(uint32_t);

  // A value of bytes: its kind, slot and length placeholder, then its bytes
  // appended to the arena, then its length filled in.
  size_t BeginBytes(ValueKind kind);
  void EndBytes(size_t start);
  void NoteKind(ValueKind kind);
  // A compact column made general, before a value is appended to it.
  void Widen();

  std::string name_;
  std::string declaredType_;
  bool holdsText_;
  bool onlyIntegers_ = true;
  uint8_t soleKind_ = kNoRows;  // the kind of every value, or kNoRows / kMixedKinds
  // A column read from the tables file whose values are all integers that
  // fit in 32 bits holds them in ints_ (4 bytes a row instead of 9) and
  // nothing in kinds_ and slots_.
  bool compact_ = false;
  std::vector<int32_t> ints_;
  std::vector<uint8_t> kinds_;
  std::vector<uint64_t> slots_;  // integer, double bits, or arena offset
  std::string arena_;            // per value: 4-byte length, then the bytes
};

struct LoadedTable {
  std::string name;  // catalog name
  uint64_t rows = 0;
  std::vector<LoadedColumn> columns;  // in the table's own order
};

using LoadedTables = std::vector<LoadedTable>;

// The most rows a part of a table holds in the tables file: what the reader
// keeps in memory of a table before writing it, and what a reader of the
// file gets at a time from LoadedTablesFile::ForEachPart.
inline constexpr size_t kLoadedPartRows = 64 * 1024;

// A file opened for LoadedTablesWriter or WriteLoadedTables.
using LoadedTablesOutput = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens path for writing, created or truncated. The reader opens its output
// before it reads the database: from then on it opens nothing. Raises the
// file errors of ThrowFileError.
LoadedTablesOutput OpenLoadedTablesOutput(const std::string& path);
// The same on an empty file open for writing, taken over (closed with the
// output); name names it in messages.
LoadedTablesOutput OpenLoadedTablesOutput(int fd, const std::string& name);

// Writes a tables file table by table, each as its rows come: BeginTable,
// WriteRows as often as rows are at hand, EndTable; Finish after the last
// table. A file that is not finished (the writer gone after an error) is
// refused by the reading side. Every call raises the file errors of
// ThrowFileError.
class LoadedTablesWriter {
 public:
  // path names out in messages.
  LoadedTablesWriter(LoadedTablesOutput out, std::string path);

  // Starts a table of that name with the columns of columns (their names,
  // types and whether they hold text; their values are not written).
  void BeginTable(const std::string& name, const std::vector<LoadedColumn>& columns);
  // Appends the first rows values of every column of columns (the columns
  // of BeginTable, in its order), in parts of at most kLoadedPartRows rows.
  void WriteRows(const std::vector<LoadedColumn>& columns, uint64_t rows);
  // Ends the table begun last with its row count.
  void EndTable();
  // Marks the file complete and closes it.
  void Finish();

 private:
  void WritePart(const std::vector<LoadedColumn>& columns, size_t first, size_t rows);
  void Put(const void* data, size_t size);
  void Put(std::string_view bytes) { Put(bytes.data(), bytes.size()); }

  LoadedTablesOutput out_;
  std::string path_;
  uint32_t tables_ = 0;
  size_t columns_ = 0;  // of the table begun, while one is
  uint64_t rows_ = 0;   // written of that table
  bool inTable_ = false;
  std::string scratch_;  // a part's header and rewritten slots
};

// Writes tables to out (path names it in messages) and closes it. Raises the
// file errors of ThrowFileError.
void WriteLoadedTables(LoadedTablesOutput out, const std::string& path, const LoadedTables& tables);
// The same into path (an existing file, truncated).
void WriteLoadedTables(const std::string& path, const LoadedTables& tables);

// What a tables file says of a table before its rows are read.
struct LoadedColumnShape {
  std::string name, declaredType;
  bool holdsText = false;
  bool onlyIntegers = true;  // every value that is not Null is an integer
};
struct LoadedTableShape {
  std::string name;
  uint64_t rows = 0;
  std::vector<LoadedColumnShape> columns;
};

// The shape of a loaded table.
LoadedTableShape ShapeOf(const LoadedTable& table);
// A table of shape's name and columns, without rows.
LoadedTable EmptyTableOf(const LoadedTableShape& shape);

// A tables file opened for reading: the tables' shapes read at once (one
// pass over the part headers, skipping their bodies), rows when asked for.
// Every length and offset is checked against the file's size before
// anything is sized by it; whatever does not fit raises 3000. The file is
// only read (with pread), so one LoadedTablesFile serves several threads.
class LoadedTablesFile {
  struct Key {};

 public:
  // Raises 3000 for a file that is not such a file. Keeps a descriptor of
  // its own; fd stays open and its offset is left alone. name names the
  // file in messages.
  static std::shared_ptr<const LoadedTablesFile> Open(int fd, std::string name);

  const std::vector<LoadedTableShape>& shapes() const { return shapes_; }
  // The whole table numbered table (in the file's order).
  LoadedTable Load(size_t table) const;
  LoadedTables LoadAll() const;
  // The rows of the table numbered table in row order, a part at a time:
  // fn(part, first row of the part), the part holding the table's name and
  // columns and at most kLoadedPartRows rows (valid during the call only).
  // Not called for a table without rows. Memory does not grow with the
  // table.
  void ForEachPart(size_t table, const std::function<void(const LoadedTable&, uint64_t)>& fn) const;

  // For Open only.
  LoadedTablesFile(Key, int fd, std::string name);

 private:
  struct PartHead;
  // Where a table's parts lie: from its first part to its end mark; per
  // column whether it is compact in every part.
  struct PartSpan {
    uint64_t first = 0;
    uint64_t end = 0;
    std::vector<bool> compact;
  };

  void ReadShapes();
  PartHead ReadPartHead(uint64_t offset, size_t columns) const;
  // Reads the part at head into columns, after the values they hold. A
  // column compact in the part stays compact when keepCompact says so (and
  // it is empty or compact); scratch holds its values on the way otherwise.
  void AppendPart(const PartHead& head, const std::vector<bool>& keepCompact,
                  std::vector<LoadedColumn>& columns, std::vector<int32_t>& scratch) const;
  void ReadAt(uint64_t offset, void* into, uint64_t size) const;
  LoadedTable EmptyTable(size_t table) const;
  [[noreturn]] void Fail(std::string_view what) const;

  UniqueFd fd_;
  std::string name_;
  uint64_t size_ = 0;
  std::vector<LoadedTableShape> shapes_;
  std::vector<PartSpan> spans_;
};

// Reads a whole tables file, checking every length and offset. Raises 3000
// for a file that is not such a file.
LoadedTables ReadLoadedTables(const std::string& path);
// The same from a descriptor of such a file (read from its start, whatever
// its offset; it stays open); name names it in messages.
LoadedTables ReadLoadedTables(int fd, const std::string& name);

}  // namespace mdbtokvt
