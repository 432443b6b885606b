#include "source/AccessFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/Error.h"

namespace mdbtokvt {

namespace {

constexpr size_t kJet3PageSize = 2048;
constexpr size_t kJet4PageSize = 4096;
constexpr int kErrCannotOpen = 3051;

// Cheap checks of the header page before libmdb sees the file: libmdb itself
// accepts many files that are not databases (any first byte 0) and reads
// truncated files without a word. Returns false for anything that is not a
// whole Access database file.
bool LooksLikeAccessFile(const std::filesystem::path& path, uintmax_t size) {
  std::ifstream in(path, std::ios::binary);
  char header[0x15] = {};
  if (!in.read(header, sizeof header)) return false;
  static constexpr char kMagic[4] = {0x00, 0x01, 0x00, 0x00};
  if (std::memcmp(header, kMagic, 4) != 0) return false;
  const std::string_view format(header + 4, 15);
  if (format != "Standard Jet DB" && format != "Standard ACE DB") return false;
  const auto version = static_cast<unsigned char>(header[0x14]);
  if (version > MDB_VER_ACCDB_2019) return false;
  const size_t pageSize = version == MDB_VER_JET3 ? kJet3PageSize : kJet4PageSize;
  return size >= 3 * pageSize && size % pageSize == 0;
}

}  // namespace

AccessFile::AccessFile(std::string_view databasePath) : path_(databasePath) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::path(path_), error);
  if (error || path_.empty() || !fs::exists(absolute, error)) ThrowDatabaseNotFound(path_);
  if (!fs::is_regular_file(absolute, error)) ThrowDamaged();
  const uintmax_t size = fs::file_size(absolute, error);
  if (error) ThrowDamaged();
  {
    std::ifstream probe(absolute, std::ios::binary);
    if (!probe) {
      throw ConversionError(kErrCannotOpen, "The database engine cannot open the file '" + path_ +
                                                "'. It is already opened exclusively by another "
                                                "user, or you need permission to view its data.");
    }
  }
  if (!LooksLikeAccessFile(absolute, size)) ThrowDamaged();

  mdb_.reset(mdb_open(absolute.c_str(), MDB_NOFLAGS));
  if (!mdb_) ThrowDamaged();
  pageCount_ = static_cast<size_t>(size / static_cast<uintmax_t>(mdb_->fmt->pg_size));
  // Read the catalog once: every later lookup by name rereads it and frees
  // the entries that open tables still point at.
  if (mdb_read_catalog(mdb_.get(), MDB_TABLE) == nullptr) ThrowDamaged();
  for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
    if (entry != nullptr && entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
      userTables_.push_back(entry);
    }
  }
}

PageGeometry AccessFile::geometry() const {
  return {static_cast<size_t>(mdb_->fmt->pg_size), mdb_->fmt->row_count_offset};
}

MdbCatalogEntry* AccessFile::FindTable(std::string_view name) const {
  for (MdbCatalogEntry* entry : userTables_) {
    if (name == entry->object_name) return entry;
  }
  return nullptr;
}

TableDef AccessFile::ReadTable(MdbCatalogEntry* entry) const {
  TableDef table(mdb_read_table(entry));
  if (!table || mdb_read_columns(table.get()) == nullptr) return nullptr;
  if (table->num_cols != table->columns->len) return nullptr;
  return table;
}

void AccessFile::ThrowDamaged() const { ThrowUnrecognizedFormat(path_); }

}  // namespace mdbtokvt
