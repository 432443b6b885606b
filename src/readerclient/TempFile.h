// Temporary files in a temporary folder, private to this user: a named one,
// removed when its owner goes away unless removed before, and one without a
// name, which nothing outlives.
#pragma once

#include <string>
#include <string_view>

#include "common/UniqueFd.h"

namespace mdbtokvt {

class TempFile {
 public:
  // Creates folder/<prefix>XXXXXX<suffix>. Throws std::system_error.
  TempFile(const std::string& folder, std::string_view prefix, std::string_view suffix);
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { Remove(); }

  const std::string& path() const { return path_; }
  // Unlinks the file now; whoever still has it open keeps reading it.
  void Remove();

 private:
  std::string path_;
  bool present_ = false;
};

// A fresh empty file in folder that is in no folder: made with O_TMPFILE, or
// where the file system does not offer that, created as
// folder/<prefix>XXXXXX<suffix> and unlinked at once. Its space is freed
// when the last descriptor of it is closed, however the processes holding
// one end, so a killed conversion leaves nothing behind.
class UnnamedTempFile {
 public:
  // Throws std::system_error.
  UnnamedTempFile(const std::string& folder, std::string_view prefix, std::string_view suffix);

  // Open for reading and writing, close-on-exec.
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

}  // namespace mdbtokvt
