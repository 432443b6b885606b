// The production data source: the catalog and the rows come from libmdb, the
// record source runs in an in-memory SQLite database holding just the tables
// and columns it reads.
#include <optional>

#include "common/Error.h"
#include "source/Catalog.h"
#include "source/CodePage.h"
#include "source/DataSource.h"
#include "source/QueryPlan.h"
#include "source/SqliteDatabase.h"
#include "source/SqliteRecordset.h"
#include "source/SqliteSchema.h"
#include "source/TableLoader.h"
#include "source/TextCollation.h"

namespace mdbtokvt {

namespace {

// A record source is an SQL statement when it starts with SELECT (any case,
// after blanks); otherwise it names a table.
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

class AccessDataSource final : public DataSource {
 public:
  explicit AccessDataSource(std::string codePage) : codePageName_(std::move(codePage)) {}

  void Open(std::string_view databasePath, std::string_view recordSource) override {
    recordset_.reset();
    const CodePage& codePage = OutputCodePage();
    const Catalog catalog = ReadCatalog(databasePath);
    try {
      recordset_ = Run(databasePath, recordSource, catalog, codePage);
    } catch (const SqliteError& e) {
      // Left over: SQLite itself failing (out of memory, a temporary file
      // that cannot be written).
      throw ConversionError(
          kErrSyntax, std::string("The database engine cannot run the query: ") + e.what() + ".");
    }
  }

  Recordset& recordset() override {
    if (!recordset_) throw ConversionError(91, "Object variable or With block variable not set");
    return *recordset_;
  }

 private:
  // Creates the file's tables empty in a private in-memory database, prepares
  // the record source there, loads what it reads and starts it.
  static std::unique_ptr<SqliteRecordset> Run(std::string_view databasePath,
                                              std::string_view recordSource, const Catalog& catalog,
                                              const CodePage& codePage) {
    SqliteDb db = OpenSqlite(":memory:");
    RegisterTextCollation(db.get(), codePage);
    try {
      CreateTables(db.get(), catalog);
    } catch (const SqliteError&) {
      // Names SQLite cannot take side by side (e.g. two tables differing
      // only in case) only occur in a damaged catalog.
      ThrowUnrecognizedFormat(std::string(databasePath));
    }

    std::string sql;
    if (IsSqlText(recordSource)) {
      sql = std::string(recordSource);
    } else {
      const CatalogTable* table = FindCatalogTable(catalog, recordSource);
      if (table == nullptr || table->columns.empty()) ThrowTableNotFound(std::string(recordSource));
      sql = "SELECT * FROM " + QuoteIdentifier(table->name);
    }
    PreparedQuery query = PrepareQuery(db.get(), sql, catalog);
    LoadTables({std::string(databasePath), codePage.name(), query.reads}, db.get());
    return std::make_unique<SqliteRecordset>(std::move(db), std::move(query.statement));
  }

  // Built on first use, so a bad code page name is reported by Open.
  const CodePage& OutputCodePage() {
    if (!codePage_) codePage_ = CodePage::Load(codePageName_);
    return *codePage_;
  }

  std::string codePageName_;
  std::optional<CodePage> codePage_;
  std::unique_ptr<SqliteRecordset> recordset_;
};

}  // namespace

std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage) {
  return std::make_unique<AccessDataSource>(std::move(codePage));
}

}  // namespace mdbtokvt
