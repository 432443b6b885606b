// The names of staged files: a new file waits as ".NAME.<pid>-<n>.tmp"
// beside its target NAME, and the old file is moved to the same name with
// ".old" added while the new one takes its place. Both start with a dot, so
// they stay out of the way in a folder listing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mdbtokvt {

// A fresh temporary name for fileName (random, so names do not repeat).
std::string TemporaryNameFor(std::string_view fileName);
std::string BackupNameFor(std::string_view temporaryName);

struct StagingName {
  std::string target;  // the file it stands in for
  bool backup = false;
};
// What a folder entry's name is, when it is the name of a staged file.
std::optional<StagingName> ParseStagingName(std::string_view name);

}  // namespace mdbtokvt
