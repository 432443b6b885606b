#include "reader/ReaderJob.h"

#include "access/AccessFile.h"
#include "access/Catalog.h"
#include "common/CodePage.h"
#include "common/DamagedFile.h"
#include "common/Error.h"
#include "query/LoadedTables.h"
#include "query/PreparedQuery.h"
#include "query/SqliteDatabase.h"
#include "query/TextCollation.h"
#include "reader/SqliteSchema.h"
#include "reader/TableLoader.h"

namespace mdbtokvt {

namespace {

std::string StatementFor(const ReaderRequest& request, const Catalog& catalog) {
  if (IsSqlText(request.recordSource)) return request.recordSource;
  const CatalogTable* table = FindCatalogTable(catalog, request.recordSource);
  if (table == nullptr || table->columns.empty()) ThrowTableNotFound(request.recordSource);
  return "SELECT * FROM " + QuoteIdentifier(table->name);
}

// A table the record source names is missing: in a file whose catalog lists
// tables it cannot define, that is damage rather than a misspelt name.
template <typename Step>
auto UnlessUnreadable(const std::vector<std::string>& unreadable, const AccessFile& file,
                      Step step) {
  try {
    return step();
  } catch (const ConversionError& e) {
    if (e.number() != kErrTableNotFound || unreadable.empty()) throw;
    ThrowDamagedDatabase(file.path(),
                         "table '" + unreadable.front() + "': its definition cannot be read");
  }
}

// Texts sort in Access's "General" order whatever the header names; a file
// made for a language's own order is sorted differently by Access.
constexpr unsigned kGeneralSortOrder = 1033;

std::vector<std::string> NotesOn(const AccessFile& file) {
  const unsigned named = file.namedSortOrder();
  if (named == 0 || named == kGeneralSortOrder) return {};
  return {"The database names the sort order of language " + std::to_string(named) +
          "; its text was sorted in Access's General order."};
}

ReaderResult LoadRecordSource(const ReaderRequest& request, const ReaderJobSteps& steps) {
  LoadedTablesOutput tablesOutput =
      request.tablesFd >= 0 ? OpenLoadedTablesOutput(request.tablesFd, request.tablesPath)
                            : OpenLoadedTablesOutput(request.tablesPath);
  const CodePage codePage = CodePage::Load(request.codePage);
  const AccessFile file(request.databasePath, steps.afterFilesOpened);
  try {
    CheckCatalogPages(file);
  } catch (const DamagedFileError& e) {
    ThrowDamagedDatabase(file.path(),
                         std::string("its list of tables cannot be read: ") + e.what());
  }
  std::vector<std::string> unreadable;
  const Catalog catalog = ReadCatalog(file, &unreadable);

  // Empty tables, only for learning what the record source reads.
  SqliteDb db = OpenSqlite(":memory:");
  RegisterTextCollations(db.get());
  try {
    CreateTables(db.get(), catalog, file.sortOrder());
  } catch (const SqliteError&) {
    // Names SQLite cannot take side by side (e.g. two tables differing
    // only in case) only occur in a damaged catalog.
    file.ThrowDamaged();
  }
  const std::string sql =
      UnlessUnreadable(unreadable, file, [&] { return StatementFor(request, catalog); });
  const std::vector<TableLoad> reads = UnlessUnreadable(
      unreadable, file, [&] { return TablesToLoad(PrepareQuery(db.get(), sql).reads, catalog); });
  if (steps.beforeTableReads) steps.beforeTableReads();
  WriteLoadedTables(std::move(tablesOutput), request.tablesPath, LoadTables(file, codePage, reads));
  return {sql, NotesOn(file)};
}

}  // namespace

bool IsSqlText(std::string_view source) {
  const size_t start = source.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  const std::string_view rest = source.substr(start);
  constexpr std::string_view kSelect = "select";
  if (rest.size() <= kSelect.size()) return false;
  for (size_t i = 0; i < kSelect.size(); ++i) {
    if ((rest[i] | 0x20) != kSelect[i]) return false;
  }
  const char next = rest[kSelect.size()];
  return next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == '*';
}

ReaderResult RunReaderJob(const ReaderRequest& request, const ReaderJobSteps& steps) {
  try {
    return LoadRecordSource(request, steps);
  } catch (const SqliteError& e) {
    // Left over: SQLite itself failing (out of memory, a temporary file
    // that cannot be written).
    throw ConversionError(
        kErrSyntax, std::string("The database engine cannot run the query: ") + e.what() + ".");
  }
}

}  // namespace mdbtokvt
