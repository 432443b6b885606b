#include "cli/JsonText.h"

namespace mdbtokvt {

std::string JsonText(const Json& value) {
  return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace mdbtokvt
