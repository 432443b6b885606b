#include "access/Catalog.h"

#include "access/AccessFile.h"
#include "access/RowScanner.h"

namespace mdbtokvt {

namespace {

// Folds ASCII letters, and the two-byte UTF-8 forms of the Latin-1 capitals
// A-grave..THORN (except the multiplication sign), to lower case, so that
// "UMSÄTZE" finds "Umsätze".
std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (size_t i = 0; i < folded.size(); ++i) {
    auto c = static_cast<unsigned char>(folded[i]);
    if (c >= 'A' && c <= 'Z') {
      folded[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < folded.size()) {
      auto next = static_cast<unsigned char>(folded[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97)
        folded[i + 1] = static_cast<char>(next + 32);
      ++i;
    }
  }
  return folded;
}

}  // namespace

Catalog ReadCatalog(const AccessFile& file, std::vector<std::string>* unreadable) {
  Catalog catalog;
  for (MdbCatalogEntry* entry : file.userTables()) {
    TableDef table = file.ReadTable(entry);
    if (!table) {
      if (unreadable != nullptr) unreadable->emplace_back(entry->object_name);
      continue;
    }
    CatalogTable info;
    info.name = entry->object_name;
    for (unsigned i = 0; i < table->num_cols; ++i) {
      const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
      info.columns.push_back({column->name, column->col_type});
    }
    catalog.push_back(std::move(info));
  }
  return catalog;
}

void CheckCatalogPages(const AccessFile& file) {
  TableDef table = file.ReadTable(file.catalogTable());
  if (!table) throw DamagedFileError("its definition cannot be read");
  ScanTableRows(file, *table, [](const MdbField*) {});
}

const CatalogTable* FindCatalogTable(const Catalog& catalog, std::string_view name) {
  const std::string wanted = FoldName(name);
  for (const CatalogTable& table : catalog) {
    if (FoldName(table.name) == wanted) return &table;
  }
  return nullptr;
}

}  // namespace mdbtokvt
