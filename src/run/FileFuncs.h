// Tests on the paths the user types: existence, and whether two paths name
// one file. None trims the path.
#pragma once

#include <string>

namespace mdbtokvt {

// True when path names an existing ordinary file (not a folder).
bool FileExists(const std::string& path);
// True when path names an existing folder (an ordinary file does not count).
bool FolderExists(const std::string& path);

// True when a and b name one file however they are spelt: both exist and
// are the same file (device and inode, links followed), or one does not
// exist and both are the same name in the same folder (letter case aside,
// as some file systems ignore it).
bool NameTheSameFile(const std::string& a, const std::string& b);

// The folder part of a path ("." when there is none, "/" for the root) and
// the name part.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace mdbtokvt
