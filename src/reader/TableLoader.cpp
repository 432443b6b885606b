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
  Loader(const AccessFile& file, const CodePage& output, size_t partRows)
      : file_(file),
        text_(MakeTextDecoder(file, output)),
        decoder_(file, *text_),
        partRows_(std::clamp<size_t>(partRows, 1, kLoadedPartRows)) {}

  void Load(const TableLoad& request, LoadedTablesWriter& out) {
    MdbCatalogEntry* entry = file_.FindTable(request.table);
    if (entry == nullptr) ThrowTableNotFound(request.table);
    try {
      LoadRows(*entry, request, out);
    } catch (const DamagedFileError& e) {
      ThrowDamagedDatabase(file_.path(), "table '" + request.table + "': " + e.what());
    }
  }

 private:
  void LoadRows(MdbCatalogEntry& entry, const TableLoad& request, LoadedTablesWriter& out) {
    TableDef table = file_.ReadTable(&entry);
    if (!table) throw DamagedFileError("its definition cannot be read");

    // One part's worth of rows at a time, written when full.
    std::vector<LoadedColumn> part;
    std::vector<LoadColumn> columns;
    for (unsigned i = 0; i < table->num_cols; ++i) {
      const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
      if (std::find(request.columns.begin(), request.columns.end(), column->name) ==
          request.columns.end()) {
        continue;
      }
      const SortOrder textOrder = file_.TextSortOrder(*table, *column);
      columns.push_back({i, column, textOrder});
      part.emplace_back(column->name, std::string(ColumnDefinition(column->col_type, textOrder)),
                        IsTextColumn(column->col_type));
      // The row count of the definition (which damage can make anything)
      // only sizes the part up front.
      part.back().Reserve(std::min<size_t>(table->num_rows, partRows_));
    }
    out.BeginTable(request.table, part);

    Cell cell;
    size_t rows = 0;
    ScanTableRows(file_, *table, [&](const MdbField* fields) {
      for (size_t i = 0; i < columns.size(); ++i) {
        decoder_.Decode(*columns[i].column, fields[columns[i].fieldIndex], columns[i].textOrder,
                        cell);
        AppendCell(cell, part[i]);
      }
      if (++rows == partRows_) {
        out.WriteRows(part, rows);
        for (LoadedColumn& column : part) column.Clear();
        rows = 0;
      }
    });
    out.WriteRows(part, rows);
    out.EndTable();
  }

  static std::unique_ptr<TextDecoder> MakeTextDecoder(const AccessFile& file,
                                                      const CodePage& output) {
    if (!file.IsJet3()) return std::make_unique<TextDecoder>(output);
    return std::make_unique<TextDecoder>(output, *file.jet3CodePage());
  }

  const AccessFile& file_;
  std::unique_ptr<TextDecoder> text_;
  FieldDecoder decoder_;
  size_t partRows_;
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

void LoadTables(const AccessFile& file, const CodePage& output,
                const std::vector<TableLoad>& tables, LoadedTablesWriter& out, size_t partRows) {
  Loader loader(file, output, partRows);
  // One table at a time, each to its end: tables must not interleave on one
  // libmdb handle.
  for (const TableLoad& table : tables) loader.Load(table, out);
}

}  // namespace mdbtokvt
