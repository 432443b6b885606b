#include "reader/ReaderJob.h"

#include <array>
#include <utility>

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
    if (e.code() != ErrorNumber::kTableNotFound || unreadable.empty()) throw;
    ThrowDamagedDatabase(file.path(),
                         "table '" + unreadable.front() + "': its definition cannot be read");
  }
}

// The tables the record sources of each source kind read (the other
// kind's hint names the kind by them).
struct SourceKindTables {
  const char* kind;
  std::array<std::string_view, 4> tables;
  const char* howNamed;  // how the file name makes a source of this kind
};
constexpr SourceKindTables kAddressBookTables{
    "an address book",
    {"Contacts", "PostOffices", "GROUPS", "GROUPUSER"},
    "only a name ending in \"abk\" is read as an address book"};
constexpr SourceKindTables kPagerDatabaseTables{
    "a pager database",
    {"USERS", "PAGERCOMPANY", "GROUPS", "GROUPUSER"},
    "a name ending in \"abk\" is read as an address book"};

bool Names(const SourceKindTables& kind, std::string_view table) {
  for (const std::string_view name : kind.tables) {
    bool same = name.size() == table.size();
    for (size_t i = 0; same && i < name.size(); ++i) same = (name[i] | 0x20) == (table[i] | 0x20);
    if (same) return true;
  }
  return false;
}

bool HoldsAll(const Catalog& catalog, const SourceKindTables& kind) {
  for (const std::string_view name : kind.tables) {
    if (FindCatalogTable(catalog, name) == nullptr) return false;
  }
  return true;
}

// A table of one source kind is missing from a file that holds all four
// tables of the other: most likely the file's name made it the wrong kind,
// which the error then says in one sentence more.
template <typename Step>
auto WithSourceKindHint(const Catalog& catalog, Step step) {
  try {
    return step();
  } catch (const MissingTableError& e) {
    for (const auto& [wanted, held] : {std::pair{&kPagerDatabaseTables, &kAddressBookTables},
                                       std::pair{&kAddressBookTables, &kPagerDatabaseTables}}) {
      if (Names(*wanted, e.table()) && !Names(*held, e.table()) && HoldsAll(catalog, *held)) {
        std::string tables;
        for (size_t i = 0; i < held->tables.size(); ++i) {
          tables += (i == 0 ? "" : i + 1 == held->tables.size() ? " and " : ", ");
          tables += held->tables[i];
        }
        throw MissingTableError(e.table(), std::string(e.what()) + " The file looks like " +
                                               held->kind + " (it holds " + tables +
                                               "), but the source kind comes from the file name, "
                                               "and " +
                                               held->howNamed + ".");
      }
    }
    throw;
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
  const std::string sql = UnlessUnreadable(unreadable, file, [&] {
    return WithSourceKindHint(catalog, [&] { return StatementFor(request, catalog); });
  });
  const std::vector<TableLoad> reads = UnlessUnreadable(unreadable, file, [&] {
    return WithSourceKindHint(
        catalog, [&] { return TablesToLoad(PrepareQuery(db.get(), sql).reads, catalog); });
  });
  if (steps.beforeTableReads) steps.beforeTableReads();
  LoadedTablesWriter tables(std::move(tablesOutput), request.tablesPath);
  LoadTables(file, codePage, reads, tables);
  tables.Finish();
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
    ThrowQueryFailed(e.what());
  }
}

}  // namespace mdbtokvt
