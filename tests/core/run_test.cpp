#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "MemoryRecordset.h"
#include "TestSupport.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "run/DBConvert.h"
#include "tablefile/WriteBin.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

// Serves canned results by record source text; unknown sources are missing tables.
class FakeDataSource final : public DataSource {
 public:
  std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::vector<Value>>>>
      results;
  std::vector<std::string> opened;

  void Open(std::string_view path, std::string_view source, const RecordPlan&) override {
    opened.push_back(std::string(path) + "|" + std::string(source));
    auto it = results.find(std::string(source));
    if (it == results.end()) ThrowTableNotFound(std::string(source));
    recordset_ = std::make_unique<MemoryRecordset>(it->second.first, it->second.second);
  }
  Recordset& recordset() override { return *recordset_; }

 private:
  std::unique_ptr<MemoryRecordset> recordset_;
};

// A converter writing one byte per row (the row's first value) and counting rows.
int32_t ByteConverter(ConversionContext&, Recordset& rs, TableFile& file) {
  if (rs.Bof() && rs.Eof()) return 0;
  rs.MoveFirst();
  while (!rs.Eof()) {
    WriteByte(file, static_cast<uint8_t>(rs.FieldValue(0).integer()));
    rs.MoveNext();
  }
  return rs.RecordCount();
}

// Claims more records than a table file can count.
int32_t HugeConverter(ConversionContext&, Recordset&, TableFile&) { return 100000; }

std::vector<std::vector<Value>> Rows(int n) {
  std::vector<std::vector<Value>> rows;
  for (int i = 0; i < n; ++i) rows.push_back({Value::Integer(i + 1)});
  return rows;
}

TEST(JoinPath, AddsOneSlash) {
  EXPECT_EQ(JoinPath("/out", "USERTAB.KVT"), "/out/USERTAB.KVT");
  EXPECT_EQ(JoinPath("/out/", "USERTAB.KVT"), "/out/USERTAB.KVT");
  EXPECT_EQ(JoinPath("", "USERTAB.KVT"), "/USERTAB.KVT");
  EXPECT_EQ(JoinPath("C:\\out\\", "X"), "C:\\out\\/X");
}

TEST(ConversionRun, WritesHeaderRecordsAndCount) {
  test::TempFolder dir;
  // An old, longer file is replaced, never left longer than its records.
  std::ofstream(dir.path() / "T.KVT") << std::string(5000, 'x');
  FakeDataSource source;
  source.results["SELECT *"] = {{"n"}, Rows(3)};
  NameTables names;
  ConversionContext context(names);
  const TableRun run{
      "T.KVT", {{"PostOffices", {}}, ByteConverter}, {{"SELECT *", {}}, ByteConverter}, "things"};
  OutputFolder folder(dir.str());
  EXPECT_EQ(RunTable(context, source, "/db.mdb", folder, run), 3);
  folder.Commit();
  EXPECT_EQ(test::ReadFile(dir.path() / "T.KVT"),
            std::string("DB_VER\0\x09\0\x06\0\0\0\x03\0\x01\x02\x03", 18));
  EXPECT_EQ(source.opened, std::vector<std::string>{"/db.mdb|SELECT *"});
  EXPECT_EQ(test::FolderSnapshot(dir.path()).size(), 1u);  // no temporaries left
}

TEST(ConversionRun, UsesTheRecordSourceOfTheSourceKind) {
  test::TempFolder dir;
  FakeDataSource source;
  source.results["PostOffices"] = {{"n"}, {}};
  NameTables names;
  ConversionContext context(names);
  context.addressBookSource = true;
  OutputFolder folder(dir.str());
  const TableRun run{
      "T.KVT", {{"PostOffices", {}}, ByteConverter}, {{"SELECT *", {}}, ByteConverter}, "things"};
  EXPECT_EQ(RunTable(context, source, "/db.abk", folder, run), 0);
  folder.Commit();
  EXPECT_EQ(test::ReadFile(dir.path() / "T.KVT").size(), 15u);
}

TEST(ConversionRun, OverflowNamesTheTableAndChangesNothing) {
  test::TempFolder dir;
  std::ofstream(dir.path() / "T.KVT") << "old";
  const auto before = test::FolderSnapshot(dir.path());
  FakeDataSource source;
  source.results["SELECT *"] = {{"n"}, {}};
  NameTables names;
  ConversionContext context(names);
  const TableRun run{
      "T.KVT", {{"", {}}, HugeConverter}, {{"SELECT *", {}}, HugeConverter}, "receivers"};
  try {
    OutputFolder folder(dir.str());
    RunTable(context, source, "/db.mdb", folder, run);
    FAIL() << "no overflow";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kOverflow);
    EXPECT_STREQ(
        e.what(),
        "Overflow: T.KVT can hold at most 32767 records; the source has 100000 receivers.");
  }
  EXPECT_EQ(test::FolderSnapshot(dir.path()), before);
}

// Prepares the fake results of the three real runs for an MDB source.
void FillMdbResults(FakeDataSource& source) {
  source.results["PagerCompany"] = {
      {"pgname", "pgTermPhone", "pgbaud", "pgparity", "pgdatabits", "pgstopbits", "pgmaxmsg"},
      {{Value::Text("Svc"), Value::Text("555"), Value::Text("9600"), Value::Text("EVEN"),
        Value::Integer(7), Value::Integer(1), Value::Integer(80)}}};
  source.results[kReceiverRun.mdb.source.text] = {
      {"USERNAME", "PAGERID", "PGNAME"},
      {{Value::Text("Ann"), Value::Text("1"), Value::Text("Svc")},
       {Value::Text("Bob"), Value::Text("2"), Value::Text("Svc")}}};
  source.results[kGroupRun.mdb.source.text] = {
      {"GROUPNAME", "USERNAME"},
      {{Value::Text("G"), Value::Text("Ann")}, {Value::Text("G"), Value::Text("Bob")}}};
}

// The classic number of the error that converting /db.mdb from source into
// folder ends with, or 0 when the conversion gets through.
int MdbConversionFailure(FakeDataSource& source, const std::string& folder) {
  NameTables names;
  ConversionContext context(names);
  return test::ErrorNumberOf([&] { ConvertDatabase(context, source, "/db.mdb", folder); });
}

// An output folder and a source serving the three runs of an MDB source.
// A test puts older files in the folder, then notes in before what it holds.
class MdbConversionRun : public testing::Test {
 protected:
  MdbConversionRun() { FillMdbResults(source); }

  void WriteOld(const std::string& name, const std::string& contents) {
    std::ofstream(dir.path() / name) << contents;
  }
  void NoteTheFolder() { before = test::FolderSnapshot(dir.path()); }

  test::TempFolder dir;
  FakeDataSource source;
  std::vector<std::pair<std::string, std::string>> before;
};

TEST_F(MdbConversionRun, MissingTableLeavesTheFolderUntouched) {
  WriteOld("TERMTAB.KVT", "old services");
  WriteOld("USERTAB.KVT", "old receivers");
  NoteTheFolder();
  source.results.erase(kGroupRun.mdb.source.text);  // the last run fails
  EXPECT_EQ(MdbConversionFailure(source, dir.str()), NumberOf(ErrorNumber::kTableNotFound));
  EXPECT_EQ(test::FolderSnapshot(dir.path()), before);
}

TEST_F(MdbConversionRun, TableFileNameThatIsAFolderChangesNothing) {
  WriteOld("TERMTAB.KVT", "old services");
  fs::create_directory(dir.path() / "GROUPTAB.KVT");
  NoteTheFolder();
  EXPECT_EQ(MdbConversionFailure(source, dir.str()), NumberOf(ErrorNumber::kPathFileAccess));
  EXPECT_EQ(test::FolderSnapshot(dir.path()), before);
}

TEST_F(MdbConversionRun, OutputFolderThatIsAFileOrMissing) {
  WriteOld("plain", "x");
  for (const std::string& folder :
       {(dir.path() / "plain").string(), (dir.path() / "missing").string()}) {
    EXPECT_EQ(MdbConversionFailure(source, folder), NumberOf(ErrorNumber::kPathNotFound)) << folder;
  }
  EXPECT_EQ(test::ReadFile(dir.path() / "plain"), "x");
}

// Fails on the n-th call (counting appends, overwrites and closes over all files).
class FailingStream final : public OutputStream {
 public:
  FailingStream(std::unique_ptr<OutputStream> inner, int* callsLeft)
      : inner_(std::move(inner)), callsLeft_(callsLeft) {}
  void Append(const uint8_t* d, size_t n) override {
    Tick();
    inner_->Append(d, n);
  }
  void Overwrite(uint64_t o, const uint8_t* d, size_t n) override {
    Tick();
    inner_->Overwrite(o, d, n);
  }
  void Close() override {
    Tick();
    inner_->Close();
  }

 private:
  void Tick() {
    if ((*callsLeft_)-- == 0) throw ConversionError(ErrorNumber::kDiskFull, "Disk full");
  }
  std::unique_ptr<OutputStream> inner_;
  int* callsLeft_;
};

TEST_F(MdbConversionRun, EveryWriteFailureLeavesTheFolderAsItWas) {
  WriteOld("USERTAB.KVT", "old receivers");
  NoteTheFolder();
  int failures = 0;
  for (int failAt = 0;; ++failAt) {
    int callsLeft = failAt;
    NameTables names;
    ConversionContext context(names);
    auto factory = [&](const std::string& path) {
      return std::make_unique<FailingStream>(CreateFileStream(path), &callsLeft);
    };
    try {
      ConvertDatabase(context, source, "/db.mdb", dir.str(), factory);
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.code(), ErrorNumber::kDiskFull);
      EXPECT_EQ(test::FolderSnapshot(dir.path()), before) << "failing at call " << failAt;
      ++failures;
      continue;
    }
    break;  // the conversion got through: every earlier position has been tried
  }
  EXPECT_GE(failures, 9);  // at least append + overwrite + close for each of three files
  const auto after = test::FolderSnapshot(dir.path());
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0].first, "GROUPTAB.KVT");
  EXPECT_EQ(after[1].second.size(), 15u + 572u);
  EXPECT_EQ(after[2].second.size(), 15u + 2 * 352u);
}

// A move that fails half-way through the commit (here the receiver table's
// backup name is taken by a folder just before the old file moves there):
// the files already moved go back, the report too, and nothing is left over.
TEST_F(MdbConversionRun, MoveFailingDuringTheCommitIsUndone) {
  for (const char* name : {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT", "report.json"}) {
    WriteOld(name, std::string("old ") + name);
  }
  NoteTheFolder();
  NameTables names;
  ConversionContext context(names);
  ConversionOptions options;
  options.reportPath = (dir.path() / "report.json").string();
  options.reportText = [](const ConversionCounts&) { return std::string("new report"); };
  std::string stagedReceivers;
  const fs::path blocker = dir.path() / "blocker";
  options.steps = [&](FileStep step, const std::string& path) {
    if (step == FileStep::kCreate && path.find(".USERTAB.KVT.") != std::string::npos) {
      stagedReceivers = path;
    }
    if (step == FileStep::kRename && path == (dir.path() / "USERTAB.KVT").string()) {
      fs::create_directories(fs::path(stagedReceivers + ".old") / "x");
    }
  };
  try {
    ConvertDatabase(context, source, "/db.mdb", dir.str(), options);
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.code(), ErrorNumber::kPathFileAccess) << e.what();
  }
  fs::remove_all(stagedReceivers + ".old");
  EXPECT_EQ(test::FolderSnapshot(dir.path()), before);
}

// A stop requested at any point up to the commit ends the conversion with
// 18 and the folder as it was; one requested once the commit has begun lets
// it finish.
TEST_F(MdbConversionRun, StopAtEachPointBeforeTheCommitChangesNothing) {
  WriteOld("USERTAB.KVT", "old receivers");
  NoteTheFolder();
  std::vector<std::string> points;
  {
    StopRequest stop;
    stop.SetPointObserver([&](std::string_view point) { points.emplace_back(point); });
    NameTables names;
    ConversionContext context(names);
    context.stop = &stop;
    ConvertDatabase(context, source, "/db.mdb", test::TempFolder().str());
  }
  const std::vector<std::string> expected{
      "start",        "TERMTAB.KVT",       "TERMTAB.KVT rows", "USERTAB.KVT", "USERTAB.KVT rows",
      "GROUPTAB.KVT", "GROUPTAB.KVT rows", "before commit",    "commit"};
  ASSERT_EQ(points, expected);
  for (const std::string& at : points) {
    StopRequest stop;
    stop.SetPointObserver([&](std::string_view point) {
      if (point == at) stop.Request(SIGTERM);
    });
    NameTables names;
    ConversionContext context(names);
    context.stop = &stop;
    if (at == "commit") {
      ConvertDatabase(context, source, "/db.mdb", dir.str());
      EXPECT_EQ(test::FolderSnapshot(dir.path()).size(), 3u);
      continue;
    }
    try {
      ConvertDatabase(context, source, "/db.mdb", dir.str());
      ADD_FAILURE() << "not stopped at " << at;
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.code(), ErrorNumber::kUserInterrupt) << at;
    }
    EXPECT_EQ(test::FolderSnapshot(dir.path()), before) << "stopped at " << at;
  }
}

TEST(ConversionRun, SameDatabaseTwiceInOneContextGivesIdenticalFiles) {
  test::TempFolder first, second;
  FakeDataSource source;
  FillMdbResults(source);
  const std::string longName = "A receiver name that is longer than thirty-two";
  source.results[kReceiverRun.mdb.source.text].second.push_back(
      {Value::Text(longName), Value::Text("3"), Value::Text("Svc")});
  source.results[kGroupRun.mdb.source.text].second.push_back(
      {Value::Text("G"), Value::Text(longName)});
  NameTables names;
  ConversionContext context(names);
  ConvertDatabase(context, source, "/db.mdb", first.str());
  ConvertDatabase(context, source, "/db.mdb", second.str());
  EXPECT_EQ(test::FolderSnapshot(first.path()), test::FolderSnapshot(second.path()));
  EXPECT_NE(test::ReadFile(second.path() / "GROUPTAB.KVT").find(longName.substr(0, 28) + "(1)"),
            std::string::npos);
}

}  // namespace
}  // namespace mdbtokvt
