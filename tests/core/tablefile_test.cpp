#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "common/Error.h"
#include "tablefile/OutputStream.h"
#include "tablefile/WriteBin.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(TableFileWriter, HeaderOfAnEmptyTable) {
  test::MemoryTableFile t;
  WriteTableHeader(t.file, 9, 6, 0);
  EXPECT_EQ(t.Flushed(), (Bytes{0x44, 0x42, 0x5F, 0x56, 0x45, 0x52, 0x00, 0x09, 0x00, 0x06, 0x00,
                                0x00, 0x00, 0x00, 0x00}));
}

TEST(TableFileWriter, RecordCountPatchesOnlyItsTwoBytes) {
  test::MemoryTableFile t;
  WriteTableHeader(t.file, 9, 6, 0);
  for (int i = 0; i < 100; ++i) WriteByte(t.file, static_cast<uint8_t>(i));  // spans buffer flushes
  const Bytes before = t.Flushed();
  WriteRecordCount(t.file, 3);
  Bytes after = t.Flushed();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[13], 0x03);
  EXPECT_EQ(after[14], 0x00);
  after[13] = before[13];
  after[14] = before[14];
  EXPECT_EQ(after, before);
}

TEST(TableFileWriter, NumbersAreLittleEndianTwosComplement) {
  test::MemoryTableFile t;
  WriteWord(t.file, 9);
  WriteWord(t.file, 300);
  WriteWord(t.file, 32767);
  WriteWord(t.file, -2);
  WriteWord(t.file, -32768);
  WriteLong(t.file, 1);
  WriteLong(t.file, 0);
  WriteLong(t.file, -2);
  WriteLong(t.file, 70000);
  WriteByte(t.file, 200);
  EXPECT_EQ(t.Flushed(), (Bytes{0x09, 0x00, 0x2C, 0x01, 0xFF, 0x7F, 0xFE, 0xFF, 0x00,
                                0x80, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xFE, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00, 0xC8}));
}

TEST(TableFileWriter, FixedStringsAlwaysEndInNul) {
  struct Case {
    int16_t width;
    size_t length;
    size_t textBytes;
  };
  for (const Case c : {Case{33, 0, 0}, Case{33, 5, 5}, Case{33, 32, 32}, Case{33, 40, 32},
                       Case{1, 0, 0}, Case{1, 5, 0}, Case{1, 40, 0}, Case{257, 300, 256}}) {
    test::MemoryTableFile t;
    std::string text;
    for (size_t i = 0; i < c.length; ++i) text.push_back(static_cast<char>('a' + i % 26));
    WriteFixedString(t.file, text, c.width);
    const Bytes& out = t.Flushed();
    SCOPED_TRACE("width " + std::to_string(c.width) + ", length " + std::to_string(c.length));
    ASSERT_EQ(out.size(), static_cast<size_t>(c.width));
    EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<ptrdiff_t>(c.textBytes)),
              text.substr(0, c.textBytes));
    for (size_t i = c.textBytes; i < out.size(); ++i) EXPECT_EQ(out[i], 0) << "byte " << i;
  }
  // One field after another, some within the buffer's room, some across its
  // end (its 64 bytes), over bytes left by earlier fields.
  test::MemoryTableFile t;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    const auto width = static_cast<int16_t>(1 + (i * 7) % 50);
    const std::string text(static_cast<size_t>(i % 9) * 3, static_cast<char>('A' + i % 26));
    WriteFixedString(t.file, text, width);
    const std::string kept = text.substr(0, static_cast<size_t>(width) - 1);
    expected += kept + std::string(static_cast<size_t>(width) - kept.size(), '\0');
  }
  const Bytes& out = t.Flushed();
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);
}

TEST(TableFileWriter, BytesAbove127AndWidthBelowOne) {
  test::MemoryTableFile t;
  WriteFixedString(t.file, "\x80\xE9\xFF", 4);
  EXPECT_EQ(t.Flushed(), (Bytes{0x80, 0xE9, 0xFF, 0x00}));
  try {
    WriteFixedString(t.file, "x", 0);
    FAIL() << "width 0 accepted";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kInvalidArgument);
  }
}

// A file large enough to be made durable piece by piece while it is written,
// its buffers handed to the stream's writer thread or written at once: every
// byte arrives in order, and patching its start afterwards still works.
TEST(FileStream, LargeFileWrittenWhole) {
  test::TempFolder folder;
  const std::string path = (folder.path() / "large").string();
  auto stream = CreateFileStream(path);
  std::vector<uint8_t> block(1 << 20);
  constexpr int kBlocks = 40;
  for (int i = 0; i < kBlocks; ++i) {
    block.resize(1 << 20);
    std::fill(block.begin(), block.end(), static_cast<uint8_t>(i));
    if (i % 5 == 4) {
      stream->Append(block.data(), block.size());
    } else {
      block = stream->AppendOwned(std::move(block));
      EXPECT_TRUE(block.empty());
    }
  }
  const uint8_t patch[] = {0xAB, 0xCD};
  stream->Overwrite(0, patch, sizeof patch);
  stream->Close();
  ASSERT_EQ(std::filesystem::file_size(path), uint64_t{kBlocks} << 20);
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes(uint64_t{kBlocks} << 20);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xAB);
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xCD);
  EXPECT_EQ(bytes[2], 0);
  for (int i = 1; i < kBlocks; ++i) {
    EXPECT_EQ(bytes[(static_cast<size_t>(i) << 20) + 12345], static_cast<char>(i)) << i;
  }
}

}  // namespace
}  // namespace mdbtokvt
