// The conversion run: makes each table file from end to end (staging file,
// header, record source, converter, record count) and a whole conversion of
// the three files, services first, then receivers, then groups.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "converters/ConversionContext.h"
#include "run/FileSteps.h"
#include "run/OutputFolder.h"
#include "source/DataSource.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// A converter walks the recordset, writes its records to the file (positioned
// after the header) and returns their number.
using TableConverter = int32_t (*)(ConversionContext&, Recordset&, TableFile&);

// What a run reads for one source kind: the record source with its plan, and
// the converter, which reads the columns that record source gives.
struct SourceRun {
  RecordSource source;
  TableConverter convert;
};

// What distinguishes the three runs.
struct TableRun {
  std::string_view fileName;    // e.g. "USERTAB.KVT"
  SourceRun addressBook;        // for an address-book source
  SourceRun mdb;                // for an MDB source
  std::string_view recordNoun;  // what one record stands for, e.g. "receivers"
};

// What run reads for the source kind: the one place it is chosen.
const SourceRun& SourceFor(const TableRun& run, bool addressBookSource);

extern const TableRun kServiceRun;
extern const TableRun kReceiverRun;
extern const TableRun kGroupRun;

// One run: stages run.fileName in the folder, writes the header, opens the
// record source for the context's source kind, converts, and writes the count.
// Raises 6 "Overflow" when the count exceeds 32767. Returns the count.
int16_t RunTable(ConversionContext& context, DataSource& dataSource, std::string_view databasePath,
                 OutputFolder& folder, const TableRun& run);

int16_t CreateServiceTable(ConversionContext& context, DataSource& dataSource,
                           std::string_view databasePath, OutputFolder& folder);
int16_t CreateReceiverTable(ConversionContext& context, DataSource& dataSource,
                            std::string_view databasePath, OutputFolder& folder);
int16_t CreateGroupTable(ConversionContext& context, DataSource& dataSource,
                         std::string_view databasePath, OutputFolder& folder);

struct ConversionCounts {
  int16_t services = 0;
  int16_t receivers = 0;
  int16_t groups = 0;
};

// What a conversion writes besides the three table files, and how.
struct ConversionOptions {
  // The report file; empty for none. It is staged and replaced with the table
  // files, in the same commit.
  std::string reportPath;
  // Makes the report's content once the three runs are done.
  std::function<std::string(const ConversionCounts&)> reportText;
  OutputFolder::StreamFactory factory = CreateFileStream;
  FileStepHook steps;
};

// A whole conversion into outputFolder: first what a stopped conversion left
// there is settled (context.report.outputNotes says what), then the three
// runs in order, then the files (the report too) replace the old ones
// together. On any error nothing in the folder changes. Refused with 75
// "Path/File access error", before anything is done: a table file that is the
// source database, and a report that is the source, a table file of the
// folder, or something other than a file. The context's source kind must be
// set by the caller. A stop requested of context.stop raises 18 at the next
// point where the run looks (each table's start and rows, the reader, SQLite,
// every row) up to the commit; a stop that comes once the commit has begun
// lets it finish.
ConversionCounts ConvertDatabase(ConversionContext& context, DataSource& dataSource,
                                 std::string_view databasePath, std::string_view outputFolder,
                                 const ConversionOptions& options);
ConversionCounts ConvertDatabase(ConversionContext& context, DataSource& dataSource,
                                 std::string_view databasePath, std::string_view outputFolder,
                                 OutputFolder::StreamFactory factory = CreateFileStream);

}  // namespace mdbtokvt
