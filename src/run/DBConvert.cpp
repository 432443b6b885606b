#include "run/DBConvert.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Error.h"
#include "common/StopRequest.h"
#include "converters/ConvertGroups.h"
#include "converters/ConvertReceivers.h"
#include "converters/ConvertServices.h"
#include "run/CommitRecord.h"
#include "run/FileFuncs.h"
#include "run/StagingNames.h"
#include "tablefile/TableFileNames.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {

// The record sources of the three runs. Each gets the plan its text allows
// (query/StatementPlan.h, which also says what the tables must be like;
// tests/query/statement_plan_test.cpp holds the table of all six): a change
// to a text that costs its plan changes no result, only the speed.

// Plan: plain (a whole table).
const TableRun kServiceRun{kServiceTableFile, "PostOffices", "PagerCompany", "services",
                           ConvertServiceTable};

// Plan: plain (no ORDER BY; the join is answered from integer indexes).
const TableRun kReceiverRun{
    kReceiverTableFile,
    "SELECT ctName,ctAddress,poNAME FROM "
    "Contacts, Postoffices WHERE contacts.ctPostOffice=PostOffices.poSequence",
    "SELECT USERNAME,PAGERID,PGNAME FROM "
    "USERS, PAGERCOMPANY WHERE USERS.PAGERCOMPANYSEQUENCE=PAGERCOMPANY.TESEQUENCE",
    "receivers", ConvertReceiverTable};

// Plan: ordered table by GRNAME / GROUPNAME, in two parts: GROUPS stored in
// name order (up to 100,000 groups), and from 256 group names on, on two
// cores, the statement run on two connections, each with every other group
// name, their rows merged.
const TableRun kGroupRun{kGroupTableFile,
                         "SELECT GRNAME, CTNAME FROM GROUPS, CONTACTS, GROUPUSER"
                         " WHERE GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
                         "CONTACTS.CTSEQUENCE=GROUPUSER.GUCONTACTSEQUENCE "
                         " ORDER BY GRNAME, CTNAME",
                         "SELECT GROUPNAME, USERNAME FROM GROUPS, USERS, GROUPUSER"
                         " WHERE GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
                         "USERS.USEQUENCE=GROUPUSER.GUUSERSEQUENCE "
                         " ORDER BY GROUPNAME, USERNAME",
                         "groups", ConvertGroupTable};

namespace {

// A place between the steps of a conversion where a stop takes effect.
void Checkpoint(const ConversionContext& context, std::string_view point) {
  if (context.stop != nullptr) context.stop->Checkpoint(point);
}

}  // namespace

int16_t RunTable(ConversionContext& context, DataSource& dataSource, std::string_view databasePath,
                 OutputFolder& folder, const TableRun& run) {
  Checkpoint(context, run.fileName);
  TableFile& file = folder.Create(run.fileName);
  WriteTableHeader(file, kSchemaMajor, kSchemaMinor, kSchemaPatch);
  const std::string_view source = context.addressBookSource ? run.addressBookSource : run.mdbSource;
  OpenRecordSource(dataSource, databasePath, source);
  for (const std::string& note : dataSource.notes()) {
    auto& notes = context.report.sourceNotes;
    if (std::find(notes.begin(), notes.end(), note) == notes.end()) notes.push_back(note);
  }
  // The staged file is there, the record source open; the rows follow.
  Checkpoint(context, std::string(run.fileName) + " rows");
  const int32_t count = run.convert(context, dataSource.recordset(), file);
  if (count > 32767) {
    ThrowOverflow(std::string(run.fileName) + " can hold at most 32767 records; the source has " +
                  std::to_string(count) + " " + std::string(run.recordNoun) + ".");
  }
  const auto recordCount = static_cast<int16_t>(count);
  WriteRecordCount(file, recordCount);
  return recordCount;
}

int16_t CreateServiceTable(ConversionContext& context, DataSource& dataSource,
                           std::string_view databasePath, OutputFolder& folder) {
  return RunTable(context, dataSource, databasePath, folder, kServiceRun);
}

int16_t CreateReceiverTable(ConversionContext& context, DataSource& dataSource,
                            std::string_view databasePath, OutputFolder& folder) {
  return RunTable(context, dataSource, databasePath, folder, kReceiverRun);
}

int16_t CreateGroupTable(ConversionContext& context, DataSource& dataSource,
                         std::string_view databasePath, OutputFolder& folder) {
  return RunTable(context, dataSource, databasePath, folder, kGroupRun);
}

namespace {

[[noreturn]] void Refuse(const std::string& what) {
  throw ConversionError(ErrorNumber::kPathFileAccess,
                        ClassicDescription(ErrorNumber::kPathFileAccess) + " (" + what + ")");
}

// The source is only ever read, and no output file may stand for another.
void RefuseUnsafeTargets(std::string_view databasePath, std::string_view outputFolder,
                         const std::string& reportPath) {
  const std::string source(databasePath);
  std::vector<std::string> tables;
  for (const TableRun* run : {&kServiceRun, &kReceiverRun, &kGroupRun}) {
    tables.push_back(JoinPath(outputFolder, run->fileName));
    if (NameTheSameFile(tables.back(), source)) {
      Refuse(tables.back() + " is the source database");
    }
  }
  if (reportPath.empty()) return;
  struct stat st {};
  if (::lstat(reportPath.c_str(), &st) == 0 && !FileExists(reportPath)) {
    Refuse("the report " + reportPath + " exists and is not a file");
  }
  if (NameTheSameFile(reportPath, source)) {
    Refuse("the report " + reportPath + " is the source database");
  }
  for (const std::string& table : tables) {
    if (NameTheSameFile(reportPath, table)) {
      Refuse("the report " + reportPath + " is the table file " + table);
    }
  }
  // The names the commit itself uses: the report would take their place.
  const std::string name = NameOf(reportPath);
  if (name == kCommitRecordName || name == kUndoRecordName || ParseStagingName(name)) {
    Refuse("the report " + reportPath + " has the name of a file the conversion makes for itself");
  }
}

}  // namespace

ConversionCounts ConvertDatabase(ConversionContext& context, DataSource& dataSource,
                                 std::string_view databasePath, std::string_view outputFolder,
                                 const ConversionOptions& options) {
  context.StartConversion();
  Checkpoint(context, "start");
  RefuseUnsafeTargets(databasePath, outputFolder, options.reportPath);
  OutputFolder folder{std::string(outputFolder), options.factory, options.steps};
  context.report.outputNotes = folder.Tidy();
  TableFile* report = nullptr;
  if (!options.reportPath.empty()) {
    report = &folder.CreateBeside(options.reportPath, context.report.outputNotes);
  }
  // The group run reads by far the most rows; its reading overlaps the
  // service and receiver runs.
  dataSource.ReadAhead(
      databasePath, context.addressBookSource ? kGroupRun.addressBookSource : kGroupRun.mdbSource);
  ConversionCounts counts;
  counts.services = CreateServiceTable(context, dataSource, databasePath, folder);
  counts.receivers = CreateReceiverTable(context, dataSource, databasePath, folder);
  counts.groups = CreateGroupTable(context, dataSource, databasePath, folder);
  if (report != nullptr) report->PutBytes(options.reportText(counts));
  // The last place a stop takes effect: a commit once begun is finished.
  Checkpoint(context, "before commit");
  if (context.stop != nullptr) context.stop->Reached("commit");
  folder.Commit();
  return counts;
}

ConversionCounts ConvertDatabase(ConversionContext& context, DataSource& dataSource,
                                 std::string_view databasePath, std::string_view outputFolder,
                                 OutputFolder::StreamFactory factory) {
  ConversionOptions options;
  options.factory = std::move(factory);
  return ConvertDatabase(context, dataSource, databasePath, outputFolder, options);
}

}  // namespace mdbtokvt
