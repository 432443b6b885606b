// Where an Access file names the sort order of its text: the header names
// the file's, and (Jet 4 and later) every column definition its column's.
// Each is a Windows language number and a version: 1033 version 0 is the
// "General" order of Access 2000-2007, 1033 version 1 Access 2010's. Read
// from the raw bytes, as libmdb keeps the language but not the version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "sortorder/SortKey.h"

namespace mdbtokvt {

struct NamedSortOrder {
  unsigned language = 0;  // 0: none named
  unsigned version = 0;
};

// The sort order the header of a Jet 4 (or later) file names; header is the
// file's first page. The field lies in the masked part of the header, which
// is unmasked here. Nothing for a header too short to hold it.
std::optional<NamedSortOrder> HeaderSortOrder(std::string_view header);

// The sort order a Jet 4 column definition block (25 bytes) names; nothing
// for a block too short to hold it.
std::optional<NamedSortOrder> ColumnSortOrder(std::string_view columnBlock);

// The order texts sort in when a Jet 4 file or column names named: Access
// 2010's General order for version 1, Access 2000-2007's for any other;
// fallback when named names no language.
SortOrder GeneralOrderOf(NamedSortOrder named, SortOrder fallback);

}  // namespace mdbtokvt
