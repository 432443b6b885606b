#include "query/LoadedTables.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <memory>
#include <streambuf>

#include "common/Error.h"
#include "sortorder/CollatedText.h"

namespace mdbtokvt {

namespace {

constexpr std::string_view kMagic{"MDBTOKVT-TABLES\x01", 16};
constexpr size_t kLengthBytes = sizeof(uint32_t);

[[noreturn]] void ThrowNotLoadedTables(const std::string& path, std::string_view what) {
  throw ConversionError(ErrorNumber::kQueryFailed,
                        "The database engine cannot read the loaded tables in '" + path + "' (" +
                            std::string(what) + ").");
}

// Reads a descriptor from its start with pread, leaving its offset alone;
// large reads go straight into the caller's memory.
class DescriptorReadBuffer final : public std::streambuf {
 public:
  explicit DescriptorReadBuffer(int fd) : fd_(fd) {}

 protected:
  int_type underflow() override {
    const ssize_t n = ReadAt(buffer_, sizeof buffer_);
    if (n <= 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + n);
    return traits_type::to_int_type(buffer_[0]);
  }

  std::streamsize xsgetn(char* into, std::streamsize count) override {
    std::streamsize done = 0;
    while (done < count) {
      if (gptr() < egptr()) {
        const auto take = std::min<std::streamsize>(egptr() - gptr(), count - done);
        std::memcpy(into + done, gptr(), static_cast<size_t>(take));
        gbump(static_cast<int>(take));
        done += take;
      } else if (count - done >= static_cast<std::streamsize>(sizeof buffer_)) {
        const ssize_t n = ReadAt(into + done, static_cast<size_t>(count - done));
        if (n <= 0) break;
        done += n;
      } else if (traits_type::eq_int_type(underflow(), traits_type::eof())) {
        break;
      }
    }
    return done;
  }

 private:
  ssize_t ReadAt(char* into, size_t size) {
    ssize_t n;
    while ((n = ::pread(fd_, into, size, offset_)) < 0 && errno == EINTR) {
    }
    if (n > 0) offset_ += n;
    return n;
  }

  int fd_;
  off_t offset_ = 0;
  char buffer_[1 << 16];
};

}  // namespace

// ---- building ----

void LoadedColumn::NoteKind(ValueKind kind) {
  const auto value = static_cast<uint8_t>(kind);
  if (soleKind_ == kNoRows) {
    soleKind_ = value;
  } else if (soleKind_ != value) {
    soleKind_ = kMixedKinds;
  }
}

void LoadedColumn::AppendNull() {
  NoteKind(ValueKind::kNull);
  kinds_.push_back(static_cast<uint8_t>(ValueKind::kNull));
  slots_.push_back(0);
}

void LoadedColumn::AppendInteger(int64_t value) {
  NoteKind(ValueKind::kInteger);
  kinds_.push_back(static_cast<uint8_t>(ValueKind::kInteger));
  slots_.push_back(static_cast<uint64_t>(value));
}

void LoadedColumn::AppendDouble(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  NoteKind(ValueKind::kDouble);
  kinds_.push_back(static_cast<uint8_t>(ValueKind::kDouble));
  slots_.push_back(bits);
  onlyIntegers_ = false;
}

void LoadedColumn::AppendText(std::string_view text, std::string_view key,
                              std::string_view lostSource) {
  const size_t start = BeginBytes(ValueKind::kText);
  if (key.empty()) {
    arena_.append(text);
  } else {
    AppendCollatedText(text, key, arena_, lostSource);
  }
  EndBytes(start);
}

void LoadedColumn::AppendBlob(std::string_view bytes) {
  const size_t start = BeginBytes(ValueKind::kBlob);
  arena_.append(bytes);
  EndBytes(start);
}

size_t LoadedColumn::BeginBytes(ValueKind kind) {
  NoteKind(kind);
  kinds_.push_back(static_cast<uint8_t>(kind));
  slots_.push_back(arena_.size());
  onlyIntegers_ = false;
  const size_t start = arena_.size();
  arena_.append(kLengthBytes, '\0');
  return start;
}

void LoadedColumn::EndBytes(size_t start) {
  // Access values are far below 4 GB (a Memo holds at most 1 GB).
  const auto length = static_cast<uint32_t>(arena_.size() - start - kLengthBytes);
  std::memcpy(arena_.data() + start, &length, kLengthBytes);
}

void LoadedColumn::Reserve(size_t rows) {
  kinds_.reserve(rows);
  slots_.reserve(rows);
}

double LoadedColumn::number(size_t row) const {
  double value = 0;
  std::memcpy(&value, &slots_[row], sizeof value);
  return value;
}

std::string_view LoadedColumn::bytes(size_t row) const {
  const size_t offset = slots_[row];
  uint32_t length = 0;
  std::memcpy(&length, arena_.data() + offset, kLengthBytes);
  return {arena_.data() + offset + kLengthBytes, length};
}

std::string_view LoadedColumn::text(size_t row) const { return CollatedTextOf(bytes(row)); }

// ---- the file ----

// Reading and writing in one place, so the two cannot drift apart.
class LoadedTablesFile {
 public:
  static void Write(LoadedTablesOutput out, const std::string& path, const LoadedTables& tables) {
    std::string head(kMagic);
    PutNumber(head, static_cast<uint32_t>(tables.size()));
    Put(out.get(), path, head);
    for (const LoadedTable& table : tables) {
      std::string header;
      PutString(header, table.name);
      PutNumber(header, table.rows);
      PutNumber(header, static_cast<uint32_t>(table.columns.size()));
      Put(out.get(), path, header);
      for (const LoadedColumn& column : table.columns) {
        std::string info;
        PutString(info, column.name_);
        PutString(info, column.declaredType_);
        info.push_back(column.holdsText_ ? 1 : 0);
        PutNumber(info, static_cast<uint64_t>(column.kinds_.size()));
        Put(out.get(), path, info);
        Put(out.get(), path, column.kinds_.data(), column.kinds_.size());
        Put(out.get(), path, column.slots_.data(), column.slots_.size() * sizeof(uint64_t));
        std::string arenaSize;
        PutNumber(arenaSize, static_cast<uint64_t>(column.arena_.size()));
        Put(out.get(), path, arenaSize);
        Put(out.get(), path, column.arena_);
      }
    }
    FILE* file = out.release();
    if (std::fclose(file) != 0) ThrowFileError(errno, path);
  }

  static LoadedTables Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) ThrowNotLoadedTables(path, "it cannot be opened");
    const auto size = static_cast<uint64_t>(in.tellg());
    in.seekg(0);
    LoadedTablesFile file(path, in, size);
    return file.ReadAll();
  }

  static LoadedTables Read(int fd, const std::string& name) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) ThrowNotLoadedTables(name, "it cannot be read");
    DescriptorReadBuffer buffer(fd);
    std::istream in(&buffer);
    LoadedTablesFile file(name, in, static_cast<uint64_t>(st.st_size));
    return file.ReadAll();
  }

 private:
  LoadedTablesFile(const std::string& path, std::istream& in, uint64_t size)
      : path_(path), in_(in), rest_(size) {}

  template <typename Number>
  static void PutNumber(std::string& out, Number value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  static void PutString(std::string& out, const std::string& text) {
    PutNumber(out, static_cast<uint32_t>(text.size()));
    out += text;
  }
  static void Put(FILE* out, const std::string& path, const void* data, size_t size) {
    if (size != 0 && std::fwrite(data, 1, size, out) != size) ThrowFileError(errno, path);
  }
  static void Put(FILE* out, const std::string& path, std::string_view data) {
    Put(out, path, data.data(), data.size());
  }

  LoadedTables ReadAll() {
    if (TakeString(kMagic.size()) != kMagic) Fail("unknown format");
    const auto count = TakeNumber<uint32_t>();
    // Each table takes 16 bytes at least; checked before anything is sized.
    if (count > rest_ / 16) Fail("table count");
    LoadedTables tables(count);
    for (LoadedTable& table : tables) {
      table.name = TakeString(TakeNumber<uint32_t>());
      table.rows = TakeNumber<uint64_t>();
      const auto columns = TakeNumber<uint32_t>();
      for (uint32_t i = 0; i < columns; ++i) table.columns.push_back(TakeColumn(table.rows));
    }
    if (rest_ != 0) Fail("bytes after the last table");
    return tables;
  }

  LoadedColumn TakeColumn(uint64_t rows) {
    std::string name = TakeString(TakeNumber<uint32_t>());
    std::string declaredType = TakeString(TakeNumber<uint32_t>());
    const bool holdsText = TakeNumber<uint8_t>() != 0;
    LoadedColumn column(std::move(name), std::move(declaredType), holdsText);
    // Each value takes 9 bytes at least; checked before anything is sized.
    if (TakeNumber<uint64_t>() != rows || rows > rest_ / 9) Fail("column length");
    column.kinds_.resize(rows);
    TakeInto(column.kinds_.data(), rows);
    column.slots_.resize(rows);
    TakeInto(column.slots_.data(), rows * sizeof(uint64_t));
    const auto arenaSize = TakeNumber<uint64_t>();
    if (arenaSize > rest_) Fail("arena length");
    column.arena_ = TakeString(arenaSize);
    for (size_t row = 0; row < rows; ++row) {
      const uint8_t kind = column.kinds_[row];
      if (kind > LoadedColumn::kLastKind) Fail("value kind");
      column.NoteKind(static_cast<ValueKind>(kind));
      if (kind == static_cast<uint8_t>(ValueKind::kText) ||
          kind == static_cast<uint8_t>(ValueKind::kBlob)) {
        const uint64_t offset = column.slots_[row];
        uint32_t length = 0;
        if (offset > arenaSize || arenaSize - offset < kLengthBytes) Fail("value offset");
        std::memcpy(&length, column.arena_.data() + offset, kLengthBytes);
        if (arenaSize - offset - kLengthBytes < length) Fail("value length");
      }
      if (kind != static_cast<uint8_t>(ValueKind::kNull) &&
          kind != static_cast<uint8_t>(ValueKind::kInteger)) {
        column.onlyIntegers_ = false;
      }
    }
    return column;
  }

  void TakeInto(void* target, uint64_t size) {
    if (size > rest_) Fail("cut short");
    if (size != 0 && !in_.read(static_cast<char*>(target), static_cast<std::streamsize>(size))) {
      Fail("cut short");
    }
    rest_ -= size;
  }
  template <typename Number>
  Number TakeNumber() {
    Number value{};
    TakeInto(&value, sizeof value);
    return value;
  }
  std::string TakeString(uint64_t size) {
    if (size > rest_) Fail("cut short");
    std::string text(size, '\0');
    TakeInto(text.data(), size);
    return text;
  }

  [[noreturn]] void Fail(std::string_view what) const { ThrowNotLoadedTables(path_, what); }

  const std::string& path_;
  std::istream& in_;
  uint64_t rest_;  // bytes not read yet
};

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

void WriteLoadedTables(LoadedTablesOutput out, const std::string& path,
                       const LoadedTables& tables) {
  LoadedTablesFile::Write(std::move(out), path, tables);
}

void WriteLoadedTables(const std::string& path, const LoadedTables& tables) {
  WriteLoadedTables(OpenLoadedTablesOutput(path), path, tables);
}

LoadedTables ReadLoadedTables(const std::string& path) { return LoadedTablesFile::Read(path); }

LoadedTables ReadLoadedTables(int fd, const std::string& name) {
  return LoadedTablesFile::Read(fd, name);
}

}  // namespace mdbtokvt
