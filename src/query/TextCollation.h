// The sort order of text in queries: Access's "General" order, compared on
// the sort keys that stored text values carry (CollatedText.h). A text
// column's declared type names the collation of its file's order.
#pragma once

#include <sqlite3.h>

#include <string_view>

#include "sortorder/SortKey.h"

namespace mdbtokvt {

// The declared type of a text column sorting in order, e.g.
// "TEXT COLLATE ACCESSTEXT", and the collation it names.
std::string_view TextColumnType(SortOrder order);
std::string_view TextCollationName(SortOrder order);
// The sort order a text column's declared type names (General 2000-2007
// for any other type).
SortOrder SortOrderOfColumnType(std::string_view declaredType);

// <0, 0 or >0 as stored text value a sorts before, with or after b.
int CompareStoredText(SortOrder order, std::string_view a, std::string_view b);

// Registers the collations of the three sort orders on db.
void RegisterTextCollations(sqlite3* db);

}  // namespace mdbtokvt
