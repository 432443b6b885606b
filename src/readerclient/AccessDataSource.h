// The production data source: libmdb reads the Access file in a reader
// process of its own (src/reader), SQLite runs the record source here on the
// tables it loaded (src/query).
#pragma once

#include <memory>
#include <string>

#include "readerclient/ReaderSettings.h"
#include "source/DataSource.h"

namespace mdbtokvt {

class StopRequest;

// Text is converted to codePage (an iconv name of a single-byte code page)
// as it is read. A file that makes the reader run out of time or memory, crash, or report damage
// gives 3343. A stop requested of stop (when given; it must outlive the data
// source) ends the reading under way, the reader process included, with 18.
inline constexpr const char* kDefaultCodePage = "WINDOWS-1252";
std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage = kDefaultCodePage);
std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage, ReaderSettings settings,
                                                   const StopRequest* stop = nullptr);

}  // namespace mdbtokvt
