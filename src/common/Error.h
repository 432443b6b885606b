// Errors of the conversion core: a classic error number with its description,
// thrown as one exception type and reported by the front end.
#pragma once

#include <stdexcept>
#include <string>

namespace mdbtokvt {

// Classic error numbers used across the program.
enum ErrorNumber : int {
  kErrInvalidArgument = 5,        // "Invalid procedure call or argument"
  kErrOverflow = 6,               // "Overflow"
  kErrOutOfMemory = 7,            // "Out of memory"
  kErrTypeMismatch = 13,          // "Type mismatch"
  kErrUserInterrupt = 18,         // "User interrupt occurred" (StopRequest.h)
  kErrFileNotFound = 53,          // "File not found"
  kErrDiskFull = 61,              // "Disk full"
  kErrPermissionDenied = 70,      // "Permission denied"
  kErrPathFileAccess = 75,        // "Path/File access error"
  kErrPathNotFound = 76,          // "Path not found"
  kErrInvalidUseOfNull = 94,      // "Invalid use of Null"
  kErrDatabaseNotFound = 3024,    // "Could not find file '<path>'."
  kErrTooFewParameters = 3061,    // unknown column in a query
  kErrTableNotFound = 3078,       // "The database engine cannot find the input table or query ..."
  kErrItemNotFound = 3265,        // "Item not found in this collection."
  kErrUnrecognizedFormat = 3343,  // "Unrecognized database format '<path>'."
  kErrSyntax = 3000,              // generic engine error for a statement it cannot run
};

class ConversionError : public std::runtime_error {
 public:
  ConversionError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int number() const noexcept { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

// 3078: a table the record source names is not in the database. Carries
// the name as the record source spells it.
class MissingTableError : public ConversionError {
 public:
  MissingTableError(std::string table, const std::string& description)
      : ConversionError(kErrTableNotFound, description), table_(std::move(table)) {}

  const std::string& table() const noexcept { return table_; }

 private:
  std::string table_;
};

// Builders for the errors raised in several places, so the texts stay identical.
[[noreturn]] void ThrowOverflow(const std::string& detail = {});
[[noreturn]] void ThrowTypeMismatch();
[[noreturn]] void ThrowItemNotFound();
[[noreturn]] void ThrowTableNotFound(const std::string& name);  // a MissingTableError
[[noreturn]] void ThrowUnrecognizedFormat(const std::string& path);
[[noreturn]] void ThrowDatabaseNotFound(const std::string& path);
// Maps an errno value from file output to the classic number and text.
[[noreturn]] void ThrowFileError(int errnoValue, const std::string& path);

}  // namespace mdbtokvt
