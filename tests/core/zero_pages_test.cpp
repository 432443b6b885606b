// The file stream leaves long runs of whole aligned zero pages unwritten.
// Whatever the pattern of zeros and data, and however the bytes are cut
// into appends, the file reads back byte for byte as written; where the file
// system keeps holes it allocates no block for those runs; where the descriptor cannot
// seek or be extended, or the file may not grow, the result is the same
// bytes or a reported error, never a short file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <random>
#include <thread>

#include "TestSupport.h"
#include "common/Error.h"
#include "tablefile/OutputStream.h"
#include "tablefile/SparseFile.h"

namespace mdbtokvt {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kPage = SparseFileWriter::kPageSize;
constexpr size_t kHole = SparseFileWriter::kMinHolePages * kPage;  // the shortest hole

// A run of zeros or of data bytes (never zero) in a file's layout.
struct Piece {
  bool zero;
  size_t size;
};

Bytes Layout(std::initializer_list<Piece> pieces) {
  Bytes bytes;
  for (const Piece& piece : pieces) {
    for (size_t i = 0; i < piece.size; ++i) {
      bytes.push_back(piece.zero ? 0 : static_cast<uint8_t>(1 + bytes.size() % 251));
    }
  }
  return bytes;
}

// Appends bytes[from, to) in pieces of chunk bytes, alternately by Append
// and by handing the buffer over.
void AppendInChunks(OutputStream& stream, const Bytes& bytes, size_t from, size_t to,
                    size_t chunk) {
  bool owned = false;
  for (size_t at = from; at < to; at += chunk, owned = !owned) {
    const size_t n = std::min(chunk, to - at);
    if (owned) {
      stream.AppendOwned(Bytes(bytes.begin() + static_cast<ptrdiff_t>(at),
                               bytes.begin() + static_cast<ptrdiff_t>(at + n)));
    } else {
      stream.Append(bytes.data() + at, n);
    }
  }
}

Bytes ReadBytes(const std::filesystem::path& path) {
  const std::string text = test::ReadFile(path);
  return Bytes(text.begin(), text.end());
}

uint64_t AllocatedBytes(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return static_cast<uint64_t>(st.st_blocks) * 512;
}

// Which pages of a file are holes: those of runs of at least kHole whole
// zero pages and the zeros after the last data; the others are written.
std::vector<bool> ExpectedHoles(const Bytes& bytes) {
  const size_t pages = (bytes.size() + kPage - 1) / kPage;
  std::vector<bool> zero(pages);
  for (size_t p = 0; p < pages; ++p) {
    const auto from = bytes.begin() + static_cast<ptrdiff_t>(p * kPage);
    const auto to = bytes.begin() + static_cast<ptrdiff_t>(std::min(bytes.size(), (p + 1) * kPage));
    zero[p] = std::all_of(from, to, [](uint8_t b) { return b == 0; });
  }
  std::vector<bool> holes(pages, false);
  for (size_t p = 0; p < pages;) {
    size_t q = p;
    while (q < pages && zero[q]) ++q;
    if (q == pages || (q - p) * kPage >= kHole)
      std::fill(holes.begin() + p, holes.begin() + q, true);
    p = std::max(q, p + 1);
  }
  return holes;
}

// Which pages of the file at path the file system reports as holes.
std::vector<bool> HolesIn(const std::filesystem::path& path, size_t size) {
  std::vector<bool> holes((size + kPage - 1) / kPage, false);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  const auto end = static_cast<off_t>(size);
  for (off_t at = 0; at < end;) {
    const off_t hole = ::lseek(fd, at, SEEK_HOLE);
    if (hole < 0 || hole >= end) break;
    off_t data = ::lseek(fd, hole, SEEK_DATA);
    if (data < 0) data = end;  // a hole to the end
    for (off_t p = hole / static_cast<off_t>(kPage); p * static_cast<off_t>(kPage) < data; ++p) {
      holes[static_cast<size_t>(p)] = true;
    }
    at = data;
  }
  ::close(fd);
  return holes;
}

// Whether a file extended without writing takes no blocks in folder.
bool KeepsHoles(const std::filesystem::path& folder) {
  const std::string probe = (folder / "probe").string();
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool extended = ::ftruncate(fd, 1 << 20) == 0;
  ::close(fd);
  const bool holes = extended && AllocatedBytes(probe) == 0;
  std::filesystem::remove(probe);
  return holes;
}

class ZeroPages : public ::testing::Test {
 protected:
  // Writes bytes into a new file in appends of chunk bytes and checks what
  // reads back, and the blocks it takes where holes are kept.
  void WriteAndCompare(const Bytes& bytes, size_t chunk, const std::string& what) {
    SCOPED_TRACE(what + ", appends of " + std::to_string(chunk));
    const auto path = folder.path() / ("file" + std::to_string(++files));
    auto stream = CreateFileStream(path.string());
    AppendInChunks(*stream, bytes, 0, bytes.size(), chunk);
    stream->Close();
    EXPECT_EQ(ReadBytes(path), bytes);
    // Where holes are kept: exactly the long zero runs are holes, and the
    // blocks are those of the other pages (and, for a file of many extents,
    // a block of the extent tree).
    if (holes) {
      const std::vector<bool> expected = ExpectedHoles(bytes);
      EXPECT_EQ(HolesIn(path, bytes.size()), expected);
      const auto written =
          static_cast<uint64_t>(std::count(expected.begin(), expected.end(), false));
      EXPECT_LE(AllocatedBytes(path), (written + 1) * kPage);
    }
  }

  test::TempFolder folder;
  const bool holes = KeepsHoles(folder.path());
  int files = 0;
};

TEST_F(ZeroPages, EveryLayoutReadsBackTheSame) {
  if (!holes) std::cout << "[ note ] this file system keeps no holes: blocks not checked\n";
  const std::vector<std::pair<std::string, Bytes>> layouts = {
      {"holes at the start, middle and end, a partial zero page last",
       Layout({{true, kHole + 3 * kPage},
               {false, 100},
               {true, kHole + 5 * kPage},
               {false, 2 * kPage + 17},
               {true, 4 * kPage + 50}})},
      {"zeros a page short of a hole, written",
       Layout({{false, kPage}, {true, kHole - kPage}, {false, 10}})},
      {"zeros just long enough", Layout({{false, kPage}, {true, kHole}, {false, 10}})},
      {"short runs of zeros between data",
       [] {
         Bytes b;
         for (int i = 0; i < 40; ++i) {
           const Bytes record = Layout({{false, 300}, {true, 3 * kPage + 700}, {false, 44}});
           b.insert(b.end(), record.begin(), record.end());
         }
         return b;
       }()},
      {"zeros only", Layout({{true, 5 * kPage + 123}})},
      {"zeros only, long", Layout({{true, 2 * kHole + 7}})},
      {"data, then a partial page of zeros", Layout({{false, kPage}, {true, 100}})},
      {"zeros on a page that has data, then data",
       Layout({{false, 10}, {true, kPage - 11}, {false, 1}, {true, kHole + kPage}, {false, 3}})},
      {"a hole ending one byte short of a page", Layout({{true, kHole + kPage - 1}, {false, 1}})},
      {"a single data byte in each page",
       [] {
         Bytes b(8 * kPage, 0);
         for (size_t p = 0; p < 8; ++p) b[p * kPage + (p * 997) % kPage] = 7;
         return b;
       }()},
      {"empty", Bytes()},
  };
  for (const auto& [what, bytes] : layouts) {
    for (const size_t chunk : {size_t{1000}, kPage, 3 * kPage + 5, size_t{1} << 20}) {
      WriteAndCompare(bytes, chunk, what);
    }
  }
}

// Random layouts in random appends (a fixed seed: the same cases each run).
TEST_F(ZeroPages, RandomLayoutsReadBackTheSame) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 40; ++round) {
    Bytes bytes;
    const int pieces = std::uniform_int_distribution(1, 8)(random);
    for (int i = 0; i < pieces; ++i) {
      const bool zero = random() % 2 == 0;
      const size_t size =
          std::uniform_int_distribution<size_t>(1, zero ? 2 * kHole : 3 * kPage)(random);
      for (size_t j = 0; j < size; ++j) {
        bytes.push_back(zero ? 0 : static_cast<uint8_t>(1 + random() % 255));
      }
    }
    const size_t chunk = std::uniform_int_distribution<size_t>(1, 2 * kPage)(random);
    WriteAndCompare(bytes, chunk, "round " + std::to_string(round));
  }
}

// The record count is patched after the rows are written; wherever the
// patched bytes fall, in a page left as a hole or in zeros not yet given to
// the file, they are there afterwards and the rest is unchanged.
TEST_F(ZeroPages, OverwriteInsideAHole) {
  struct Case {
    std::string what;
    Bytes bytes;
    size_t appendedBefore;  // how much is appended when the patch comes
    uint64_t offset;
  };
  const Bytes middle = Layout({{false, kPage}, {true, kHole + 2 * kPage}, {false, kPage}});
  const Bytes zerosFirst = Layout({{true, kHole + kPage}, {false, 10}});
  const Bytes zerosLast = Layout({{false, 10}, {true, 5 * kPage + 7}});
  const Bytes shortZeros = Layout({{false, kPage}, {true, 10 * kPage}, {false, kPage}});
  const std::vector<Case> cases = {
      {"a hole between data pages", middle, middle.size(), 2 * kPage + 10},
      {"a hole across a page boundary", middle, middle.size(), kHole - 1},
      {"the first page, a hole", zerosFirst, zerosFirst.size(), 13},
      {"zeros held back at the end, more data to come", middle, kPage + kHole, 3 * kPage + 5},
      {"zeros held back, at the very end", zerosLast, zerosLast.size(), zerosLast.size() - 2},
      {"zeros only, patched before the rest comes", Layout({{true, kHole + kPage}}), kPage, 13},
      {"short zeros held back at the end of an append", shortZeros, 5 * kPage, 3 * kPage},
  };
  const uint8_t patch[] = {0x03, 0x00, 0xAB};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = folder.path() / ("patched" + std::to_string(++files));
    auto stream = CreateFileStream(path.string());
    AppendInChunks(*stream, c.bytes, 0, c.appendedBefore, 3000);
    const size_t n = std::min<size_t>(sizeof patch, c.bytes.size() - c.offset);
    stream->Overwrite(c.offset, patch, n);
    AppendInChunks(*stream, c.bytes, c.appendedBefore, c.bytes.size(), 3000);
    stream->Close();
    Bytes expected = c.bytes;
    std::copy(patch, patch + n, expected.begin() + static_cast<ptrdiff_t>(c.offset));
    EXPECT_EQ(ReadBytes(path), expected);
  }
}

// A pipe can neither seek nor be extended: the zero pages are written as
// zeros, from the first refused seek on, or at the end when only extending
// the file is refused.
TEST(ZeroPagesWithoutHoles, PipeGetsEveryByte) {
  const std::vector<std::pair<std::string, Bytes>> layouts = {
      {"a hole in the middle", Layout({{false, 100},
                                       {true, kHole + 6 * kPage},
                                       {false, kPage + 3},
                                       {true, kHole},
                                       {false, 5}})},
      {"zero pages at the end only", Layout({{false, kPage + 1}, {true, 5 * kPage + 9}})},
      {"zeros only", Layout({{true, kHole + 70 * kPage}})},
  };
  for (const auto& [what, bytes] : layouts) {
    SCOPED_TRACE(what);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    Bytes received;
    std::thread reader([&] {
      uint8_t block[8192];
      ssize_t n;
      while ((n = ::read(fds[0], block, sizeof block)) > 0)
        received.insert(received.end(), block, block + n);
      ::close(fds[0]);
    });
    auto stream = CreateDescriptorStream(fds[1], "pipe");
    AppendInChunks(*stream, bytes, 0, bytes.size(), 5000);
    stream->Close();
    reader.join();
    EXPECT_EQ(received, bytes);
  }
}

// Writes bytes to a new file at path under a file size limit of 16 pages;
// ends the process with the classic number of the error (0: none).
[[noreturn]] void WriteUnderSizeLimit(const std::string& path, const Bytes& bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{16 * kPage, 16 * kPage};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const int number = test::ErrorNumberOf([&] {
    auto stream = CreateFileStream(path);
    AppendInChunks(*stream, bytes, 0, bytes.size(), 1 << 20);
    stream->Close();
  });
  std::_Exit(number);
}

// Under a file size limit (as a full disk), neither a data page past a hole
// nor the zero pages at the end get past it unnoticed: the stream reports a
// full disk rather than leaving a short file.
TEST(ZeroPagesWithoutHoles, FileSizeLimitIsADiskFull) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::vector<std::pair<std::string, Bytes>> layouts = {
      {"data past a hole", Layout({{false, 10}, {true, kHole + kPage}, {false, 10}})},
      {"zero pages at the end", Layout({{false, 10}, {true, kHole}})},
      {"zeros too short for a hole", Layout({{false, 10}, {true, 30 * kPage}, {false, 10}})},
  };
  test::TempFolder folder;
  int files = 0;
  for (const auto& [what, bytes] : layouts) {
    const std::string path = (folder.path() / ("limited" + std::to_string(++files))).string();
    EXPECT_EXIT(WriteUnderSizeLimit(path, bytes),
                ::testing::ExitedWithCode(static_cast<int>(ErrorNumber::kDiskFull)), "")
        << what;
  }
}

TEST(ZeroPageCheck, FindsTheOneByteThatIsNot) {
  Bytes page(kPage + 70, 0);
  EXPECT_TRUE(IsAllZero(page.data(), page.size()));
  EXPECT_TRUE(IsAllZero(page.data(), 0));
  for (const size_t at : {size_t{0}, size_t{7}, size_t{63}, size_t{64}, kPage - 1, kPage + 69}) {
    page[at] = 0x80;
    EXPECT_FALSE(IsAllZero(page.data(), page.size())) << at;
    EXPECT_TRUE(IsAllZero(page.data(), at)) << at;
    page[at] = 0;
  }
}

}  // namespace
}  // namespace mdbtokvt
