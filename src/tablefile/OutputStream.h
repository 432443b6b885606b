// Where the bytes of a table file go. The production stream writes a file
// descriptor; tests put a fault-injecting stream in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mdbtokvt {

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Appends size bytes at the end. Throws ConversionError on failure.
  virtual void Append(const uint8_t* data, size_t size) = 0;
  // Appends the bytes of buffer, taking it over, and returns an empty buffer
  // for the caller to fill next. A stream may write them later, from a
  // thread of its own; a failure then shows at the next call. This default
  // writes them at once and hands the same buffer back.
  virtual std::vector<uint8_t> AppendOwned(std::vector<uint8_t> buffer);
  // Replaces size bytes at offset; the length does not change.
  virtual void Overwrite(uint64_t offset, const uint8_t* data, size_t size) = 0;
  // Makes the written bytes durable and releases the stream. Throws on failure.
  virtual void Close() = 0;
};

// A stream on a newly created file (fails if the path exists). Errors carry the
// classic file error numbers (61 disk full, 70 permission denied, 76 path not found).
// Long runs of whole, aligned zero pages are left unwritten, as holes (see
// SparseFile.h), and the file is given its full length on closing: it reads
// back the same.
std::unique_ptr<OutputStream> CreateFileStream(const std::string& path);

// The same stream on a descriptor open for writing, which it takes over and
// closes; name stands for it in error messages. On a descriptor that cannot
// seek or be extended (a pipe) the zero pages are written like any others.
std::unique_ptr<OutputStream> CreateDescriptorStream(int fd, const std::string& name);

}  // namespace mdbtokvt
