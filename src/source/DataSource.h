// src/source/: what the conversion run reads through: the DataSource and
// Recordset interfaces the converters see, and the production data source
// (AccessDataSource.cpp), which checks the file (src/access), has the reader
// load the tables the record source needs (src/reader) and runs the record
// source on them (src/query). Converting side only: no libmdb.
//
// The data source a conversion run reads through: pointed at a database file
// and a record source (a table name or an SQL text) with its plan, it
// yields a recordset.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/ReaderSettings.h"
#include "source/RecordPlan.h"
#include "source/Recordset.h"

namespace mdbtokvt {

class StopRequest;

// A record source with its plan.
struct RecordSource {
  std::string text;  // a table name or an SQL statement, handed to SQLite as it is
  RecordPlan plan;
};

class DataSource {
 public:
  virtual ~DataSource() = default;
  // Opens the database afresh, read-only, and runs the record source with
  // the plan. Raises 3024 for a missing file, 3343 for a file that is not a
  // readable Access database, 3078 for a missing table, and the engine's
  // errors otherwise.
  virtual void Open(std::string_view databasePath, std::string_view recordSource,
                    const RecordPlan& plan) = 0;
  // The same with the plain plan.
  void Open(std::string_view databasePath, std::string_view recordSource) {
    Open(databasePath, recordSource, RecordPlan{});
  }
  // The open result of the last Open. Raises 91 when nothing is open.
  virtual Recordset& recordset() = 0;
  // Facts about the database the last Open read, each worth a line of the
  // conversion report (e.g. a sort order the program does not follow).
  virtual const std::vector<std::string>& notes() const {
    static const std::vector<std::string> kNone;
    return kNone;
  }
  // Says that Open will be called with these arguments later: a data source
  // may begin the work now, beside whatever the caller does meanwhile. Any
  // error is raised by that Open, as if nothing had been begun. Never raises.
  virtual void ReadAhead(std::string_view /*databasePath*/, std::string_view /*recordSource*/,
                         const RecordPlan& /*plan*/) {}
  void ReadAhead(std::string_view databasePath, std::string_view recordSource) {
    ReadAhead(databasePath, recordSource, RecordPlan{});
  }
};

// Sets the data source up for the database and the record source and opens it.
inline void OpenRecordSource(DataSource& dataSource, std::string_view databasePath,
                             const RecordSource& source) {
  dataSource.Open(databasePath, source.text, source.plan);
}

// The production data source: libmdb reads the Access file in a reader
// process of its own, SQLite runs the record source. Text is converted to
// codePage (an iconv name of a single-byte code page) as it is read. A file
// that makes the reader run out of time or memory, crash, or report damage
// gives 3343. A stop requested of stop (when given; it must outlive the data
// source) ends the reading under way, the reader process included, with 18.
inline constexpr const char* kDefaultCodePage = "WINDOWS-1252";
std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage = kDefaultCodePage);
std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage, ReaderSettings settings,
                                                   const StopRequest* stop = nullptr);

}  // namespace mdbtokvt
