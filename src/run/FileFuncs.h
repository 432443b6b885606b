// Existence tests for the paths the user types. Neither trims the path.
#pragma once

#include <string>

namespace mdbtokvt {

// True when path names an existing ordinary file (not a folder).
bool FileExists(const std::string& path);
// True when path names an existing folder (an ordinary file does not count).
bool FolderExists(const std::string& path);

}  // namespace mdbtokvt
