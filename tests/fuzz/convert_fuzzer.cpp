// libFuzzer target: one input is an Access file. It goes through what a
// conversion does with it, all in this process: the cheap file checks, the
// reader's work (libmdb into the tables file, its printing capped as the
// reader process's is), the record source run on the
// loaded tables, and the three converters, for an address-book source and for
// an MDB source. The table files stay in memory and are read back.
//
// Numbered errors (ConversionError) are the expected way for a bad file to
// end; anything else escaping, a sanitizer report or a crash is a fault.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "LibraryMessageCap.h"
#include "access/AccessFileCheck.h"
#include "common/Error.h"
#include "converters/ConversionContext.h"
#include "converters/FatalError.h"
#include "query/LoadedRecordSource.h"
#include "reader/ReaderJob.h"
#include "readerclient/AccessDataSource.h"
#include "readerclient/ReaderSettings.h"
#include "readerclient/TempFile.h"
#include "run/DBConvert.h"
#include "run/OutputFolder.h"
#include "source/DataSource.h"
#include "tablefile/OutputStream.h"
#include "tablefile/TableFileReader.h"

namespace mdbtokvt {
namespace {

// Where faults are told: stderr as it was before libFuzzer closes it for
// -close_fd_mask (which also silences libmdb's warnings).
int faultFd = STDERR_FILENO;

// Ends the run as a fault.
[[noreturn]] void Fault(const std::string& what) {
  const std::string line = "mdbtokvt-fuzz: " + what + "\n";
  [[maybe_unused]] const ssize_t written = ::write(faultFd, line.data(), line.size());
  std::abort();
}

// With MDBTOKVT_FUZZ_VERBOSE set, each run's outcome is printed (for looking
// at one input by hand).
bool Verbose() {
  static const bool verbose = std::getenv("MDBTOKVT_FUZZ_VERBOSE") != nullptr;
  return verbose;
}

std::string TempFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) Fault("cannot open " + path);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) Fault("cannot write " + path);
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

// The reader's side and the data source's side of AccessDataSource::Open,
// without the process between them.
class InProcessDataSource final : public DataSource {
 public:
  explicit InProcessDataSource(const std::string& tablesPath)
      : tablesPath_(tablesPath), messageLimit_(LimitsFor(0, ReaderSettings{}).outputLimit) {}

  void Open(std::string_view databasePath, std::string_view recordSource,
            const RecordPlan& plan) override {
    recordset_.reset();
    CheckAccessFile(databasePath);
    WriteWholeFile(tablesPath_, nullptr, 0);  // the reader fills an empty file
    const ReaderRequest request{std::string(databasePath), tablesPath_, kDefaultCodePage,
                                std::string(recordSource)};
    ReaderResult result;
    {
      // As in the reader process, too much printing ends the reading; what
      // libmdb prints is shown with MDBTOKVT_FUZZ_VERBOSE only (passing it
      // on to /dev/null costs time on inputs that make it print megabytes).
      const LibraryMessageCap cap(messageLimit_, std::string(databasePath),
                                  Verbose() ? STDERR_FILENO : -1);
      result = RunReaderJob(request, {});
    }
    recordset_ = OpenLoadedRecordSource(tablesPath_, result.sql, plan);
  }

  Recordset& recordset() override {
    if (!recordset_) Fault("recordset used before a successful Open");
    return *recordset_;
  }

 private:
  std::string tablesPath_;
  uint64_t messageLimit_;
  std::unique_ptr<Recordset> recordset_;
};

class MemoryStream final : public OutputStream {
 public:
  explicit MemoryStream(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
  void Append(const uint8_t* data, size_t size) override {
    bytes_->insert(bytes_->end(), data, data + size);
  }
  void Overwrite(uint64_t offset, const uint8_t* data, size_t size) override {
    if (offset + size > bytes_->size()) Fault("overwrite past the end of a table file");
    std::memcpy(bytes_->data() + offset, data, size);
  }
  void Close() override {}

 private:
  std::vector<uint8_t>* bytes_;
};

// Files made in one process, reused for every input.
struct Scratch {
  TempFile database{TempFolder(), "mdbtokvt-fuzz-", ".mdb"};
  TempFile tables{TempFolder(), "mdbtokvt-fuzz-", ".tables"};
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

// The three runs of one conversion, stopping at the first error as the
// conversion does. Each table file written must read back with the count
// the run returned.
void Convert(InProcessDataSource& source, const std::string& databasePath, bool addressBook,
             int16_t editionRow) {
  NameTables names;
  ConversionContext context(names);
  context.addressBookSource = addressBook;
  context.edition = EditionOfRow(editionRow);
  context.StartConversion();

  // One byte vector per staged file, in the order the runs create them.
  std::vector<std::unique_ptr<std::vector<uint8_t>>> written;
  // A folder that does not exist: nothing is committed, and discarding the
  // staged files finds nothing to remove.
  OutputFolder folder(TempFolder() + "/mdbtokvt-fuzz-no-output", [&written](const std::string&) {
    written.push_back(std::make_unique<std::vector<uint8_t>>());
    return std::make_unique<MemoryStream>(written.back().get());
  });
  for (const TableRun* run : {&kServiceRun, &kReceiverRun, &kGroupRun}) {
    int16_t count = 0;
    try {
      count = RunTable(context, source, databasePath, folder, *run);
    } catch (const FatalError& e) {
      Fault(e.title() + ": " + e.text());
    } catch (const ConversionError& e) {
      if (Verbose()) {
        std::fprintf(stderr, "%s %s: error %d: %s\n", addressBook ? "abk" : "mdb",
                     std::string(run->fileName).c_str(), e.number(), e.what());
      }
      return;
    }
    if (Verbose()) {
      std::fprintf(stderr, "%s %s: %d records\n", addressBook ? "abk" : "mdb",
                   std::string(run->fileName).c_str(), count);
    }
    const std::vector<uint8_t>& bytes = *written.back();
    TableFileContents contents;
    try {
      contents = ParseTableFile({reinterpret_cast<const char*>(bytes.data()), bytes.size()},
                                run->fileName);
    } catch (const ConversionError& e) {
      Fault(std::string(run->fileName) + " does not read back: " + e.what());
    }
    if (contents.recordCount != count) {
      Fault(std::string(run->fileName) + " holds " + std::to_string(contents.recordCount) +
            " records; the run counted " + std::to_string(count));
    }
  }
}

}  // namespace
}  // namespace mdbtokvt

// Runs before libFuzzer reads its flags, so stderr is still open. As in the
// reader process, names come from libmdb as UTF-8 and its debugging output
// stays off.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mdbtokvt::faultFd = ::dup(STDERR_FILENO);
  ::unsetenv("MDBICONV");
  ::unsetenv("MDBOPTS");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mdbtokvt;
  Scratch& scratch = TheScratch();
  WriteWholeFile(scratch.database.path(), data, size);
  try {
    CheckAccessFile(scratch.database.path());
  } catch (const ConversionError&) {
    return 0;
  }
  static InProcessDataSource source(scratch.tables.path());
  // The edition decides the member slots of a group record (32 or 500).
  const auto editionRow = static_cast<int16_t>(data[size - 1] & 3);
  try {
    Convert(source, scratch.database.path(), true, editionRow);
    Convert(source, scratch.database.path(), false, editionRow);
  } catch (const std::exception& e) {
    Fault(std::string("exception ") + typeid(e).name() + ": " + e.what());
  } catch (...) {
    Fault("exception of an unknown type");
  }
  return 0;
}

// Most inputs that pass the cheap checks are a whole number of pages long,
// and most mutations that change the length break that. Rounding the length
// back to whole pages (padding with zeros, or cutting the unfinished page)
// lets those mutations reach the reader; one in eight stays as it is, so the
// checks keep seeing odd lengths too.
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  const size_t mutated = LLVMFuzzerMutate(data, size, maxSize);
  if (seed % 8 == 0) return mutated;
  const size_t page = mdbtokvt::AccessPageSize({reinterpret_cast<const char*>(data), mutated});
  if (page == 0 || mutated % page == 0) return mutated;
  const size_t down = mutated / page * page;
  const size_t up = down + page;
  if (up <= maxSize) {
    std::memset(data + mutated, 0, up - mutated);
    return up;
  }
  return down > 0 ? down : mutated;
}
