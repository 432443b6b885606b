// An open table file: a buffered byte sink with one positioned write (the
// record count in the header). The field primitives write through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "tablefile/OutputStream.h"

namespace mdbtokvt {

class TableFile {
 public:
  explicit TableFile(std::unique_ptr<OutputStream> stream, size_t bufferSize = 1 << 20);
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;

  void PutByte(uint8_t b) {
    if (buffer_.size() == capacity_) Flush();
    buffer_.push_back(b);
  }
  void PutBytes(std::string_view bytes);
  void PutZeros(size_t count);
  // bytes, then zeros up to width bytes in all (bytes are at most width):
  // a fixed-width field in one step.
  void PutPadded(std::string_view bytes, size_t width);

  // Writes bytes at an absolute offset already written (after flushing).
  void Overwrite(uint64_t offset, const uint8_t* data, size_t size);

  // Bytes written so far, buffered or not.
  uint64_t Length() const { return flushed_ + buffer_.size(); }

  void Flush();
  // Flushes and closes the stream; errors are thrown.
  void Close();

 private:
  std::unique_ptr<OutputStream> stream_;
  std::vector<uint8_t> buffer_;
  size_t capacity_;
  uint64_t flushed_ = 0;
};

}  // namespace mdbtokvt
