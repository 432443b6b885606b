#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "common/Error.h"
#include "converters/RecordWriters.h"
#include "run/VerifyOutput.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/TableFileReader.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

constexpr int kInvalid = NumberOf(ErrorNumber::kInvalidFileFormat);
constexpr size_t kFirstRecord = table_header::kSize;

std::string MessageOf(std::string_view bytes, std::string_view name) {
  try {
    ParseTableFile(bytes, name);
  } catch (const ConversionError& e) {
    return e.what();
  }
  return "";
}

int ErrorOf(std::string_view bytes, std::string_view name) {
  try {
    ParseTableFile(bytes, name);
  } catch (const ConversionError& e) {
    return e.number();
  }
  return 0;
}

std::string Table(const std::function<void(TableFile&)>& records, int16_t count) {
  test::MemoryTableFile t;
  WriteTableHeader(t.file, 9, 6, 0);
  records(t.file);
  WriteRecordCount(t.file, count);
  const auto& b = t.Flushed();
  return std::string(b.begin(), b.end());
}

TEST(TableFileReader, DecodesEveryKind) {
  const std::string services =
      Table([&](TableFile& f) { WriteKVTService(f, 9, 6, 0, "Svc", "555", 4, 0, -1); }, 1);
  const auto s = ParseTableFile(services, "whatever.bin");
  ASSERT_EQ(s.kind, TableKind::kService);
  EXPECT_EQ(s.services.at(0).name, "Svc");
  EXPECT_EQ(s.services.at(0).terminalAddress, "555");
  EXPECT_EQ(s.services.at(0).maxMessageLength, -1);
  EXPECT_EQ(s.services.at(0).baudCode, 4);

  const std::string groups = Table(
      [&](TableFile& f) {
        WriteKVTGroup(f, 9, 6, 0, "G1", {"a", "b"}, 2, 500);
        WriteKVTGroup(f, 9, 6, 0, "G2", {}, 0, 500);
      },
      2);
  const auto g = ParseTableFile(groups, "x/grouptab.kvt");
  ASSERT_EQ(g.kind, TableKind::kGroup);
  EXPECT_EQ(g.groupSlots, 500);
  EXPECT_EQ(g.groups.at(0).members, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(g.groups.at(1).members.empty());

  const auto empty = ParseTableFile(Table([](TableFile&) {}, 0), "USERTAB.KVT");
  EXPECT_EQ(empty.kind, TableKind::kReceiver);
  EXPECT_EQ(empty.recordCount, 0);
}

TEST(TableFileReader, RefusesDamagedAndForeignFiles) {
  const std::string good =
      Table([&](TableFile& f) { WriteKVTReceiver(f, 9, 6, 0, "Ann", "1", "Svc"); }, 1);
  EXPECT_EQ(ErrorOf(good, "USERTAB.KVT"), 0);
  EXPECT_EQ(ErrorOf("", "USERTAB.KVT"), kInvalid);
  EXPECT_EQ(ErrorOf(good.substr(0, kFirstRecord - 1), "USERTAB.KVT"), kInvalid);
  EXPECT_EQ(ErrorOf(good.substr(0, good.size() - 1), "USERTAB.KVT"), kInvalid);  // truncated
  EXPECT_EQ(ErrorOf(good + "x", "USERTAB.KVT"), kInvalid);
  EXPECT_EQ(ErrorOf(good, "TERMTAB.KVT"), kInvalid);  // name and record size disagree
  std::string badTag = good;
  badTag[0] = 'X';
  EXPECT_EQ(ErrorOf(badTag, "USERTAB.KVT"), kInvalid);
  std::string badVersion = good;
  badVersion[table_header::kMinor.offset] = 7;
  EXPECT_EQ(ErrorOf(badVersion, "USERTAB.KVT"), kInvalid);
  std::string noNul = good;
  for (int i = 0; i < receiver_record::kName.width; ++i) noNul[kFirstRecord + i] = 'A';
  EXPECT_EQ(ErrorOf(noNul, "USERTAB.KVT"), kInvalid);
  std::string negativeCount = good;
  negativeCount[table_header::kRecordCount.end() - 1] = static_cast<char>(0x80);
  EXPECT_EQ(ErrorOf(negativeCount, "USERTAB.KVT"), kInvalid);
  const std::string group =
      Table([&](TableFile& f) { WriteKVTGroup(f, 9, 6, 0, "G", {"a"}, 1, 32); }, 1);
  std::string tooMany = group;
  tooMany[kFirstRecord + group_record::kMemberCount.offset] = 33;  // above the slots
  EXPECT_EQ(ErrorOf(tooMany, "GROUPTAB.KVT"), kInvalid);
  EXPECT_EQ(ErrorOf(std::string(100, '\0'), "x"), kInvalid);
}

// What a damaged file's message says: what the header claims and what the
// length allows, in plain words and with sizes grouped by thousands.
TEST(TableFileReader, SaysWhatTheHeaderClaimsAndWhatTheLengthAllows) {
  std::string services;
  for (int i = 0; i < 6; ++i) {
    services += Table([&](TableFile& f) { WriteKVTService(f, 9, 6, 0, "S", "1", 0, 0, 0); }, 1)
                    .substr(kFirstRecord);
  }
  std::string header = Table([](TableFile&) {}, 6);
  EXPECT_EQ(MessageOf(header + services + std::string(984, 'x'), "out/TERMTAB.KVT"),
            "Invalid file format: out/TERMTAB.KVT: the header says 6 records of 572 bytes "
            "(3,447 bytes), but the file holds 4,431 bytes");
  // A header alone that counts records: no record size can be made up.
  EXPECT_EQ(MessageOf(header, "copy.kvt"),
            "Invalid file format: copy.kvt: the header says 6 records, but the file holds only "
            "the 15-byte header");
  EXPECT_EQ(MessageOf(header + services + "x", "copy.kvt"),
            "Invalid file format: copy.kvt: the header says 6 records, but the 3,433 bytes after "
            "the 15-byte header do not divide into 6 records of one size");
  EXPECT_NE(MessageOf(header + std::string(600, '\0'), "copy.kvt")
                .find("6 records in 600 bytes, 100 bytes each, which is the size of no table's"),
            std::string::npos);
  EXPECT_NE(MessageOf(header + services, "GROUPTAB.KVT")
                .find("572 bytes each: service records, not the group records"),
            std::string::npos);
  const std::string one = Table([](TableFile&) {}, 1);
  EXPECT_EQ(MessageOf(one, "USERTAB.KVT"),
            "Invalid file format: USERTAB.KVT: the header says 1 record of 352 bytes (367 bytes), "
            "but the file holds 15 bytes");
  EXPECT_EQ(MessageOf(Table([](TableFile&) {}, 0) + "ab", "USERTAB.KVT"),
            "Invalid file format: USERTAB.KVT: the header says 0 records, but the file holds 17 "
            "bytes (15 for the header alone)");
  EXPECT_EQ(MessageOf("DB_VER", "USERTAB.KVT"),
            "Invalid file format: USERTAB.KVT: the file holds 6 bytes, fewer than the 15 of a "
            "table file's header");
}

TEST(TableFileReader, AFolderIsNoTableFile) {
  test::TempFolder dir;
  try {
    ReadTableFile(dir.str());
    FAIL() << "a folder was read";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kPathFileAccess);
    EXPECT_NE(std::string(e.what()).find(" is a folder, not a table file"), std::string::npos);
  }
}

TEST(VerifyOutput, FindsDanglingNamesAndDuplicates) {
  test::TempFolder dir;
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir.path() / name, std::ios::binary) << bytes;
  };
  write("TERMTAB.KVT", Table(
                           [&](TableFile& f) {
                             WriteKVTService(f, 9, 6, 0, "Svc", "1", 0, 0, 0);
                             WriteKVTService(f, 9, 6, 0, "Svc", "2", 0, 0, 0);
                           },
                           2));
  write("USERTAB.KVT", Table(
                           [&](TableFile& f) {
                             WriteKVTReceiver(f, 9, 6, 0, "Ann", "1", "Svc");
                             WriteKVTReceiver(f, 9, 6, 0, "Bob", "2", "Gone");
                           },
                           2));
  write("GROUPTAB.KVT", Table(
                            [&](TableFile& f) {
                              WriteKVTGroup(f, 9, 6, 0, "G", {"Ann", "Eve"}, 2, 32);
                            },
                            1));
  VerifyResult r = VerifyOutputFolder(dir.str());
  ASSERT_EQ(r.problems.size(), 3u);
  EXPECT_NE(r.problems[0].find("repeats record 1"), std::string::npos);
  EXPECT_NE(r.problems[1].find("\"Gone\""), std::string::npos);
  EXPECT_NE(r.problems[2].find("\"Eve\""), std::string::npos);

  fs::remove(dir.path() / "GROUPTAB.KVT");
  r = VerifyOutputFolder(dir.str());
  ASSERT_FALSE(r.problems.empty());
  EXPECT_EQ(r.problems[0].rfind("GROUPTAB.KVT: error 53", 0), 0u) << r.problems[0];
}

}  // namespace
}  // namespace mdbtokvt
