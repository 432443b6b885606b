#include "common/Error.h"

#include <cerrno>
#include <cstring>

namespace mdbtokvt {

void ThrowOverflow(const std::string& detail) {
  throw ConversionError(kErrOverflow, detail.empty() ? "Overflow" : "Overflow: " + detail);
}

void ThrowTypeMismatch() { throw ConversionError(kErrTypeMismatch, "Type mismatch"); }

void ThrowItemNotFound() {
  throw ConversionError(kErrItemNotFound, "Item not found in this collection.");
}

void ThrowTableNotFound(const std::string& name) {
  throw MissingTableError(name,
                          "The database engine cannot find the input table or query '" + name +
                              "'. Make sure it exists and that its name is spelled correctly.");
}

void ThrowUnrecognizedFormat(const std::string& path) {
  throw ConversionError(kErrUnrecognizedFormat, "Unrecognized database format '" + path + "'.");
}

void ThrowDatabaseNotFound(const std::string& path) {
  throw ConversionError(kErrDatabaseNotFound, "Could not find file '" + path + "'.");
}

void ThrowFileError(int errnoValue, const std::string& path) {
  const std::string suffix = " (" + path + ": " + std::strerror(errnoValue) + ")";
  switch (errnoValue) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      throw ConversionError(kErrDiskFull, "Disk full" + suffix);
    case EACCES:
    case EPERM:
    case EROFS:
      throw ConversionError(kErrPermissionDenied, "Permission denied" + suffix);
    case ENOENT:
    case ENOTDIR:
      throw ConversionError(kErrPathNotFound, "Path not found" + suffix);
    default:
      throw ConversionError(kErrPathFileAccess, "Path/File access error" + suffix);
  }
}

}  // namespace mdbtokvt
