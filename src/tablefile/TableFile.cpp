#include "tablefile/TableFile.h"

#include <algorithm>

#include "common/Error.h"

namespace mdbtokvt {

TableFile::TableFile(std::unique_ptr<OutputStream> stream, size_t bufferSize)
    : stream_(std::move(stream)), capacity_(std::max<size_t>(bufferSize, 1)) {
  buffer_.reserve(capacity_);
}

void TableFile::PutBytes(std::string_view bytes) {
  while (!bytes.empty()) {
    if (buffer_.size() == capacity_) Flush();
    const size_t n = std::min(bytes.size(), capacity_ - buffer_.size());
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
    bytes.remove_prefix(n);
  }
}

void TableFile::PutZeros(size_t count) {
  while (count > 0) {
    if (buffer_.size() == capacity_) Flush();
    const size_t n = std::min(count, capacity_ - buffer_.size());
    buffer_.insert(buffer_.end(), n, 0);
    count -= n;
  }
}

void TableFile::PutPadded(std::string_view bytes, size_t width) {
  if (capacity_ - buffer_.size() < width) {
    PutBytes(bytes);
    PutZeros(width - bytes.size());
    return;
  }
  const size_t at = buffer_.size();
  buffer_.resize(at + width);  // the new bytes are zeros
  std::copy(bytes.begin(), bytes.end(), buffer_.begin() + static_cast<ptrdiff_t>(at));
}

void TableFile::Overwrite(uint64_t offset, const uint8_t* data, size_t size) {
  Flush();
  stream_->Overwrite(offset, data, size);
}

void TableFile::Flush() {
  if (buffer_.empty()) return;
  const size_t size = buffer_.size();
  buffer_ = stream_->AppendOwned(std::move(buffer_));
  buffer_.clear();
  if (buffer_.capacity() < capacity_) buffer_.reserve(capacity_);
  flushed_ += size;
}

void TableFile::Close() {
  Flush();
  stream_->Close();
}

}  // namespace mdbtokvt
