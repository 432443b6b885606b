#include "reader/TableLoader.h"

#include <algorithm>
#include <optional>

#include "access/AccessFile.h"
#include "access/FieldDecoder.h"
#include "access/RowScanner.h"
#include "access/TextDecoder.h"
#include "common/CodePage.h"
#include "common/DamagedFile.h"
#include "common/Error.h"
#include "reader/SqliteSchema.h"

namespace mdbtokvt {

namespace {

constexpr size_t kSmallestRowBytes = 8;  // with its slot in the page's row table

struct LoadColumn {
  size_t fieldIndex;  // position in the table's libmdb columns
  const MdbColumn* column;
  SortOrder textOrder;
};

void AppendCell(const Cell& cell, LoadedColumn& column) {
  switch (cell.kind) {
    case ValueKind::kNull:
      column.AppendNull();
      return;
    case ValueKind::kInteger:
    case ValueKind::kBoolean:  // never decoded: Yes/No gives 1 or 0
      column.AppendInteger(cell.integer);
      return;
    case ValueKind::kDouble:
      column.AppendDouble(cell.number);
      return;
    case ValueKind::kText:
      column.AppendText(cell.text.text, cell.text.key, cell.text.lostSource);
      return;
    case ValueKind::kBlob:
      column.AppendBlob(cell.bytes);
      return;
  }
}

class Loader {
 public:
  Loader(const AccessFile& file, const CodePage& output)
      : file_(file), text_(MakeTextDecoder(file, output)), decoder_(file, *text_) {}

  LoadedTable Load(const TableLoad& request) {
    MdbCatalogEntry* entry = file_.FindTable(request.table);
    if (entry == nullptr) ThrowTableNotFound(request.table);
    try {
      return LoadRows(*entry, request);
    } catch (const DamagedFileError& e) {
      ThrowDamagedDatabase(file_.path(), "table '" + request.table + "': " + e.what());
    }
  }

 private:
  LoadedTable LoadRows(MdbCatalogEntry& entry, const TableLoad& request) {
    TableDef table = file_.ReadTable(&entry);
    if (!table) throw DamagedFileError("its definition cannot be read");

    LoadedTable loaded;
    loaded.name = request.table;
    std::vector<LoadColumn> columns;
    for (unsigned i = 0; i < table->num_cols; ++i) {
      const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
      if (std::find(request.columns.begin(), request.columns.end(), column->name) ==
          request.columns.end()) {
        continue;
      }
      const SortOrder textOrder = file_.TextSortOrder(*table, *column);
      columns.push_back({i, column, textOrder});
      loaded.columns.emplace_back(column->name,
                                  std::string(ColumnDefinition(column->col_type, textOrder)),
                                  IsTextColumn(column->col_type));
      // The row count of the definition only sizes the columns up front;
      // damage can make it anything, so it is capped by what the file's
      // pages can hold.
      loaded.columns.back().Reserve(std::min<size_t>(
          table->num_rows, file_.PageCount() * file_.geometry().pageSize / kSmallestRowBytes));
    }

    Cell cell;
    ScanTableRows(file_, *table, [&](const MdbField* fields) {
      for (size_t i = 0; i < columns.size(); ++i) {
        decoder_.Decode(*columns[i].column, fields[columns[i].fieldIndex], columns[i].textOrder,
                        cell);
        AppendCell(cell, loaded.columns[i]);
      }
      ++loaded.rows;
    });
    return loaded;
  }

  static std::unique_ptr<TextDecoder> MakeTextDecoder(const AccessFile& file,
                                                      const CodePage& output) {
    if (!file.IsJet3()) return std::make_unique<TextDecoder>(output);
    return std::make_unique<TextDecoder>(output, *file.jet3CodePage());
  }

  const AccessFile& file_;
  std::unique_ptr<TextDecoder> text_;
  FieldDecoder decoder_;
};

}  // namespace

std::vector<TableLoad> TablesToLoad(const std::vector<ColumnRead>& reads, const Catalog& catalog) {
  std::vector<TableLoad> loads;
  for (const ColumnRead& read : reads) {
    const auto known = std::find_if(catalog.begin(), catalog.end(),
                                    [&](const CatalogTable& t) { return t.name == read.table; });
    if (known == catalog.end()) continue;
    auto load = std::find_if(loads.begin(), loads.end(),
                             [&](const TableLoad& t) { return t.table == read.table; });
    if (load == loads.end()) {
      loads.push_back({read.table, {}});
      load = loads.end() - 1;
    }
    if (!read.column) continue;
    const std::string& columnName = *read.column;
    const bool isColumn = std::any_of(known->columns.begin(), known->columns.end(),
                                      [&](const CatalogColumn& c) { return c.name == columnName; });
    if (isColumn &&
        std::find(load->columns.begin(), load->columns.end(), columnName) == load->columns.end()) {
      load->columns.push_back(columnName);
    }
  }
  return loads;
}

LoadedTables LoadTables(const AccessFile& file, const CodePage& output,
                        const std::vector<TableLoad>& tables) {
  Loader loader(file, output);
  LoadedTables loaded;
  // One table at a time, each to its end: tables must not interleave on one
  // libmdb handle.
  for (const TableLoad& table : tables) loaded.push_back(loader.Load(table));
  return loaded;
}

}  // namespace mdbtokvt
