// Cheap checks that a file is a whole Access database, made before any
// reader sees it: libmdb itself takes many files that are none (any first
// byte 0) and reads truncated files without a word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace mdbtokvt {

struct AccessFileFacts {
  std::filesystem::path absolutePath;
  uintmax_t size = 0;
  size_t pageSize = 0;
};

// The page size an Access header announces (2048 for Jet 3, 4096 for Jet 4
// and later), or 0 when header (the file's first bytes) is not the header of
// an Access database: bytes 0-3 00 01 00 00, then "Standard Jet DB" or
// "Standard ACE DB", and a known version byte at 0x14.
size_t AccessPageSize(std::string_view header);

// Opens the file read-only and checks it: an Access header, a length that is
// a whole number of at least three pages, and page 2 (the table definition
// of the catalog) starting with the table definition page type. Raises 3024
// when there is no such file, 3051 when it cannot be opened for reading and
// 3343 when it is not a whole Access database. databasePath is named in the
// messages as given.
AccessFileFacts CheckAccessFile(std::string_view databasePath);

// Error 3051 for a file that cannot be opened for reading.
[[noreturn]] void ThrowCannotOpen(std::string_view databasePath);

}  // namespace mdbtokvt
