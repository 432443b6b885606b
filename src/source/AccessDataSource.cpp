// Placeholder until the libmdb/SQLite data source lands.
#include "common/Error.h"
#include "source/DataSource.h"

namespace mdbtokvt {

namespace {
class PendingDataSource final : public DataSource {
 public:
  void Open(std::string_view databasePath, std::string_view) override {
    ThrowUnrecognizedFormat(std::string(databasePath));
  }
  Recordset& recordset() override { throw ConversionError(91, "Object variable not set"); }
};
}  // namespace

std::unique_ptr<DataSource> CreateAccessDataSource(std::string) {
  return std::make_unique<PendingDataSource>();
}

}  // namespace mdbtokvt
