#include "source/RowScanner.h"

#include "source/UsageMap.h"

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
  }

 private:
  void ReadPage(uint32_t page) {
    if (page >= file_.PageCount() ||
        mdb_read_pg(mdb_, page) != static_cast<ssize_t>(geometry_.pageSize)) {
      throw DamagedFileError("page cannot be read");
    }
  }

  bool IsOwnDataPage() const {
    return mdb_->pg_buf[0] == kDataPageType && ReadU32(mdb_->pg_buf + 4) == table_.entry->table_pg;
  }

  void ScanPage(uint32_t page) {
    ReadPage(page);
    // The usage map may name a page that has since gone to another table.
    if (!IsOwnDataPage()) return;
    const size_t slots = SlotCount(mdb_->pg_buf, geometry_);
    if (geometry_.rowCountOffset + 2 + 2 * slots > geometry_.pageSize) {
      throw DamagedFileError("row slot table larger than its page");
    }
    for (size_t slot = 0; slot < slots; ++slot) {
      SlotBounds bounds{};
      const uint16_t raw = ReadU16(mdb_->pg_buf + geometry_.rowCountOffset + 2 + 2 * slot);
      if (raw & kSlotHiddenFlag) continue;
      if (!FindSlot(mdb_->pg_buf, geometry_, slot, bounds)) throw DamagedFileError("bad row slot");
      if (bounds.flags & kSlotOverflowFlag) {
        FollowOverflow(bounds);
        ReadPage(page);  // back to the page being scanned
      } else {
        EmitRow(bounds);
      }
    }
  }

  // The slot's first four bytes: the moved row's slot number and its page.
  void FollowOverflow(SlotBounds bounds) {
    for (int hop = 0; hop < kMaxOverflowHops; ++hop) {
      if (bounds.length < 4) throw DamagedFileError("bad overflow pointer");
      const uint8_t* pointer = mdb_->pg_buf + bounds.start;
      const size_t slot = pointer[0];
      ReadPage(ReadU24(pointer + 1));
      if (!IsOwnDataPage() || !FindSlot(mdb_->pg_buf, geometry_, slot, bounds)) {
        throw DamagedFileError("bad overflow pointer");
      }
      if ((bounds.flags & kSlotOverflowFlag) == 0) {
        EmitRow(bounds);
        return;
      }
    }
    throw DamagedFileError("overflow pointers form a loop");
  }

  void EmitRow(const SlotBounds& bounds) {
    if (bounds.length == 0 ||
        mdb_crack_row(&table_, static_cast<int>(bounds.start), bounds.length, fields_.data()) < 0) {
      throw DamagedFileError("row cannot be decoded");
    }
    onRow_(fields_.data());
  }

  const AccessFile& file_;
  MdbHandle* mdb_;
  MdbTableDef& table_;
  const RowCallback& onRow_;
  PageGeometry geometry_;
  std::vector<MdbField> fields_;
};

}  // namespace

void ScanTableRows(const AccessFile& file, MdbTableDef& table, const RowCallback& onRow) {
  if (table.num_cols == 0) return;
  Scanner(file, table, onRow).Run();
}

}  // namespace mdbtokvt
