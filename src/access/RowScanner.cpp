#include "access/RowScanner.h"

#include <string>
#include <unordered_set>

#include "access/UsageMap.h"

namespace mdbtokvt {

namespace {

// An overflow pointer may lead to another pointer (a row moved twice); a
// longer chain only occurs in a damaged file.
constexpr int kMaxOverflowHops = 8;

class Scanner {
 public:
  Scanner(const AccessFile& file, MdbTableDef& table, const RowCallback& onRow)
      : file_(file),
        mdb_(file.handle()),
        table_(table),
        onRow_(onRow),
        geometry_(file.geometry()),
        fields_(table.num_cols) {}

  void Run() {
    for (uint32_t page : TableDataPages(file_, table_)) ScanPage(page);
    // The definition counts the table's rows; a scan that finds fewer or
    // more has lost pages or read foreign ones.
    if (rows_ != table_.num_rows) {
      throw DamagedFileError("it holds " + std::to_string(rows_) +
                             " rows where its definition counts " +
                             std::to_string(table_.num_rows));
    }
  }

 private:
  void ReadPage(uint32_t page) {
    if (page >= file_.PageCount()) throw DamagedFileError("a row lies beyond the end of the file");
    file_.NotePageRead();
    if (mdb_read_pg(mdb_, page) != static_cast<ssize_t>(geometry_.pageSize)) {
      throw DamagedFileError("a page cannot be read");
    }
  }

  bool IsOwnDataPage() const {
    return mdb_->pg_buf[0] == kDataPageType && ReadU32(mdb_->pg_buf + 4) == table_.entry->table_pg;
  }

  void ScanPage(uint32_t page) {
    ReadPage(page);
    if (!IsOwnDataPage()) {
      throw DamagedFileError("its page map names a page that is not one of its data pages");
    }
    const size_t slots = SlotCount(mdb_->pg_buf, geometry_);
    if (geometry_.rowCountOffset + 2 + 2 * slots > geometry_.pageSize) {
      throw DamagedFileError("a page claims more rows than it can hold");
    }
    for (size_t slot = 0; slot < slots; ++slot) {
      SlotBounds bounds{};
      const uint16_t raw = ReadU16(mdb_->pg_buf + geometry_.rowCountOffset + 2 + 2 * slot);
      if (raw & kSlotHiddenFlag) continue;
      if (!FindSlot(mdb_->pg_buf, geometry_, slot, bounds)) {
        throw DamagedFileError("a row lies outside its page");
      }
      if (bounds.flags & kSlotOverflowFlag) {
        FollowOverflow(bounds);
        ReadPage(page);  // back to the page being scanned
      } else {
        EmitRow(bounds);
      }
    }
  }

  // The slot's first four bytes: the moved row's slot number and its page.
  // The moved data is hidden from the scan and reached by one pointer only.
  void FollowOverflow(SlotBounds bounds) {
    for (int hop = 0; hop < kMaxOverflowHops; ++hop) {
      if (bounds.length < 4) throw DamagedFileError("a moved row cannot be found");
      const uint8_t* pointer = mdb_->pg_buf + bounds.start;
      const size_t slot = pointer[0];
      const uint32_t page = ReadU24(pointer + 1);
      ReadPage(page);
      if (!IsOwnDataPage() || !FindSlot(mdb_->pg_buf, geometry_, slot, bounds)) {
        throw DamagedFileError("a moved row cannot be found");
      }
      if (bounds.flags == kSlotHiddenFlag) {
        if (!movedRows_.insert((static_cast<uint64_t>(page) << 8) | slot).second) {
          throw DamagedFileError("two rows point at the same moved row");
        }
        EmitRow(bounds);
        return;
      }
      if (bounds.flags != kSlotOverflowFlag) throw DamagedFileError("a moved row cannot be found");
    }
    throw DamagedFileError("moved rows point at each other in a loop");
  }

  void EmitRow(const SlotBounds& bounds) {
    if (bounds.length == 0 ||
        mdb_crack_row(&table_, static_cast<int>(bounds.start), bounds.length, fields_.data()) < 0) {
      throw DamagedFileError("a row cannot be decoded");
    }
    ++rows_;
    onRow_(fields_.data());
  }

  const AccessFile& file_;
  MdbHandle* mdb_;
  MdbTableDef& table_;
  const RowCallback& onRow_;
  PageGeometry geometry_;
  std::vector<MdbField> fields_;
  std::unordered_set<uint64_t> movedRows_;  // page << 8 | slot of every moved row read
  uint64_t rows_ = 0;
};

}  // namespace

void ScanTableRows(const AccessFile& file, MdbTableDef& table, const RowCallback& onRow) {
  if (table.num_cols == 0) return;
  Scanner(file, table, onRow).Run();
}

}  // namespace mdbtokvt
