#include "common/Error.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <ostream>
#include <utility>

namespace mdbtokvt {

namespace {

using enum ErrorNumber;

// The one table of descriptions, word for word as the messages print them.
constexpr std::array<std::pair<ErrorNumber, std::string_view>, 20> kDescriptions{{
    {kInvalidArgument, "Invalid procedure call or argument"},
    {kOverflow, "Overflow"},
    {kOutOfMemory, "Out of memory"},
    {kTypeMismatch, "Type mismatch"},
    {kUserInterrupt, "User interrupt occurred"},
    {kFileNotFound, "File not found"},
    {kDiskFull, "Disk full"},
    {kPermissionDenied, "Permission denied"},
    {kPathFileAccess, "Path/File access error"},
    {kPathNotFound, "Path not found"},
    {kObjectNotSet, "Object variable or With block variable not set"},
    {kInvalidFileFormat, "Invalid file format"},
    {kQueryFailed, "The database engine cannot run the query: |."},
    {kNoCurrentRecord, "No current record."},
    {kDatabaseNotFound, "Could not find file '|'."},
    {kCannotOpen,
     "The database engine cannot open the file '|'. It is already opened exclusively by another "
     "user, or you need permission to view its data."},
    {kTooFewParameters, "Too few parameters. Expected |."},
    {kTableNotFound,
     "The database engine cannot find the input table or query '|'. Make sure it exists and that "
     "its name is spelled correctly."},
    {kItemNotFound, "Item not found in this collection."},
    {kUnrecognizedFormat, "Unrecognized database format '|'."},
}};

}  // namespace

std::ostream& operator<<(std::ostream& out, ErrorNumber number) { return out << NumberOf(number); }

std::string ClassicDescription(ErrorNumber number) {
  for (const auto& [known, text] : kDescriptions) {
    if (known == number) return std::string(text);
  }
  return {};
}

std::string ClassicDescription(ErrorNumber number, std::string_view insert) {
  std::string text = ClassicDescription(number);
  if (const size_t at = text.find('|'); at != std::string::npos) text.replace(at, 1, insert);
  return text;
}

void ThrowOverflow(const std::string& detail) {
  const std::string overflow = ClassicDescription(kOverflow);
  throw ConversionError(kOverflow, detail.empty() ? overflow : overflow + ": " + detail);
}

void ThrowTypeMismatch() {
  throw ConversionError(kTypeMismatch, ClassicDescription(kTypeMismatch));
}

void ThrowItemNotFound() {
  throw ConversionError(kItemNotFound, ClassicDescription(kItemNotFound));
}

void ThrowNoCurrentRecord() {
  throw ConversionError(kNoCurrentRecord, ClassicDescription(kNoCurrentRecord));
}

void ThrowTableNotFound(const std::string& name) {
  throw MissingTableError(name, ClassicDescription(kTableNotFound, name));
}

void ThrowUnrecognizedFormat(const std::string& path) {
  throw ConversionError(kUnrecognizedFormat, ClassicDescription(kUnrecognizedFormat, path));
}

void ThrowDatabaseNotFound(const std::string& path) {
  throw ConversionError(kDatabaseNotFound, ClassicDescription(kDatabaseNotFound, path));
}

void ThrowQueryFailed(std::string_view engineMessage) {
  throw ConversionError(kQueryFailed, ClassicDescription(kQueryFailed, engineMessage));
}

void ThrowFileError(int errnoValue, const std::string& path) {
  const std::string suffix = " (" + path + ": " + std::strerror(errnoValue) + ")";
  ErrorNumber number = kPathFileAccess;
  switch (errnoValue) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      number = kDiskFull;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      number = kPermissionDenied;
      break;
    case ENOENT:
    case ENOTDIR:
      number = kPathNotFound;
      break;
    default:
      break;
  }
  throw ConversionError(number, ClassicDescription(number) + suffix);
}

ErrorReport ReportCurrentException() {
  try {
    throw;
  } catch (const ConversionError& e) {
    return {e.code(), e.what()};
  } catch (const std::bad_alloc&) {
    return {kOutOfMemory, ClassicDescription(kOutOfMemory)};
  } catch (const std::exception& e) {
    return {kPathFileAccess, e.what()};
  }
}

std::string ErrorText(const ErrorReport& report) {
  return "Error " + std::to_string(NumberOf(report.number)) + ": " + report.description;
}

}  // namespace mdbtokvt
