// A set of names, for the checks whether a name a record refers to was
// written. Built for many look-ups of names of at most 32 bytes (every name
// a table file holds): such a name sits in its slot, so a look-up reads one
// place in memory instead of a bucket, a node and the name's own buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace mdbtokvt {

class NameSet {
 public:
  // Adds name; false when it was there already.
  bool insert(std::string_view name);
  bool contains(std::string_view name) const;
  void clear();
  size_t size() const { return count_ + longNames_.size(); }

 private:
  static constexpr size_t kSlotBytes = 32;
  static constexpr uint8_t kEmptySlot = 0xFF;

  struct Slot {
    uint32_t hash = 0;
    uint8_t length = kEmptySlot;
    char bytes[kSlotBytes] = {};
  };

  // The slot holding name, or the empty slot where it belongs.
  size_t Find(std::string_view name, uint32_t hash) const;
  void Grow();

  std::vector<Slot> slots_;  // a power of two of them, at most half in use
  size_t count_ = 0;
  std::unordered_set<std::string> longNames_;  // names over kSlotBytes bytes
};

}  // namespace mdbtokvt
