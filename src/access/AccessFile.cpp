#include "access/AccessFile.h"

#include <cstdio>
#include <new>
#include <system_error>

#include "access/AccessFileCheck.h"
#include "access/SortOrderFields.h"
#include "common/DamagedFile.h"
#include "common/Error.h"

namespace mdbtokvt {

namespace {

constexpr const char* kFallbackJet3CodePage = "WINDOWS-1252";

// Jet 3 text is in the code page named in the file header (a Windows code
// page number); files that name none, or one iconv lacks, are read as 1252.
CodePage LoadJet3CodePage(unsigned number) {
  if (number != 0) {
    try {
      return CodePage::Load("CP" + std::to_string(number));
    } catch (const ConversionError&) {
    }
  }
  return CodePage::Load(kFallbackJet3CodePage);
}

std::unique_ptr<MappedFile> MapContents(const std::filesystem::path& file,
                                        const std::string& path) {
  try {
    return std::make_unique<MappedFile>(file);
  } catch (const std::system_error& e) {
    // Mapping takes address space as large as the file.
    if (e.code() == std::errc::not_enough_memory) throw std::bad_alloc();
    ThrowCannotOpen(path);
  }
}

}  // namespace

AccessFile::AccessFile(std::string_view databasePath, const std::function<void()>& afterHeaderPage)
    : path_(databasePath) {
  const AccessFileFacts facts = CheckAccessFile(path_);
  contents_ = MapContents(facts.absolutePath, path_);
  mdb_.reset(mdb_open_buffer(contents_->data(), contents_->size(), MDB_NOFLAGS));
  if (!mdb_ || static_cast<size_t>(mdb_->fmt->pg_size) != facts.pageSize) ThrowDamaged();
  catalogTable_.mdb = mdb_.get();
  catalogTable_.object_type = MDB_TABLE;
  catalogTable_.table_pg = kCatalogDefinitionPage;
  std::snprintf(catalogTable_.object_name, sizeof catalogTable_.object_name, "MSysObjects");
  pageCount_ = static_cast<size_t>(facts.size / facts.pageSize);
  // iconv loads a code page's module from disk: done now, while files may
  // still be opened.
  if (IsJet3()) jet3CodePage_ = LoadJet3CodePage(mdb_->f->code_page);
  if (IsJet3()) {
    sortOrder_ = SortOrder::kGeneral97;
  } else {
    const std::string_view header(static_cast<const char*>(contents_->data()), facts.pageSize);
    sortOrder_ = GeneralOrderOf(HeaderSortOrder(header).value_or(NamedSortOrder{}),
                                SortOrder::kGeneralLegacy);
  }
  if (afterHeaderPage) afterHeaderPage();

  // Read the catalog once: every later lookup by name rereads it and frees
  // the entries that open tables still point at.
  CheckCatalogUsageMap();
  if (mdb_read_catalog(mdb_.get(), MDB_TABLE) == nullptr) ThrowDamaged();
  for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
    if (entry != nullptr && entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
      userTables_.push_back(entry);
    }
  }
}

void AccessFile::NotePageRead() const {
  if (++pagesSinceRelease_ < kPagesKeptResident) return;
  pagesSinceRelease_ = 0;
  contents_->ReleaseResidentPages();
}

// libmdb keeps a usage map row of no bytes as no map at all, and its scan of
// a table reads the map's first byte without looking: a catalog whose map is
// empty would end the reading with a fault instead of an error.
void AccessFile::CheckCatalogUsageMap() const {
  const TableDef table(mdb_read_table(catalogTable()));
  if (!table) ThrowDamaged();
  if (table->usage_map == nullptr || table->map_sz == 0) {
    ThrowDamagedDatabase(path_, "its list of tables cannot be read: its page map is empty");
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

std::string AccessFile::DefinitionBytes(size_t firstPage, size_t wanted) const {
  constexpr uint8_t kTableDefinitionPageType = 0x02;
  constexpr size_t kContinuationHeader = 8;
  const size_t pageSize = geometry().pageSize;
  const auto* file = static_cast<const uint8_t*>(contents_->data());
  std::string bytes;
  size_t page = firstPage;
  // A definition's column blocks lie within its first pages (at most 255
  // columns of 25 bytes after the index entries); a damaged chain may loop
  // or claim more, so a few pages are all that is read.
  constexpr size_t kMostPages = 8;
  for (size_t visited = 0; bytes.size() < wanted && visited < kMostPages; ++visited) {
    if (page == 0 || page >= pageCount_) break;
    const uint8_t* start = file + page * pageSize;
    if (start[0] != kTableDefinitionPageType) break;
    const size_t skip = bytes.empty() ? 0 : kContinuationHeader;
    bytes.append(reinterpret_cast<const char*>(start) + skip, pageSize - skip);
    page = ReadU32(start + 4);
  }
  return bytes;
}

SortOrder AccessFile::TextSortOrder(const MdbTableDef& table, const MdbColumn& column) const {
  if (IsJet3()) return sortOrder_;
  const MdbFormatConstants& format = *mdb_->fmt;
  const size_t firstBlock =
      format.tab_cols_start_offset + size_t{table.num_real_idxs} * format.tab_ridx_entry_size;
  const size_t blockSize = format.tab_col_entry_size;
  const std::string definition =
      DefinitionBytes(table.entry->table_pg, firstBlock + table.num_cols * blockSize);
  for (size_t i = 0; i < table.num_cols; ++i) {
    const size_t at = firstBlock + i * blockSize;
    if (at + blockSize > definition.size()) break;
    const std::string_view block(definition.data() + at, blockSize);
    const auto* raw = reinterpret_cast<const uint8_t*>(block.data());
    if (ReadU16(raw + format.col_num_offset) != column.col_num) continue;
    const auto named = ColumnSortOrder(block);
    return named ? GeneralOrderOf(*named, sortOrder_) : sortOrder_;
  }
  return sortOrder_;
}

void AccessFile::ThrowDamaged() const { ThrowUnrecognizedFormat(path_); }

}  // namespace mdbtokvt
