// A fresh empty file in a temporary folder, private to this user, removed
// when its owner goes away unless removed before.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace mdbtokvt
