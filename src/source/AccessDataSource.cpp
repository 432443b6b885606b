// The production data source. The Access file is checked here, then read by
// the reader process (ReaderJob.h), which loads the tables the record source
// needs into a temporary SQLite file; this side opens that file and runs the
// record source on it.
#include <optional>

#include "common/Error.h"
#include "source/AccessFileCheck.h"
#include "source/CodePage.h"
#include "source/DataSource.h"
#include "source/QueryPlan.h"
#include "source/ReaderClient.h"
#include "source/SqliteDatabase.h"
#include "source/SqliteRecordset.h"
#include "source/TempFile.h"
#include "source/TextCollation.h"

namespace mdbtokvt {

namespace {

class AccessDataSource final : public DataSource {
 public:
  AccessDataSource(std::string codePage, ReaderSettings settings)
      : codePageName_(std::move(codePage)), settings_(std::move(settings)) {}

  void Open(std::string_view databasePath, std::string_view recordSource) override {
    recordset_.reset();
    const CodePage& codePage = OutputCodePage();
    const AccessFileFacts facts = CheckAccessFile(databasePath);
    TempFile tables(ReaderTempFolder(settings_), "mdbtokvt-", ".sqlite");
    const std::string sql = ReadIntoSqlite(settings_, {databasePath, facts.size, tables.path()},
                                           codePage.name(), recordSource);
    try {
      SqliteDb db = OpenSqliteForReading(tables.path());
      tables.Remove();  // the open connection keeps it readable
      RegisterTextCollation(db.get(), codePage);
      PreparedQuery query = PrepareQuery(db.get(), sql, {});
      recordset_ = std::make_unique<SqliteRecordset>(std::move(db), std::move(query.statement));
    } catch (const SqliteError& e) {
      throw ConversionError(
          kErrSyntax, std::string("The database engine cannot run the query: ") + e.what() + ".");
    }
  }

  Recordset& recordset() override {
    if (!recordset_) throw ConversionError(91, "Object variable or With block variable not set");
    return *recordset_;
  }

 private:
  // Built on first use, so a bad code page name is reported by Open.
  const CodePage& OutputCodePage() {
    if (!codePage_) codePage_ = CodePage::Load(codePageName_);
    return *codePage_;
  }

  std::string codePageName_;
  ReaderSettings settings_;
  std::optional<CodePage> codePage_;
  std::unique_ptr<SqliteRecordset> recordset_;
};

}  // namespace

std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage) {
  return CreateAccessDataSource(std::move(codePage), ReaderSettings{});
}

std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage, ReaderSettings settings) {
  return std::make_unique<AccessDataSource>(std::move(codePage), std::move(settings));
}

}  // namespace mdbtokvt
