// The data source a conversion run reads through: pointed at a database file
// and a record source (a table name or an SQL text) with its plan, it
// yields a recordset.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "source/RecordPlan.h"
#include "source/Recordset.h"

namespace mdbtokvt {

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

}  // namespace mdbtokvt
