#include "source/TableLoader.h"

#include <optional>

#include "common/Error.h"
#include "source/AccessFile.h"
#include "source/CodePage.h"
#include "source/DamagedFile.h"
#include "source/FieldDecoder.h"
#include "source/RowInserter.h"
#include "source/RowScanner.h"
#include "source/SqliteDatabase.h"
#include "source/SqliteSchema.h"
#include "source/TextDecoder.h"

namespace mdbtokvt {

namespace {

constexpr const char* kFallbackJet3CodePage = "WINDOWS-1252";

// Jet 3 text is in the code page named in the file header (a Windows code
// page number); files that name none, or one iconv lacks, are read as 1252.
CodePage Jet3CodePage(const AccessFile& file) {
  const unsigned number = file.handle()->f->code_page;
  if (number != 0) {
    try {
      return CodePage::Load("CP" + std::to_string(number));
    } catch (const ConversionError&) {
    }
  }
  return CodePage::Load(kFallbackJet3CodePage);
}

struct LoadColumn {
  size_t fieldIndex;  // position in the table's libmdb columns
  const MdbColumn* column;
};

class Loader {
 public:
  Loader(const AccessFile& file, const CodePage& output, sqlite3* target)
      : file_(file),
        target_(target),
        text_(MakeTextDecoder(file, output)),
        decoder_(file, *text_) {}

  void Load(const TableLoad& request) {
    MdbCatalogEntry* entry = file_.FindTable(request.table);
    if (entry == nullptr) ThrowTableNotFound(request.table);
    try {
      LoadRows(*entry, request);
    } catch (const DamagedFileError& e) {
      ThrowDamagedDatabase(file_.path(), "table '" + request.table + "': " + e.what());
    }
  }

 private:
  void LoadRows(MdbCatalogEntry& entry, const TableLoad& request) {
    TableDef table = file_.ReadTable(&entry);
    if (!table) throw DamagedFileError("its definition cannot be read");

    std::vector<LoadColumn> columns;
    std::vector<std::string> names;
    std::vector<bool> textColumns;
    for (const std::string& name : request.columns) {
      for (unsigned i = 0; i < table->num_cols; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
        if (name != column->name) continue;
        columns.push_back({i, column});
        names.push_back(name);
        textColumns.push_back(IsTextColumn(column->col_type));
        break;
      }
    }

    RowInserter inserter(target_, request.table, names, std::move(textColumns));
    ScanTableRows(file_, *table, [&](const MdbField* fields) {
      auto cell = inserter.NextRow();
      for (const LoadColumn& column : columns) {
        decoder_.Decode(*column.column, fields[column.fieldIndex], *cell++);
      }
    });
    inserter.Finish();
  }

  static std::unique_ptr<TextDecoder> MakeTextDecoder(const AccessFile& file,
                                                      const CodePage& output) {
    if (!file.IsJet3()) return std::make_unique<TextDecoder>(output);
    return std::make_unique<TextDecoder>(output, Jet3CodePage(file));
  }

  const AccessFile& file_;
  sqlite3* target_;
  std::unique_ptr<TextDecoder> text_;
  FieldDecoder decoder_;
};

}  // namespace

void LoadTables(const AccessFile& file, const CodePage& output,
                const std::vector<TableLoad>& tables, sqlite3* target) {
  Loader loader(file, output, target);
  ExecuteSql(target, "BEGIN");
  try {
    // One table at a time, each to its end: tables must not interleave on
    // one libmdb handle.
    for (const TableLoad& table : tables) loader.Load(table);
  } catch (...) {
    sqlite3_exec(target, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  ExecuteSql(target, "COMMIT");
}

}  // namespace mdbtokvt
