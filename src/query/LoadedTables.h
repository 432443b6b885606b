// The tables a record source reads, as the reader process loaded them:
// column by column, each value a kind tag and an 8-byte slot, text and blob
// bytes in one arena per column. The reader writes them to a file in one
// piece; the converting side reads that file back and serves the tables to
// SQLite as virtual tables (LoadedTableModule.h), so no row is inserted into
// or copied out of a B-tree on the way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  size_t size() const { return kinds_.size(); }
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

  // A column whose values are all of one kind answers without touching
  // kinds_: look-ups in a join land on random rows, and each array read
  // there is a cache miss.
  ValueKind kind(size_t row) const {
    return static_cast<ValueKind>(soleKind_ <= kLastKind ? soleKind_ : kinds_[row]);
  }
  int64_t integer(size_t row) const { return static_cast<int64_t>(slots_[row]); }
  double number(size_t row) const;
  // A text as SQLite gets it (CollatedText.h), or a blob's bytes.
  std::string_view bytes(size_t row) const;
  // A text in the output code page.
  std::string_view text(size_t row) const;

 private:
  friend class LoadedTablesFile;
  // A loaded value is never a Boolean: Yes/No loads as 1 or 0.
  static constexpr uint8_t kLastKind = static_cast<uint8_t>(ValueKind::kBlob);
  static constexpr uint8_t kNoRows = 0xFE;
  static constexpr uint8_t kMixedKinds = 0xFF;

  // A value of bytes: its kind, slot and length placeholder, then its bytes
  // appended to the arena, then its length filled in.
  size_t BeginBytes(ValueKind kind);
  void EndBytes(size_t start);
  void NoteKind(ValueKind kind);

  std::string name_;
  std::string declaredType_;
  bool holdsText_;
  bool onlyIntegers_ = true;
  uint8_t soleKind_ = kNoRows;  // the kind of every value, or kNoRows / kMixedKinds
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

// A file opened for WriteLoadedTables.
using LoadedTablesOutput = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens path for writing, created or truncated. The reader opens its output
// before it reads the database: from then on it opens nothing. Raises the
// file errors of ThrowFileError.
LoadedTablesOutput OpenLoadedTablesOutput(const std::string& path);
// The same on an empty file open for writing, taken over (closed with the
// output); name names it in messages.
LoadedTablesOutput OpenLoadedTablesOutput(int fd, const std::string& name);

// Writes tables to out (path names it in messages) and closes it. Raises the
// file errors of ThrowFileError.
void WriteLoadedTables(LoadedTablesOutput out, const std::string& path, const LoadedTables& tables);
// The same into path (an existing file, truncated).
void WriteLoadedTables(const std::string& path, const LoadedTables& tables);

// Reads a file WriteLoadedTables wrote, checking every length and offset.
// Raises 3000 for a file that is not such a file.
LoadedTables ReadLoadedTables(const std::string& path);
// The same from a descriptor of such a file (read from its start, whatever
// its offset; it stays open); name names it in messages.
LoadedTables ReadLoadedTables(int fd, const std::string& name);

}  // namespace mdbtokvt
