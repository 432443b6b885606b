// The conversion run: makes each table file from end to end (staging file,
// header, record source, converter, record count) and a whole conversion of
// the three files, services first, then receivers, then groups.
#pragma once

#include <cstdint>
#include <string_view>

#include "run/ConversionContext.h"
#include "run/OutputFolder.h"
#include "source/DataSource.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// A converter walks the recordset, writes its records to the file (positioned
// after the header) and returns their number.
using TableConverter = int32_t (*)(ConversionContext&, Recordset&, TableFile&);

// What distinguishes the three runs.
struct TableRun {
  std::string_view fileName;           // e.g. "USERTAB.KVT"
  std::string_view addressBookSource;  // record source for an address-book source
  std::string_view mdbSource;          // record source for an MDB source
  std::string_view recordNoun;         // what one record stands for, e.g. "receivers"
  TableConverter convert;
};

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

// A whole conversion into outputFolder: the three runs in order, then the
// three files replace the old ones together. On any error nothing in the
// folder changes. The context's source kind must be set by the caller. A
// stop requested of context.stop raises 18 at the next point where the run
// looks (each table's start and rows, the reader, SQLite, every row) up to
// the commit; a stop that comes once the commit has begun lets it finish.
ConversionCounts ConvertDatabase(ConversionContext& context, DataSource& dataSource,
                                 std::string_view databasePath, std::string_view outputFolder,
                                 OutputFolder::StreamFactory factory = CreateFileStream);

}  // namespace mdbtokvt
