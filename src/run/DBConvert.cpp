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

namespace {

// A converter reading the columns named by columns.
template <auto Convert, const auto& columns>
int32_t Reading(ConversionContext& context, Recordset& recordset, TableFile& file) {
  return Convert(context, recordset, file, columns);
}

}  // namespace

// Each run's record sources, each with its plan (RecordPlan.h: what the
// statement is like, for the query layer to take what pays) and the names of
// the columns its converter reads.

constexpr ServiceColumns kPostOfficeColumns{.name = "poname",
                                            .address = "poAddress",
                                            .baud = "pObaud",
                                            .settings = "poCommSettings",
                                            .maxMessage = "poTypeData1"};
constexpr ServiceColumns kPagerCompanyColumns{.name = "pgname",
                                              .address = "pgTermPhone",
                                              .baud = "pgbaud",
                                              .parity = "pgparity",
                                              .dataBits = "pgdatabits",
                                              .stopBits = "pgstopbits",
                                              .maxMessage = "pgmaxmsg"};
const TableRun kServiceRun{
    kServiceTableFile,
    {{"PostOffices", {}}, Reading<ConvertServiceTable, kPostOfficeColumns>},
    {{"PagerCompany", {}}, Reading<ConvertServiceTable, kPagerCompanyColumns>},
    "services"};

// The joins are answered from integer indexes; no order.
constexpr ReceiverColumns kContactColumns{"ctName", "ctAddress", "poName"};
constexpr ReceiverColumns kUserColumns{"UserName", "PagerID", "pgname"};
const TableRun kReceiverRun{
    kReceiverTableFile,
    {{"SELECT ctName,ctAddress,poNAME FROM "
      "Contacts, Postoffices WHERE contacts.ctPostOffice=PostOffices.poSequence",
      {}},
     Reading<ConvertReceiverTable, kContactColumns>},
    {{"SELECT USERNAME,PAGERID,PGNAME FROM "
      "USERS, PAGERCOMPANY WHERE USERS.PAGERCOMPANYSEQUENCE=PAGERCOMPANY.TESEQUENCE",
      {}},
     Reading<ConvertReceiverTable, kUserColumns>},
    "receivers"};

// Plain joins ordered by the group name: they may run in parts.
constexpr const char* kContactGroups =
    "SELECT GRNAME, CTNAME FROM GROUPS, CONTACTS, GROUPUSER"
    " WHERE GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
    "CONTACTS.CTSEQUENCE=GROUPUSER.GUCONTACTSEQUENCE "
    " ORDER BY GRNAME, CTNAME";
constexpr GroupColumns kContactGroupColumns{"GrName", "ctName"};

constexpr const char* kUserGroups =
    "SELECT GROUPNAME, USERNAME FROM GROUPS, USERS, GROUPUSER"
    " WHERE GROUPS.GRSEQUENCE=GROUPUSER.GUGROUPSEQUENCE AND "
    "USERS.USEQUENCE=GROUPUSER.GUUSERSEQUENCE "
    " ORDER BY GROUPNAME, USERNAME";
constexpr GroupColumns kUserGroupColumns{"GroupName", "UserName"};

// Both are membership joins, which the query layer can run without SQLite.
const MembershipJoinPlan kContactMemberships{"GROUPS",    "GRSEQUENCE",      "GRNAME",
                                             "GROUPUSER", "GUGROUPSEQUENCE", "GUCONTACTSEQUENCE",
                                             "CONTACTS",  "CTSEQUENCE",      "CTNAME"};
const MembershipJoinPlan kUserMemberships{"GROUPS",    "GRSEQUENCE",      "GROUPNAME",
                                          "GROUPUSER", "GUGROUPSEQUENCE", "GUUSERSEQUENCE",
                                          "USERS",     "USEQUENCE",       "USERNAME"};

const TableRun kGroupRun{kGroupTableFile,
                         {{kContactGroups, {"GROUPS", "GRNAME", true, kContactMemberships}},
                          Reading<ConvertGroupTable, kContactGroupColumns>},
                         {{kUserGroups, {"GROUPS", "GROUPNAME", true, kUserMemberships}},
                          Reading<ConvertGroupTable, kUserGroupColumns>},
                         "groups"};

const SourceRun& SourceFor(const TableRun& run, bool addressBookSource) {
  return addressBookSource ? run.addressBook : run.mdb;
}

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
  const SourceRun& source = SourceFor(run, context.addressBookSource);
  OpenRecordSource(dataSource, databasePath, source.source);
  for (const std::string& note : dataSource.notes()) {
    auto& notes = context.report.sourceNotes;
    if (std::find(notes.begin(), notes.end(), note) == notes.end()) notes.push_back(note);
  }
  // The staged file is there, the record source open; the rows follow.
  Checkpoint(context, std::string(run.fileName) + " rows");
  const int32_t count = source.convert(context, dataSource.recordset(), file);
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
  const RecordSource& groups = SourceFor(kGroupRun, context.addressBookSource).source;
  dataSource.ReadAhead(databasePath, groups.text, groups.plan);
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
