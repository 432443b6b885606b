// The tables file in parts: tables longer than one part come back value for
// value, whole or a part at a time, and a cut, damaged or unfinished file is
// refused with 3000 without a crash or an allocation sized by the damage.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <limits>
#include <thread>

#include "TestSupport.h"
#include "common/Error.h"
#include "common/UniqueFd.h"
#include "query/LoadedTables.h"

namespace mdbtokvt {
namespace {

constexpr size_t kPart = kLoadedPartRows;
constexpr int kQueryFailed = 3000;

// Three parts and a bit: integers that fit in 32 bits (the compact form)
// in the first part, then Nulls, a 64-bit integer and doubles, then texts,
// blobs and the 32-bit limits.
LoadedTable MixedTable() {
  LoadedTable table{"Mixed", 0, {}};
  table.columns.emplace_back("n", "INTEGER", false);
  table.columns.emplace_back("t", "TEXT", true);
  table.columns.emplace_back("d", "REAL", false);
  const size_t rows = 3 * kPart + 7;
  for (size_t row = 0; row < rows; ++row) {
    LoadedColumn& n = table.columns[0];
    LoadedColumn& t = table.columns[1];
    LoadedColumn& d = table.columns[2];
    const auto i = static_cast<int64_t>(row);
    if (row < kPart) {
      n.AppendInteger(i - 40000);
      t.AppendText("row " + std::to_string(row));
      d.AppendInteger(i);
    } else if (row < 2 * kPart) {
      row % 5 == 0 ? n.AppendNull() : n.AppendInteger(row == kPart + 1 ? int64_t{1} << 40 : i);
      row % 7 == 0 ? t.AppendNull() : t.AppendText(std::string(row % 13, 'x'));
      d.AppendDouble(static_cast<double>(row) / 4);
    } else {
      n.AppendInteger(row % 2 ? std::numeric_limits<int32_t>::min()
                              : std::numeric_limits<int32_t>::max());
      row % 3 ? t.AppendText("") : t.AppendBlob(std::string("\0\1", 2));
      d.AppendNull();
    }
    ++table.rows;
  }
  return table;
}

LoadedTables SampleTables() {
  LoadedTable empty{"Empty", 0, {}};
  empty.columns.emplace_back("e", "INTEGER", false);
  LoadedTable counted{"Counted", kPart + 1, {}};  // no column read: count(*)
  LoadedTable after{"After", 1, {}};
  after.columns.emplace_back("a", "TEXT", true);
  after.columns[0].AppendText("last");
  return {MixedTable(), std::move(empty), std::move(counted), std::move(after)};
}

// Each value of expected from row first on, as many as actual holds.
void ExpectSameValues(const LoadedTable& expected, const LoadedTable& actual, size_t first = 0) {
  ASSERT_EQ(expected.name, actual.name);
  ASSERT_EQ(expected.columns.size(), actual.columns.size());
  for (size_t c = 0; c < expected.columns.size(); ++c) {
    const LoadedColumn& want = expected.columns[c];
    const LoadedColumn& got = actual.columns[c];
    ASSERT_EQ(got.name(), want.name());
    ASSERT_EQ(got.declaredType(), want.declaredType());
    ASSERT_EQ(got.holdsText(), want.holdsText());
    ASSERT_EQ(got.size(), actual.rows);
    for (size_t row = 0; row < got.size(); ++row) {
      const ValueKind kind = want.kind(first + row);
      ASSERT_EQ(got.kind(row), kind) << want.name() << " row " << first + row;
      if (kind == ValueKind::kInteger) {
        ASSERT_EQ(got.integer(row), want.integer(first + row));
      }
      if (kind == ValueKind::kDouble) {
        ASSERT_EQ(got.number(row), want.number(first + row));
      }
      if (kind == ValueKind::kText || kind == ValueKind::kBlob) {
        ASSERT_EQ(got.bytes(row), want.bytes(first + row)) << want.name() << " row " << first + row;
      }
    }
  }
}

class TablesFile : public ::testing::Test {
 protected:
  std::string Write(const LoadedTables& tables) {
    std::ofstream(path_).close();
    WriteLoadedTables(path_, tables);
    return test::ReadFile(path_);
  }
  void Store(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
  }
  std::shared_ptr<const LoadedTablesFile> Open() {
    const UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    return LoadedTablesFile::Open(fd.get(), path_);  // keeps a descriptor of its own
  }
  // The error number of opening the stored file and reading all of it.
  int ReadingError() {
    return test::ErrorNumberOf([&] {
      const auto file = Open();
      file->LoadAll();
      for (size_t t = 0; t < file->shapes().size(); ++t) {
        file->ForEachPart(t, [](const LoadedTable&, uint64_t) {});
      }
    });
  }

  test::TempFolder folder_;
  const std::string path_ = (folder_.path() / "tables").string();
};

TEST_F(TablesFile, TablesOfSeveralPartsComeBackWholeAndPartByPart) {
  const LoadedTables tables = SampleTables();
  Write(tables);
  const auto file = Open();

  const std::vector<LoadedTableShape>& shapes = file->shapes();
  ASSERT_EQ(shapes.size(), 4u);
  EXPECT_EQ(shapes[0].name, "Mixed");
  EXPECT_EQ(shapes[0].rows, 3 * kPart + 7);
  ASSERT_EQ(shapes[0].columns.size(), 3u);
  EXPECT_EQ(shapes[0].columns[1].declaredType, "TEXT");
  EXPECT_TRUE(shapes[0].columns[1].holdsText);
  // Integers and Nulls only; integers, then doubles; texts.
  EXPECT_TRUE(shapes[0].columns[0].onlyIntegers);
  EXPECT_FALSE(shapes[0].columns[2].onlyIntegers);
  EXPECT_FALSE(shapes[0].columns[1].onlyIntegers);
  EXPECT_EQ(shapes[1].rows, 0u);
  EXPECT_EQ(shapes[2].rows, kPart + 1);
  EXPECT_TRUE(shapes[2].columns.empty());

  for (size_t t = 0; t < tables.size(); ++t) {
    const LoadedTable whole = file->Load(t);
    EXPECT_EQ(whole.rows, tables[t].rows);
    ExpectSameValues(tables[t], whole);
  }
  EXPECT_TRUE(file->Load(0).columns[0].onlyIntegers());
  EXPECT_FALSE(file->Load(0).columns[2].onlyIntegers());
  ExpectSameValues(tables[3], ReadLoadedTables(path_).at(3));

  // Part by part, in row order, twice, the second time from another thread.
  auto parts = [&](size_t table) {
    std::vector<std::pair<uint64_t, uint64_t>> seen;  // first row, rows
    file->ForEachPart(table, [&](const LoadedTable& part, uint64_t first) {
      EXPECT_LE(part.rows, kPart);
      ExpectSameValues(tables[table], part, first);
      seen.emplace_back(first, part.rows);
    });
    return seen;
  };
  const std::vector<std::pair<uint64_t, uint64_t>> mixedParts = {
      {0, kPart}, {kPart, kPart}, {2 * kPart, kPart}, {3 * kPart, 7}};
  EXPECT_EQ(parts(0), mixedParts);
  std::vector<std::pair<uint64_t, uint64_t>> again;
  std::thread([&] { again = parts(0); }).join();
  EXPECT_EQ(again, mixedParts);
  EXPECT_TRUE(parts(1).empty());
  EXPECT_EQ(parts(2), (std::vector<std::pair<uint64_t, uint64_t>>{{0, kPart}, {kPart, 1}}));

  // A part knows its own values: only the second holds doubles.
  file->ForEachPart(0, [&](const LoadedTable& part, uint64_t first) {
    EXPECT_EQ(part.columns[2].onlyIntegers(), first != kPart);
    EXPECT_EQ(part.columns[0].onlyIntegers(), true);
  });
}

TEST_F(TablesFile, IntegersThatFitIn32BitsTakeFourBytesARow) {
  LoadedTable ids{"Ids", 0, {}};
  ids.columns.emplace_back("a", "INTEGER", false);
  ids.columns.emplace_back("b", "INTEGER", false);
  for (size_t row = 0; row < 2 * kPart; ++row) {
    ids.columns[0].AppendInteger(static_cast<int64_t>(row) * 7 - 300000);
    ids.columns[1].AppendInteger(static_cast<int64_t>(row % 915));
    ++ids.rows;
  }
  const std::string bytes = Write({ids});
  EXPECT_LT(bytes.size(), 2 * kPart * 2 * sizeof(int32_t) + 200);
  LoadedTable back = ReadLoadedTables(path_).at(0);
  ExpectSameValues(ids, back);
  // Such a column held in 32 bits still takes any value appended to it.
  LoadedColumn& a = back.columns[0];
  a.AppendInteger(int64_t{1} << 40);
  a.AppendNull();
  a.AppendText("t");
  ASSERT_EQ(a.size(), 2 * kPart + 3);
  EXPECT_EQ(a.integer(0), -300000);
  EXPECT_EQ(a.integer(2 * kPart - 1), ids.columns[0].integer(2 * kPart - 1));
  EXPECT_EQ(a.integer(2 * kPart), int64_t{1} << 40);
  EXPECT_EQ(a.kind(2 * kPart + 1), ValueKind::kNull);
  EXPECT_EQ(a.bytes(2 * kPart + 2), "t");
  EXPECT_FALSE(a.onlyIntegers());

  // One value beyond 32 bits: its part keeps 64-bit slots, the other part
  // stays compact, and both read back exactly.
  ids.columns[0].Clear();
  for (size_t row = 0; row < 2 * kPart; ++row) {
    ids.columns[0].AppendInteger(row == kPart + 3 ? int64_t{std::numeric_limits<int32_t>::max()} + 1
                                                  : -static_cast<int64_t>(row));
  }
  const std::string wider = Write({ids});
  EXPECT_GT(wider.size(), bytes.size() + kPart * 4);
  EXPECT_LT(wider.size(), bytes.size() + kPart * 6);
  ExpectSameValues(ids, ReadLoadedTables(path_).at(0));
}

// A small file of several parts: a table counted in two parts, texts, and
// compact integers in two parts.
LoadedTables SmallMultiPartTables() {
  LoadedTable counted{"C", kPart + 2, {}};
  LoadedTable texts{"T", 3, {}};
  texts.columns.emplace_back("s", "TEXT", true);
  texts.columns[0].AppendText("one");
  texts.columns[0].AppendNull();
  texts.columns[0].AppendBlob("b");
  return {std::move(counted), std::move(texts)};
}

TEST_F(TablesFile, CutOrDamagedFilesAreRefused) {
  const std::string bytes = Write(SmallMultiPartTables());
  ASSERT_EQ(ReadingError(), 0);
  // Cut anywhere, also right before the last mark: refused.
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    Store(bytes.substr(0, cut));
    ASSERT_EQ(ReadingError(), kQueryFailed) << "cut at " << cut;
  }
  // Any four bytes made huge: a valid file or 3000, never a crash or an
  // allocation of what the bytes say.
  for (size_t at = 16; at + 4 <= bytes.size(); ++at) {
    std::string changed = bytes;
    changed.replace(at, 4, "\xff\xff\xff\x7f");
    Store(changed);
    const int error = ReadingError();
    ASSERT_TRUE(error == 0 || error == kQueryFailed) << "at " << at << ": " << error;
  }

  // Where the fields of the first table lie: magic, 'T', name "C", no
  // columns, then its first part: 'P', body length, row count.
  const size_t part = 16 + 1 + 4 + 1 + 4;
  auto patched = [&](size_t at, const auto value) {
    std::string changed = bytes;
    std::memcpy(changed.data() + at, &value, sizeof value);
    Store(changed);
    return ReadingError();
  };
  EXPECT_EQ(patched(part, 'P'), 0);  // the layout as the test reads it
  EXPECT_EQ(patched(part + 1, uint64_t{bytes.size()}), kQueryFailed);  // past the end
  EXPECT_EQ(patched(part + 1, ~uint64_t{0}), kQueryFailed);
  EXPECT_EQ(patched(part + 9, uint32_t{kPart + 1}), kQueryFailed);  // rows over a part's
  EXPECT_EQ(patched(part + 9, ~uint32_t{0}), kQueryFailed);
  EXPECT_EQ(patched(part + 9, uint32_t{0}), kQueryFailed);
  // The table's row count at its end mark, huge or one off.
  const size_t end = part + 2 * (1 + 8 + 4);
  EXPECT_EQ(patched(end, 'E'), 0);
  EXPECT_EQ(patched(end + 1, ~uint64_t{0}), kQueryFailed);
  EXPECT_EQ(patched(end + 1, uint64_t{kPart + 1}), kQueryFailed);
  // A column count no file of this size can hold.
  EXPECT_EQ(patched(16 + 1 + 4 + 1, uint32_t{1} << 30), kQueryFailed);
  EXPECT_EQ(patched(bytes.size() - 4, uint32_t{3}), kQueryFailed);  // table count
  Store(bytes + "x");
  EXPECT_EQ(ReadingError(), kQueryFailed);
}

TEST_F(TablesFile, ValuesAgainstTheirPartHeadAreRefusedWhenRead) {
  LoadedTable ints{"I", 2, {}};
  ints.columns.emplace_back("i", "INTEGER", false);
  ints.columns[0].AppendNull();  // not compact: kinds and slots
  ints.columns[0].AppendInteger(5);
  const std::string bytes = Write({ints});
  // magic, 'T', "I", one column "i" of type "INTEGER" not text, then the
  // part: 'P', body length, row count, the column's flags, its kinds.
  const size_t part = 16 + 1 + 5 + 4 + 5 + 11 + 1;
  const size_t flags = part + 1 + 8 + 4;
  ASSERT_EQ(bytes.at(flags), 2);  // integers only, not compact
  auto readWith = [&](size_t at, char value) {
    std::string changed = bytes;
    changed.at(at) = value;
    Store(changed);
    return ReadingError();
  };
  EXPECT_EQ(readWith(flags + 1 + 1, static_cast<char>(ValueKind::kText)), kQueryFailed);
  EXPECT_EQ(readWith(flags + 1 + 1, 0x77), kQueryFailed);  // no kind
  EXPECT_EQ(readWith(flags, 0), kQueryFailed);             // says "not only integers"
  EXPECT_EQ(readWith(flags, 1), kQueryFailed);             // compact, not integers
  EXPECT_EQ(readWith(flags, 8), kQueryFailed);             // unknown form
  EXPECT_EQ(readWith(flags + 1 + 1, static_cast<char>(ValueKind::kInteger)), 0);
}

TEST_F(TablesFile, AWriterStoppedHalfWayLeavesAFileThatIsRefused) {
  {
    LoadedTablesWriter writer(OpenLoadedTablesOutput(path_), path_);
    const LoadedTable table = MixedTable();
    writer.BeginTable(table.name, table.columns);
    writer.WriteRows(table.columns, table.rows);
    writer.EndTable();
    // A second table fails to load: the writer goes without Finish.
  }
  EXPECT_EQ(ReadingError(), kQueryFailed);
}

}  // namespace
}  // namespace mdbtokvt
