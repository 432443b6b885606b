// An Access file opened read-only through libmdb, with its catalog read once.
// Owns the libmdb handle; table definitions read from it are owned by the
// caller (TableDef) and must not outlive it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/MappedFile.h"
#include "access/MdbLibrary.h"
#include "access/PageLayout.h"
#include "common/CodePage.h"
#include "sortorder/SortKey.h"

namespace mdbtokvt {

struct MdbHandleCloser {
  void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};

struct TableDefDeleter {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using TableDef = std::unique_ptr<MdbTableDef, TableDefDeleter>;

class AccessFile {
 public:
  // Opens the file and reads its catalog. The file is mapped into memory
  // and libmdb reads it from there; it first reads the header (page 0) and,
  // for a Jet 3 file, the code page its text is stored in is loaded. Then
  // afterHeaderPage runs, when given: by then everything reading the file
  // needs to open is open, and libmdb has read no page but the header.
  // Raises 3024 when there is no such file, 3051 when it cannot be read and
  // 3343 when it is not an Access database libmdb can read. databasePath is
  // used as given in messages.
  explicit AccessFile(std::string_view databasePath,
                      const std::function<void()>& afterHeaderPage = {});
  // Table definitions point into it (see catalogTable_).
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  MdbHandle* handle() const { return mdb_.get(); }
  const std::string& path() const { return path_; }
  bool IsJet3() const { return mdb_->f->jet_version == MDB_VER_JET3; }
  // The order its texts sort in: Access 97's for a Jet 3 file; for a later
  // one Access 2010's when the header names version 1 of its sort order,
  // else Access 2000-2007's.
  SortOrder sortOrder() const { return sortOrder_; }
  // The order the texts of a column sort in: the one its definition names
  // (Jet 4 and later), else the file's.
  SortOrder TextSortOrder(const MdbTableDef& table, const MdbColumn& column) const;
  // The sort order the file's header names (a Windows language number):
  // 1033 for "General", another number for a language's own order.
  unsigned namedSortOrder() const { return mdb_->f->lang_id; }
  // The code page a Jet 3 file's text is stored in: the one its header names,
  // or Windows-1252 when it names none or one iconv lacks. Null for later
  // versions, which store UTF-16.
  const CodePage* jet3CodePage() const { return jet3CodePage_ ? &*jet3CodePage_ : nullptr; }
  PageGeometry geometry() const;
  // Number of whole pages in the file.
  size_t PageCount() const { return pageCount_; }
  // Counts a page libmdb read while scanning a table. Every
  // kPagesKeptResident pages the mapped file leaves the process's memory,
  // so that a large table read to its end does not keep the whole file
  // resident.
  void NotePageRead() const;

  // The catalog table itself (MSysObjects), on the fixed page of its
  // definition rather than through its own row in the catalog, which damage
  // may have hit.
  MdbCatalogEntry* catalogTable() const { return &catalogTable_; }

  // The user tables, in catalog order.
  const std::vector<MdbCatalogEntry*>& userTables() const { return userTables_; }
  // The user table with exactly this catalog name, or null.
  MdbCatalogEntry* FindTable(std::string_view name) const;
  // The definition of a user table with its columns; null when it cannot be
  // read.
  TableDef ReadTable(MdbCatalogEntry* entry) const;

  // Error 3343 for this file.
  [[noreturn]] void ThrowDamaged() const;

 private:
  // Raises 3343 when the catalog table's definition cannot be read or its
  // usage map is empty.
  void CheckCatalogUsageMap() const;
  // The bytes of a table's definition, its pages joined (each after the
  // first without its 8-byte header), as far as the file holds them.
  std::string DefinitionBytes(size_t firstPage, size_t wanted) const;

  // 4 MB of pages of 4 KiB (2 MB of Jet 3 pages).
  static constexpr size_t kPagesKeptResident = 1024;

  std::string path_;
  mutable size_t pagesSinceRelease_ = 0;
  std::unique_ptr<MappedFile> contents_;  // read by libmdb: outlives mdb_
  std::unique_ptr<MdbHandle, MdbHandleCloser> mdb_;
  size_t pageCount_ = 0;
  SortOrder sortOrder_ = SortOrder::kGeneralLegacy;
  std::optional<CodePage> jet3CodePage_;
  std::vector<MdbCatalogEntry*> userTables_;
  // libmdb takes catalog entries as non-const and keeps a pointer to the
  // entry in every table definition read from it.
  mutable MdbCatalogEntry catalogTable_{};
};

}  // namespace mdbtokvt
