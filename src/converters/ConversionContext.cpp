#include "converters/ConversionContext.h"

namespace mdbtokvt {

bool IsAddressBookName(std::string_view databasePath) {
  while (!databasePath.empty() && databasePath.back() == ' ') databasePath.remove_suffix(1);
  if (databasePath.size() < 3) return false;
  std::string tail(databasePath.substr(databasePath.size() - 3));
  for (char& c : tail) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return tail == "ABK";
}

}  // namespace mdbtokvt
