// The production data source. The Access file is checked here, then read by
// the reader process (ReaderJob.h), which loads the tables the record source
// needs into a temporary file without a name; this side reads that file and
// runs the record source on it. A stop request, when given, is watched all
// along: before the reader starts, while it runs, while SQLite runs the
// statement and while the recordset is walked.
#include "readerclient/AccessDataSource.h"

#include <future>
#include <memory>
#include <optional>

#include "access/AccessFileCheck.h"
#include "common/CodePage.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "query/LoadedRecordSource.h"
#include "readerclient/ReaderClient.h"
#include "readerclient/TempFile.h"
#include "source/DataSource.h"

namespace mdbtokvt {

namespace {

// The reader's output for one record source: the tables file (gone when
// this goes away), how messages name it, the statement to run on it and the
// reader's notes.
struct LoadedFile {
  std::shared_ptr<UnnamedTempFile> tables;
  std::string tablesName;
  ReaderResult result;
};

LoadedFile Load(const ReaderSettings& settings, const CodePage& codePage,
                std::string_view databasePath, std::string_view recordSource,
                const StopRequest* stop) {
  const AccessFileFacts facts = CheckAccessFile(databasePath);
  const std::string folder = ReaderTempFolder(settings);
  auto tables = std::make_shared<UnnamedTempFile>(folder, "mdbtokvt-", ".tables");
  std::string tablesName = "the temporary tables file in " + folder;
  if (stop != nullptr) stop->Checkpoint("reader");
  ReaderResult result =
      ReadIntoTablesFile(settings, {databasePath, facts.size, tables->fd(), tablesName},
                         codePage.name(), recordSource, stop);
  return {std::move(tables), std::move(tablesName), std::move(result)};
}

struct ReadAheadJob {
  std::string databasePath;
  RecordSource source;
  std::future<LoadedFile> result;
};

class AccessDataSource final : public DataSource {
 public:
  AccessDataSource(std::string codePage, ReaderSettings settings, const StopRequest* stop)
      : codePageName_(std::move(codePage)), settings_(std::move(settings)), stop_(stop) {}

  ~AccessDataSource() override {
    // A read begun ahead and never asked for is waited for (the reader's
    // limits bound the wait) and thrown away with its error, if any.
    if (readAhead_) readAhead_->result.wait();
  }

  void Open(std::string_view databasePath, std::string_view recordSource,
            const RecordPlan& plan) override {
    recordset_.reset();
    notes_.clear();
    const CodePage& codePage = OutputCodePage();
    LoadedFile loaded;
    if (readAhead_ && readAhead_->databasePath == databasePath &&
        readAhead_->source.text == recordSource && readAhead_->source.plan == plan) {
      const std::unique_ptr<ReadAheadJob> job = std::move(readAhead_);
      loaded = job->result.get();  // raises the read's error
    } else {
      // Any other record source is read now, while a read ahead goes on.
      loaded = Load(settings_, codePage, databasePath, recordSource, stop_);
    }
    // The recordset keeps the file open for as long as it reads from it.
    recordset_ =
        OpenLoadedRecordSource(LoadedTablesFile::Open(loaded.tables->fd(), loaded.tablesName),
                               loaded.result.sql, plan, stop_);
    notes_ = std::move(loaded.result.notes);
  }

  const std::vector<std::string>& notes() const override { return notes_; }

  void ReadAhead(std::string_view databasePath, std::string_view recordSource,
                 const RecordPlan& plan) override {
    try {
      if (readAhead_) readAhead_->result.wait();
      readAhead_.reset();
      auto job = std::make_unique<ReadAheadJob>();
      job->databasePath = databasePath;
      job->source = {std::string(recordSource), plan};
      // The job keeps its own copies: the caller's strings may not live on.
      job->result = std::async(std::launch::async, Load, settings_, OutputCodePage(),
                               job->databasePath, job->source.text, stop_);
      readAhead_ = std::move(job);
    } catch (...) {
      // Nothing begun: Open does the work and reports what goes wrong.
    }
  }

  Recordset& recordset() override {
    if (!recordset_)
      throw ConversionError(ErrorNumber::kObjectNotSet,
                            ClassicDescription(ErrorNumber::kObjectNotSet));
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
  const StopRequest* stop_;
  std::optional<CodePage> codePage_;
  std::unique_ptr<Recordset> recordset_;
  std::vector<std::string> notes_;
  std::unique_ptr<ReadAheadJob> readAhead_;
};

}  // namespace

std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage) {
  return CreateAccessDataSource(std::move(codePage), ReaderSettings{});
}

std::unique_ptr<DataSource> CreateAccessDataSource(std::string codePage, ReaderSettings settings,
                                                   const StopRequest* stop) {
  return std::make_unique<AccessDataSource>(std::move(codePage), std::move(settings), stop);
}

}  // namespace mdbtokvt
