// Helpers shared by the core tests: an in-memory output stream, file reading,
// and a throw-away folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tablefile/OutputStream.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt::test {

// Collects written bytes in a shared vector, so they stay readable after the
// stream is handed over.
class MemoryStream final : public OutputStream {
 public:
  explicit MemoryStream(std::shared_ptr<std::vector<uint8_t>> bytes) : bytes_(std::move(bytes)) {}
  void Append(const uint8_t* data, size_t size) override {
    bytes_->insert(bytes_->end(), data, data + size);
  }
  void Overwrite(uint64_t offset, const uint8_t* data, size_t size) override {
    std::copy(data, data + size, bytes_->begin() + static_cast<ptrdiff_t>(offset));
  }
  void Close() override {}

 private:
  std::shared_ptr<std::vector<uint8_t>> bytes_;
};

// A table file writing into memory; bytes() shows what has been flushed.
struct MemoryTableFile {
  std::shared_ptr<std::vector<uint8_t>> bytes = std::make_shared<std::vector<uint8_t>>();
  TableFile file{std::make_unique<MemoryStream>(bytes), 64};
  const std::vector<uint8_t>& Flushed() {
    file.Flush();
    return *bytes;
  }
};

std::string ReadFile(const std::filesystem::path& path);

// A fresh empty folder under the system temp folder, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Names and contents of the regular files of a folder, sorted by name.
std::vector<std::pair<std::string, std::string>> FolderSnapshot(const std::filesystem::path& dir);

std::string TestData(const std::string& relative);

// The text quoted for a POSIX shell command line.
std::string ShellQuote(const std::string& s);

// How a shell command line ended: its exit status (128 + the signal number
// when a signal ended it, as a shell reports it) and what it wrote.
struct ShellOutcome {
  int status;
  std::string out, err;
};

// Runs command through the shell with its standard output and error captured
// in files of their own under scratch, so that runs at the same time do not
// share them.
ShellOutcome RunShell(const std::string& command, const std::filesystem::path& scratch);

// The classic number of the ConversionError that step throws, or 0 when it
// throws none.
int ErrorNumberOf(const std::function<void()>& step);

}  // namespace mdbtokvt::test
