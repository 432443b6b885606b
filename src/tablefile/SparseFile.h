// Writing a file front to back with its long runs of zero pages left as
// holes: the pages are skipped rather than written, and the file gets its
// full length when it is settled, so reading it back gives the same bytes
// while the kernel neither copies those pages nor allocates blocks for them.
//
// A hole is not free: it splits the file's extents, and each extent costs
// the file system work when the file is written back and again when it is
// deleted (on ext4 mounted with discard, about 0.05 ms per extent, at times
// ten times that, against about 3 us for writing a page of zeros). A run of
// zeros becomes a hole only from 64 whole, aligned pages on; shorter runs,
// like the empty member slots of a group record (under 5 pages), are
// written. Zeros at the end of the file always become a hole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace mdbtokvt {

// True when the n bytes at data are all zero.
bool IsAllZero(const uint8_t* data, size_t n);

class SparseFileWriter {
 public:
  static constexpr uint64_t kPageSize = 4096;
  // The shortest run of whole zero pages left as a hole.
  static constexpr uint64_t kMinHolePages = 64;

  // Writes through fd (not owned), starting at offset 0; errors name path.
  SparseFileWriter(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  // Appends size bytes at the end. Zero bytes that may still become part of
  // a hole are held back. Throws ConversionError with the classic file
  // error numbers.
  void Append(const uint8_t* data, size_t size);

  // Replaces size bytes at offset, below the length appended, holes included.
  void Overwrite(uint64_t offset, const uint8_t* data, size_t size);

  // Gives the file its full length: the zero bytes held back at the end
  // become a hole, or are written where the file cannot be extended so.
  void Settle();

  // Bytes that went to the descriptor (zeros of skipped pages excluded).
  uint64_t written() const { return written_; }

 private:
  void SkipTo(uint64_t offset);
  void WriteZeros(uint64_t count);
  void Write(const uint8_t* data, size_t size);

  const int fd_;
  const std::string path_;
  uint64_t length_ = 0;
  // The descriptor's offset. Before it the file is complete; when it is
  // short of length_ it sits at a page start and the rest are zeros.
  uint64_t position_ = 0;
  uint64_t written_ = 0;
  // False once the descriptor refused to seek or to be extended (a pipe, a
  // file system without holes): the zeros are then written out.
  bool holes_ = true;
};

}  // namespace mdbtokvt
