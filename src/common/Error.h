// Errors of the conversion core: a classic error number with its description,
// thrown as one exception type and reported by the front end.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mdbtokvt {

// Every error number the program raises. The numbers are the classic ones of
// the language runtime (below 1000) and of the database engine (3000 and up),
// so a message reads as it did with those; ClassicDescription gives the text.
enum class ErrorNumber : int {
  kInvalidArgument = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kTypeMismatch = 13,
  kUserInterrupt = 18,  // a stop request (StopRequest.h)
  kFileNotFound = 53,
  kDiskFull = 61,
  kPermissionDenied = 70,
  kPathFileAccess = 75,
  kPathNotFound = 76,
  kObjectNotSet = 91,
  kInvalidFileFormat = 321,
  kQueryFailed = 3000,  // a statement the query engine cannot run
  kNoCurrentRecord = 3021,
  kDatabaseNotFound = 3024,
  kCannotOpen = 3051,
  kTooFewParameters = 3061,  // an unknown column in a query
  kTableNotFound = 3078,
  kItemNotFound = 3265,
  kUnrecognizedFormat = 3343,
};

// The number as messages and the reader's replies show it.
constexpr int NumberOf(ErrorNumber number) { return static_cast<int>(number); }
// Writes the number, e.g. 3021.
std::ostream& operator<<(std::ostream& out, ErrorNumber number);

// The classic description of number, e.g. "No current record." for 3021. In
// those that name a file, table or message, '|' stands where it goes.
std::string ClassicDescription(ErrorNumber number);
// The classic description with its '|' replaced by insert.
std::string ClassicDescription(ErrorNumber number, std::string_view insert);

class ConversionError : public std::runtime_error {
 public:
  ConversionError(ErrorNumber number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  ErrorNumber code() const noexcept { return number_; }
  int number() const noexcept { return NumberOf(number_); }
  std::string description() const { return what(); }

 private:
  ErrorNumber number_;
};

// 3078: a table the record source names is not in the database. Carries
// the name as the record source spells it.
class MissingTableError : public ConversionError {
 public:
  MissingTableError(std::string table, const std::string& description)
      : ConversionError(ErrorNumber::kTableNotFound, description), table_(std::move(table)) {}

  const std::string& table() const noexcept { return table_; }

 private:
  std::string table_;
};

// Builders for the errors raised in several places, so the texts stay identical.
[[noreturn]] void ThrowOverflow(const std::string& detail = {});
[[noreturn]] void ThrowTypeMismatch();
[[noreturn]] void ThrowItemNotFound();
[[noreturn]] void ThrowNoCurrentRecord();
[[noreturn]] void ThrowTableNotFound(const std::string& name);  // a MissingTableError
[[noreturn]] void ThrowUnrecognizedFormat(const std::string& path);
[[noreturn]] void ThrowDatabaseNotFound(const std::string& path);
// 3000 for a statement the query engine failed on, with the engine's message.
[[noreturn]] void ThrowQueryFailed(std::string_view engineMessage);
// Maps an errno value from file output to the classic number and text.
[[noreturn]] void ThrowFileError(int errnoValue, const std::string& path);

// What the user is told about a failed command: the number and the text.
struct ErrorReport {
  ErrorNumber number;
  std::string description;
};

// The exception in flight as the user is told of it; call it only inside a
// catch block. A ConversionError keeps its number and text, running out of
// memory is 7 "Out of memory", any other exception 75 with its own text.
ErrorReport ReportCurrentException();
// "Error <number>: <description>", the line both front ends show.
std::string ErrorText(const ErrorReport& report);

}  // namespace mdbtokvt
