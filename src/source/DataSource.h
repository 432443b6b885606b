// The data source a conversion run reads through: pointed at a database file
// and a record source (a table name or an SQL text), it yields a recordset.
#pragma once

#include <string_view>
#include <vector>

#include "source/Recordset.h"

namespace mdbtokvt {

class DataSource {
 public:
  virtual ~DataSource() = default;
  // Opens the database afresh, read-only, and runs the record source. Raises
  // 3024 for a missing file, 3343 for a file that is not a readable Access
  // database, 3078 for a missing table, and the engine's errors otherwise.
  virtual void Open(std::string_view databasePath, std::string_view recordSource) = 0;
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
  virtual void ReadAhead(std::string_view /*databasePath*/, std::string_view /*recordSource*/) {}
};

// Sets the data source up for the database and the record source and opens it.
inline void OpenRecordSource(DataSource& dataSource, std::string_view databasePath,
                             std::string_view recordSource) {
  dataSource.Open(databasePath, recordSource);
}

}  // namespace mdbtokvt
