// src/reader/: the reader process, mdbtokvt-reader, and the side that
// starts it. In the converting process, without libmdb (kvtreaderclient):
// settings and limits (ReaderSettings.h), the child process with its limits,
// timeout and output caps (ChildProcess.h), the client that runs the reader
// and turns how it ended into a statement or an error (ReaderClient.h), the
// temporary tables file (TempFile.h) and this protocol. In the reader
// process, with libmdb through src/access (kvtreader): its main
// (ReaderMain.h), the job (ReaderJob.h), which reads the catalog, creates
// its tables in SQLite (SqliteSchema.h) and loads what the record source
// reads (TableLoader.h), and the sandbox (ReaderSandbox.h). It uses
// src/access, src/query and src/common; no file of the converting side's
// part uses one of the reader's part.
//
// How the data source and its reader process talk. The reader is started as
//   mdbtokvt-reader DATABASE TABLES-NAME CODE-PAGE RECORD-SOURCE
// with descriptor 3 for its reply, descriptor 4 for what libmdb prints
// while the tables the record source needs are read (stdout and stderr carry
// what it prints before, while the catalog is read) and descriptor 5 for
// the tables file to fill: an empty file open for writing, which has no
// name in any folder (TempFile.h), so nothing of it outlives the two
// processes; TABLES-NAME is only how messages speak of it. The reply is
//   "OK <n>\n", n lines of notes for the conversion report, then the SQL
//   statement to run on the loaded tables, or
//   "ERROR <number>\n" followed by the error's description.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mdbtokvt {

inline constexpr int kReaderReplyFd = 3;
inline constexpr int kReaderTableMessagesFd = 4;
inline constexpr int kReaderTablesFd = 5;
inline constexpr int kReaderArgumentCount = 4;

// What the reader writes to stderr, followed by the call's number and a line
// end, just before a call its sandbox forbids ends it with SIGSYS.
inline constexpr std::string_view kForbiddenCallLine = "mdbtokvt-reader: forbidden system call ";

// What the reader hands back for a record source it has loaded.
struct ReaderResult {
  std::string sql;  // runs the record source on the loaded tables
  // Facts about the file worth a line of the conversion report.
  std::vector<std::string> notes;
};

struct ReaderReply {
  int errorNumber = 0;             // 0: success
  std::string text;                // the SQL statement, or the error description
  std::vector<std::string> notes;  // on success: one line each
};

std::string EncodeReaderReply(const ReaderReply& reply);
// Nothing for bytes that are not a whole reply.
std::optional<ReaderReply> DecodeReaderReply(std::string_view bytes);

}  // namespace mdbtokvt
