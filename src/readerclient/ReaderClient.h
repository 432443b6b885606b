// The data source's side of the reader process: starts mdbtokvt-reader on a
// checked Access file under time and memory limits, and turns how it ended
// into the SQL statement to run or a numbered error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "readerclient/ChildProcess.h"
#include "readerclient/ReaderSettings.h"
#include "readerprotocol/ReaderProtocol.h"

namespace mdbtokvt {

class StopRequest;

struct ReaderJobFiles {
  std::string_view databasePath;  // as the user named it
  uint64_t databaseSize = 0;
  // An empty file for the reader to fill (UnnamedTempFile, TempFile.h),
  // passed to it as kReaderTablesFd, and how messages name it.
  int tablesFd = -1;
  std::string tablesName;
};

// Runs the reader and returns the SQL statement that runs recordSource on the
// filled tables file, with the reader's notes. Raises the reader's own
// errors, and 3343 when the reader runs out of time or memory, crashes, or
// reports damage. A stop requested meanwhile (stop may be null) kills the
// reader and raises 18.
ReaderResult ReadIntoTablesFile(const ReaderSettings& settings, const ReaderJobFiles& files,
                                const std::string& codePage, std::string_view recordSource,
                                const StopRequest* stop = nullptr);

// The outcome of a finished reader run (channels: reply, catalog messages,
// table messages): the SQL statement and notes, or the error. A run that
// succeeded while libmdb reported damage in the tables read fails as
// damaged, and so does a missing table when libmdb reported damage in the
// catalog. A stopped run raises 18.
ReaderResult InterpretReaderExit(const ChildExit& exit, std::string_view databasePath,
                                 const ReaderLimits& limits);

}  // namespace mdbtokvt
