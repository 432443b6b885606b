#include "query/TextCollation.h"

#include <string>

#include "query/SqliteDatabase.h"
#include "sortorder/CollatedText.h"

namespace mdbtokvt {

namespace {

constexpr SortOrder kOrders[] = {SortOrder::kGeneral97, SortOrder::kGeneralLegacy,
                                 SortOrder::kGeneral};
constexpr std::string_view kCollatePrefix = "TEXT COLLATE ";
constexpr std::string_view kType97 = "TEXT COLLATE ACCESSTEXT97";
constexpr std::string_view kTypeLegacy = "TEXT COLLATE ACCESSTEXT";
constexpr std::string_view kType2010 = "TEXT COLLATE ACCESSTEXT2010";

int CollationCallback(void* context, int sizeA, const void* a, int sizeB, const void* b) {
  const auto order = static_cast<SortOrder>(reinterpret_cast<uintptr_t>(context));
  return CompareStoredText(order, {static_cast<const char*>(a), static_cast<size_t>(sizeA)},
                           {static_cast<const char*>(b), static_cast<size_t>(sizeB)});
}

}  // namespace

std::string_view TextColumnType(SortOrder order) {
  switch (order) {
    case SortOrder::kGeneral97:
      return kType97;
    case SortOrder::kGeneral:
      return kType2010;
    case SortOrder::kGeneralLegacy:
      break;
  }
  return kTypeLegacy;
}

std::string_view TextCollationName(SortOrder order) {
  return TextColumnType(order).substr(kCollatePrefix.size());
}

SortOrder SortOrderOfColumnType(std::string_view declaredType) {
  if (declaredType == kType97) return SortOrder::kGeneral97;
  if (declaredType == kType2010) return SortOrder::kGeneral;
  return SortOrder::kGeneralLegacy;
}

int CompareStoredText(SortOrder order, std::string_view a, std::string_view b) {
  // Keyed values (every text of a loaded column but the plain ones) need no
  // work beyond the comparison of their keys.
  const CollatedText x = SplitCollatedText(a);
  const CollatedText y = SplitCollatedText(b);
  if (x.keyed && y.keyed) return CompareSortKeys(x.key, y.key);
  std::string scratchA;
  std::string scratchB;
  return CompareSortKeys(SortKeyOfStored(order, a, scratchA), SortKeyOfStored(order, b, scratchB));
}

void RegisterTextCollations(sqlite3* db) {
  for (const SortOrder order : kOrders) {
    const std::string name(TextCollationName(order));
    void* context = reinterpret_cast<void*>(static_cast<uintptr_t>(order));
    if (sqlite3_create_collation_v2(db, name.c_str(), SQLITE_UTF8, context, CollationCallback,
                                    nullptr) != SQLITE_OK) {
      throw SqliteError(sqlite3_errmsg(db));
    }
  }
}

}  // namespace mdbtokvt
