#include "source/TextCollation.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "source/SqliteDatabase.h"

namespace mdbtokvt {

int CompareFoldedText(const std::array<uint8_t, 256>& fold, std::string_view a,
                      std::string_view b) {
  if (IsNullTextMarker(a.data(), static_cast<int>(a.size()))) a = {};
  if (IsNullTextMarker(b.data(), static_cast<int>(b.size()))) b = {};
  const auto* x = reinterpret_cast<const uint8_t*>(a.data());
  const auto* y = reinterpret_cast<const uint8_t*>(b.data());
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n) {
    // Equal bytes fold equally: skip runs of them a word at a time (sorted
    // neighbours share long prefixes), and fold only where bytes differ.
    while (i + 8 <= n) {
      uint64_t u, v;
      std::memcpy(&u, x + i, 8);
      std::memcpy(&v, y + i, 8);
      if (u != v) break;
      i += 8;
    }
    while (i < n && x[i] == y[i]) ++i;
    if (i == n) break;
    const int fx = fold[x[i]];
    const int fy = fold[y[i]];
    if (fx != fy) return fx - fy;
    ++i;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

namespace {

int CollationCallback(void* context, int sizeA, const void* a, int sizeB, const void* b) {
  const auto& fold = *static_cast<const std::array<uint8_t, 256>*>(context);
  return CompareFoldedText(fold, {static_cast<const char*>(a), static_cast<size_t>(sizeA)},
                           {static_cast<const char*>(b), static_cast<size_t>(sizeB)});
}

void DestroyFoldTable(void* context) { delete static_cast<std::array<uint8_t, 256>*>(context); }

}  // namespace

void RegisterTextCollation(sqlite3* db, const CodePage& codePage) {
  // The connection owns its copy of the table and frees it when it closes.
  auto fold = std::make_unique<std::array<uint8_t, 256>>(codePage.FoldTable());
  // Text is handed over as stored: bytes of the output code page, which
  // SQLite keeps as they are in a UTF-8 database.
  const int rc = sqlite3_create_collation_v2(db, kTextCollationName, SQLITE_UTF8, fold.get(),
                                             CollationCallback, DestroyFoldTable);
  if (rc != SQLITE_OK) throw SqliteError(sqlite3_errmsg(db));
  fold.release();
}

}  // namespace mdbtokvt
