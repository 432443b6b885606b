// A whole file mapped read-only into memory. The reader hands the Access file
// to libmdb this way, so that libmdb reads pages from memory: no descriptor of
// the file is left open, and reading needs no system call.
#pragma once

#include <cstddef>
#include <filesystem>

namespace mdbtokvt {

class MappedFile {
 public:
  // Maps the file at path (private, read-only). Throws std::system_error.
  explicit MappedFile(const std::filesystem::path& path);
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  void* data() const { return data_; }
  size_t size() const { return size_; }
  // Takes the mapped pages out of the process's memory. The mapping stays
  // and reads the same bytes: a page read again comes back from the page
  // cache (the mapping is private and never written, so it holds no bytes
  // of its own).
  void ReleaseResidentPages() const;

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace mdbtokvt
