// Damaged Access files read by the real reader: a file cut short at a page
// boundary, pages zeroed or swapped, broken row and memo links, and property
// data that sends libmdb into an endless loop. Each must either read exactly
// as the intact file does or fail with 3343; never give partial data.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "TestSupport.h"
#include "access/AccessFile.h"
#include "common/Error.h"
#include "readerclient/AccessDataSource.h"
#include "source/DataSource.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr size_t kPage = 4096;               // all files here are Jet 4
constexpr size_t kRowCountOffset = 12;       // in a Jet 4 data page
constexpr size_t kTableRowCountOffset = 16;  // in a Jet 4 table definition page

// The record sources of a pager database conversion.
const std::vector<std::string> kMdbSources = {
    "PagerCompany",
    "SELECT USERNAME,PAGERID,PGNAME FROM USERS, PAGERCOMPANY WHERE "
    "USERS.PAGERCOMPANYSEQUENCE=PAGERCOMPANY.TESEQUENCE",
    "SELECT GROUPNAME, USERNAME FROM GROUPS, USERS, GROUPUSER WHERE "
    "GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND USERS.USEQUENCE=GROUPUSER.GUUSERSEQUENCE "
    " ORDER BY GROUPNAME, USERNAME"};

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
uint16_t U16(const std::string& b, size_t at) {
  uint16_t v;
  std::memcpy(&v, b.data() + at, 2);
  return v;
}
void PutU32(std::string& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

bool IsLongValuePage(const std::string& b, size_t page) {
  return b[page * kPage] == 0x01 && b.compare(page * kPage + 4, 4, "LVAL") == 0;
}
bool IsDataPage(const std::string& b, size_t page) {
  return b[page * kPage] == 0x01 && !IsLongValuePage(b, page);
}
// The table definition page of a user table, as the catalog has it.
uint32_t DefinitionPage(const std::string& path, const char* table) {
  return static_cast<uint32_t>(AccessFile(path).FindTable(table)->table_pg);
}
// The first data page of the table defined on page definition.
size_t FirstDataPage(const std::string& b, uint32_t definition) {
  for (size_t page = 3; page < b.size() / kPage; ++page) {
    if (IsDataPage(b, page) && U32(b, page * kPage + 4) == definition) return page;
  }
  return 0;
}
size_t SlotCount(const std::string& b, size_t page) {
  return U16(b, page * kPage + kRowCountOffset);
}
uint16_t SlotWord(const std::string& b, size_t page, size_t slot) {
  return U16(b, page * kPage + kRowCountOffset + 2 + 2 * slot);
}
// File offset of a row's first byte.
size_t RowStart(const std::string& b, size_t page, size_t slot) {
  return page * kPage + (SlotWord(b, page, slot) & 0x1FFF);
}

// Everything a record source yields, as text; or the error number.
struct Reading {
  int error = 0;
  std::string description;
  std::vector<std::string> rows;
  bool operator==(const Reading& o) const { return error == o.error && rows == o.rows; }
};

// Checks that a reading failed as a damaged file, with a description that
// names the damage.
void ExpectDamaged(const Reading& r, const std::string& damage) {
  EXPECT_EQ(r.error, 3343) << r.description;
  EXPECT_NE(r.description.find(damage), std::string::npos) << r.description;
}

class DamagedFiles : public testing::Test {
 protected:
  Reading Read(const std::string& bytes, const std::string& source,
               const ReaderSettings& settings = {}) {
    const fs::path file = folder_.path() / "damaged.mdb";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    return ReadFile(file.string(), source, settings);
  }

  Reading ReadFile(const std::string& path, const std::string& source,
                   ReaderSettings settings = {}) {
    settings.tempFolder = readerTemp_.str();
    Reading reading;
    try {
      auto dataSource = CreateAccessDataSource(kDefaultCodePage, settings);
      dataSource->Open(path, source);
      for (Recordset& rs = dataSource->recordset(); !rs.Eof(); rs.MoveNext()) {
        std::string row;
        for (int i = 0;; ++i) {
          try {
            const Value& value = rs.FieldValue(i);
            row += (value.IsNull() ? "<Null>" : ValueAsText(value)) + "|";
          } catch (const ConversionError&) {
            break;
          }
        }
        reading.rows.push_back(row);
      }
    } catch (const ConversionError& e) {
      reading.error = e.number();
      reading.description = e.what();
    }
    // However the reader ended (stopped, crashed, out of memory), its
    // temporary file is gone.
    EXPECT_TRUE(fs::is_empty(readerTemp_.path())) << path << ", " << source;
    return reading;
  }

  // Expects every source to read as from intact, or to fail as damaged;
  // returns how many failed.
  int ExpectIntactOrDamaged(const std::string& intact, const std::string& damaged,
                            const std::vector<std::string>& sources, const std::string& what) {
    int failures = 0;
    for (const std::string& source : sources) {
      auto known = intactReadings_.find(std::to_string(intact.size()) + source);
      if (known == intactReadings_.end()) {
        known =
            intactReadings_.emplace(std::to_string(intact.size()) + source, Read(intact, source))
                .first;
      }
      const Reading& expected = known->second;
      const Reading got = Read(damaged, source);
      if (got.error == 0) {
        EXPECT_EQ(got, expected) << what << ", " << source << ": partial or changed data";
      } else {
        EXPECT_EQ(got.error, 3343) << what << ", " << source << ": " << got.description;
        ++failures;
      }
    }
    return failures;
  }

  const std::string sample_ = test::ReadFile(test::TestData("fixtures/sample.mdb"));
  test::TempFolder folder_, readerTemp_;
  std::map<std::string, Reading> intactReadings_;  // by file size and source
};

TEST_F(DamagedFiles, CutAtAPageBoundary) {
  // Each cut used to read "successfully" with the rows of the missing pages
  // left out.
  int failures = 0;
  for (size_t pages = 3; pages < sample_.size() / kPage; ++pages) {
    failures += ExpectIntactOrDamaged(sample_, sample_.substr(0, pages * kPage), kMdbSources,
                                      std::to_string(pages) + " pages");
  }
  EXPECT_GT(failures, 0);
}

TEST_F(DamagedFiles, Jet3FileCutAtAPageBoundary) {
  // Access 97 pages are 2048 bytes, with the row table of a data page at
  // another offset. Table1 has rows; Table2's 89 columns take more than one
  // definition page.
  const std::string jet3 = test::ReadFile(test::TestData("fixtures/real/testV1997.mdb"));
  int failures = 0;
  for (size_t pages = 3; pages < jet3.size() / 2048; ++pages) {
    failures += ExpectIntactOrDamaged(jet3, jet3.substr(0, pages * 2048), {"Table1", "Table2"},
                                      std::to_string(pages) + " pages");
  }
  EXPECT_GT(failures, 0);
}

TEST_F(DamagedFiles, ZeroedPages) {
  const std::string book = test::ReadFile(test::TestData("fixtures/sample.abk"));
  const std::vector<std::string> sources = {"PostOffices", "Contacts", "GROUPS", "GROUPUSER"};
  int failedPages = 0;
  for (size_t page = 1; page < book.size() / kPage; ++page) {
    std::string damaged = book;
    std::fill_n(damaged.begin() + static_cast<std::ptrdiff_t>(page * kPage), kPage, '\0');
    failedPages +=
        ExpectIntactOrDamaged(book, damaged, sources, "page " + std::to_string(page)) > 0;
  }
  // At least the data page of each table.
  EXPECT_GE(failedPages, 4);
}

TEST_F(DamagedFiles, PageMapNamingAnotherTablesPage) {
  // The data pages of two tables trade places.
  const std::string path = test::TestData("fixtures/sample.mdb");
  const size_t users = FirstDataPage(sample_, DefinitionPage(path, "USERS"));
  const size_t groups = FirstDataPage(sample_, DefinitionPage(path, "GROUPS"));
  ASSERT_TRUE(users > 0 && groups > 0);
  std::string swapped = sample_;
  std::swap_ranges(swapped.begin() + static_cast<std::ptrdiff_t>(users * kPage),
                   swapped.begin() + static_cast<std::ptrdiff_t>((users + 1) * kPage),
                   swapped.begin() + static_cast<std::ptrdiff_t>(groups * kPage));
  for (const char* table : {"USERS", "GROUPS"}) {
    const Reading r = Read(swapped, table);
    ExpectDamaged(r, "table '" + std::string(table) +
                         "': its page map names a page that is not one of its data pages");
  }
  EXPECT_EQ(Read(swapped, "PagerCompany"), Read(sample_, "PagerCompany"));
}

TEST_F(DamagedFiles, RowCountDisagreesWithTheDefinition) {
  const size_t definition = DefinitionPage(test::TestData("fixtures/sample.mdb"), "GROUPS") * kPage;
  std::string damaged = sample_;
  PutU32(damaged, definition + kTableRowCountOffset,
         U32(sample_, definition + kTableRowCountOffset) + 1);
  const Reading r = Read(damaged, "GROUPS");
  ExpectDamaged(r, "table 'GROUPS': it holds 5 rows where its definition counts 6");
}

TEST_F(DamagedFiles, CatalogWithAnEmptyPageMap) {
  // The catalog table's usage map is made a row of zero bytes (the second
  // row of its page, ending where the first begins): libmdb took that for no
  // map and read through a null pointer when it scanned the catalog, so the
  // reader died of a segmentation fault.
  constexpr size_t kUsageMapOffset = 55;  // in a Jet 4 table definition page
  const size_t page = U32(sample_, 2 * kPage + kUsageMapOffset) >> 8;
  ASSERT_GE(SlotCount(sample_, page), 2u);
  std::string damaged = sample_;
  PutU32(damaged, 2 * kPage + kUsageMapOffset, static_cast<uint32_t>(page << 8 | 1));
  const uint16_t emptyRow = SlotWord(sample_, page, 0) & 0x1FFF;
  std::memcpy(damaged.data() + page * kPage + kRowCountOffset + 2 + 2, &emptyRow, 2);
  for (const std::string& source : kMdbSources) {
    SCOPED_TRACE(source);
    ExpectDamaged(Read(damaged, source),
                  "its list of tables cannot be read: its page map is empty");
  }
}

TEST_F(DamagedFiles, MemoPiecesFormingALoop) {
  // The last piece of a memo value chained over several pages is made to
  // point back at the piece before it.
  std::string damaged = sample_;
  bool looped = false;
  for (size_t page = 1; page < sample_.size() / kPage && !looped; ++page) {
    if (!IsLongValuePage(sample_, page)) continue;
    for (size_t slot = 0; slot < SlotCount(sample_, page) && !looped; ++slot) {
      const uint32_t next = U32(sample_, RowStart(sample_, page, slot));
      const size_t nextPage = next >> 8;
      if (nextPage == 0 || nextPage * kPage >= sample_.size() ||
          !IsLongValuePage(sample_, nextPage) || (next & 0xFF) >= SlotCount(sample_, nextPage)) {
        continue;
      }
      const size_t last = RowStart(sample_, nextPage, next & 0xFF);
      if (U32(sample_, last) != 0) continue;
      PutU32(damaged, last, static_cast<uint32_t>(page << 8 | slot));
      looped = true;
    }
  }
  ASSERT_TRUE(looped);
  const Reading r = Read(damaged, "USERS");
  ExpectDamaged(r, "table 'USERS': the pieces of a memo value form a loop");
}

TEST_F(DamagedFiles, TwoRowsPointingAtOneMovedRow) {
  const std::string edited = test::ReadFile(test::TestData("fixtures/edited.mdb"));
  std::string damaged = edited;
  bool done = false;
  for (size_t page = 3; page < edited.size() / kPage && !done; ++page) {
    if (!IsDataPage(edited, page)) continue;
    std::vector<size_t> pointers;
    for (size_t slot = 0; slot < SlotCount(edited, page); ++slot) {
      if ((SlotWord(edited, page, slot) & 0xC000) == 0x4000) pointers.push_back(slot);
    }
    if (pointers.size() < 2) continue;
    std::memcpy(damaged.data() + RowStart(edited, page, pointers[1]),
                edited.data() + RowStart(edited, page, pointers[0]), 4);
    done = true;
  }
  ASSERT_TRUE(done);
  int shared = 0;
  for (const char* table : {"PagerCompany", "USERS"}) {
    shared += Read(damaged, table).description.find("two rows point at the same moved row") !=
              std::string::npos;
  }
  EXPECT_EQ(shared, 1);
}

TEST_F(DamagedFiles, EndlessPropertyParsingIsContained) {
  // A zero record length in the first property block of the catalog makes
  // libmdb loop while reading the catalog, allocating without end.
  const std::string path = test::TestData("fixtures/real/DateTestDatabase.mdb");
  std::string damaged = test::ReadFile(path);
  const size_t block = damaged.find(std::string("MR2\0", 4));
  ASSERT_NE(block, std::string::npos);
  const size_t second = block + 4 + U32(damaged, block + 4);
  const size_t entry = second + 12 + U16(damaged, second + 10);
  damaged[entry] = damaged[entry + 1] = '\0';

  ReaderSettings byTime;
  byTime.timeout = 1500ms;
  const auto start = std::chrono::steady_clock::now();
  const Reading slow = Read(damaged, "DateTest", byTime);
  EXPECT_EQ(slow.error, 3343) << slow.description;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);

  ReaderSettings byMemory;
  byMemory.timeout = 60s;
  byMemory.memoryLimit = uint64_t{256} << 20;
  const Reading greedy = Read(damaged, "DateTest", byMemory);
  EXPECT_EQ(greedy.error, 3343);
  EXPECT_NE(greedy.description.find("needs more than 256 MB of memory"), std::string::npos)
      << greedy.description;
  // The intact file reads.
  EXPECT_EQ(ReadFile(path, "DateTest").rows.size(), 6u);
}

TEST_F(DamagedFiles, EndlessWarningsEndTheReadEarly) {
  // Cut after 46 of its 58 pages, this Access 97 file sends libmdb's catalog
  // property parser into a loop that prints one warning again and again.
  const std::string cut =
      test::ReadFile(test::TestData("fixtures/real/testV1997.mdb")).substr(0, 46 * 2048);
  ReaderSettings patient;
  patient.timeout = 60s;
  const auto start = std::chrono::steady_clock::now();
  const Reading r = Read(cut, "Table1", patient);
  ExpectDamaged(r,
                "(libmdb printed more than 4 MB of messages, starting with: "
                "Warning: mdb_col_to_string called on unsupported data type 0)");
  // Far below the time limit, with room for a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

}  // namespace
}  // namespace mdbtokvt
