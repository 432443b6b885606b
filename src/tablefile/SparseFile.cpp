#include "tablefile/SparseFile.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/Error.h"

namespace mdbtokvt {

namespace {

// Repeats a write call until every byte is out; a write that makes no
// progress counts as a full disk.
template <typename WriteCall>
void WriteEvery(const uint8_t* data, size_t size, const std::string& path, WriteCall call) {
  uint64_t done = 0;
  while (size > 0) {
    const ssize_t n = call(data, size, done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(errno, path);
    }
    if (n == 0) ThrowFileError(ENOSPC, path);
    data += n;
    size -= static_cast<size_t>(n);
    done += static_cast<uint64_t>(n);
  }
}

}  // namespace

bool IsAllZero(const uint8_t* data, size_t n) {
  // Sixty-four bytes at a time: a zero page costs 64 wide ORs. The last
  // block is looked at first: a page of a group record that starts in its
  // empty slots ends, as a rule, in the next record's fields.
  const auto blockIsZero = [](const uint8_t* block) {
    uint64_t words[8];
    std::memcpy(words, block, sizeof words);
    return (words[0] | words[1] | words[2] | words[3] | words[4] | words[5] | words[6] |
            words[7]) == 0;
  };
  if (n >= 128 && !blockIsZero(data + n - 64)) return false;
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    if (!blockIsZero(data + i)) return false;
  }
  for (; i < n; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

void SparseFileWriter::Append(const uint8_t* data, size_t size) {
  const uint64_t base = length_;
  const uint64_t end = base + size;
  constexpr uint64_t kMinHole = kMinHolePages * kPageSize;
  // The bytes [runStart, at) of data are bound for the file, not yet
  // written; the zero pages at its end, from zerosFrom on, may still turn
  // out long enough to be a hole.
  bool inRun = false;
  uint64_t runStart = 0;
  constexpr uint64_t kNoZeros = UINT64_MAX;
  uint64_t zerosFrom = kNoZeros;
  for (uint64_t at = base; at < end;) {
    const uint64_t pageStart = at - at % kPageSize;
    const uint64_t pieceEnd = std::min(end, pageStart + kPageSize);
    if (!inRun && position_ > pageStart) {
      // The page's first bytes are in the file already: the rest follows.
      inRun = true;
      runStart = at;
    } else if (IsAllZero(data + (at - base), pieceEnd - at)) {
      if (inRun) {
        if (zerosFrom == kNoZeros) zerosFrom = at;
        if (pieceEnd - zerosFrom >= kMinHole) {
          // Long enough: written up to the zeros, which are held back.
          Write(data + (runStart - base), zerosFrom - runStart);
          inRun = false;
          zerosFrom = kNoZeros;
        }
      }
    } else {
      if (!inRun) {
        // Data after zeros held back: enough whole zero pages become a
        // hole, and the zeros of this page from an earlier append are
        // written; fewer are written as they are.
        if (pageStart - position_ >= kMinHole) {
          SkipTo(pageStart);
          if (pageStart < base) WriteZeros(base - pageStart);
          runStart = at;
        } else {
          if (position_ < base) WriteZeros(base - position_);
          runStart = std::max(position_, base);
        }
        inRun = true;
      }
      zerosFrom = kNoZeros;
    }
    at = pieceEnd;
  }
  if (inRun) {
    const uint64_t to = zerosFrom == kNoZeros ? end : zerosFrom;
    Write(data + (runStart - base), to - runStart);
  }
  length_ = end;
}

void SparseFileWriter::Overwrite(uint64_t offset, const uint8_t* data, size_t size) {
  // Into the zeros held back at the end: they become part of the file
  // first, so that writing them out later cannot cover these bytes.
  if (offset + size > position_) Settle();
  WriteEvery(data, size, path_, [this, offset](const uint8_t* p, size_t n, uint64_t done) {
    return ::pwrite(fd_, p, n, static_cast<off_t>(offset + done));
  });
}

void SparseFileWriter::Settle() {
  if (position_ == length_) return;
  if (holes_) {
    const auto target = static_cast<off_t>(length_);
    if (::ftruncate(fd_, target) == 0 && ::lseek(fd_, target, SEEK_SET) == target) {
      position_ = length_;
      return;
    }
    holes_ = false;
  }
  WriteZeros(length_ - position_);
}

void SparseFileWriter::SkipTo(uint64_t offset) {
  if (offset <= position_) return;
  if (holes_) {
    const auto target = static_cast<off_t>(offset);
    if (::lseek(fd_, target, SEEK_SET) == target) {
      position_ = offset;
      return;
    }
    holes_ = false;
  }
  WriteZeros(offset - position_);
}

void SparseFileWriter::WriteZeros(uint64_t count) {
  static constexpr std::array<uint8_t, 16 * kPageSize> kZeros{};
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, kZeros.size()));
    Write(kZeros.data(), n);
    count -= n;
  }
}

void SparseFileWriter::Write(const uint8_t* data, size_t size) {
  WriteEvery(data, size, path_, [this](const uint8_t* p, size_t n, uint64_t) {
    const ssize_t done = ::write(fd_, p, n);
    if (done > 0) {
      position_ += static_cast<uint64_t>(done);
      written_ += static_cast<uint64_t>(done);
    }
    return done;
  });
}

}  // namespace mdbtokvt
