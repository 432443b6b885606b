#include "common/DamagedFile.h"

#include "common/Error.h"

namespace mdbtokvt {

std::string DamagedDatabaseDescription(std::string_view path, std::string_view reason) {
  std::string text = "The database file '";
  text += path;
  text += "' is damaged and cannot be read (";
  text += reason;
  text += ").";
  return text;
}

void ThrowDamagedDatabase(std::string_view path, std::string_view reason) {
  throw ConversionError(ErrorNumber::kUnrecognizedFormat, DamagedDatabaseDescription(path, reason));
}

}  // namespace mdbtokvt
