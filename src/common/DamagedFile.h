// The error for a database file that turns out to be damaged while it is
// read: 3343 with a description that says what gave way, so a user knows the
// file (not the program) is at fault.
#pragma once

#include <string>
#include <string_view>

namespace mdbtokvt {

// "The database file '<path>' is damaged and cannot be read (<reason>)."
std::string DamagedDatabaseDescription(std::string_view path, std::string_view reason);
[[noreturn]] void ThrowDamagedDatabase(std::string_view path, std::string_view reason);

}  // namespace mdbtokvt
