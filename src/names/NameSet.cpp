#include "names/NameSet.h"

#include <cstring>
#include <functional>

namespace mdbtokvt {

namespace {

uint32_t HashOf(std::string_view name) {
  const size_t hash = std::hash<std::string_view>{}(name);
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

size_t NameSet::Find(std::string_view name, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.length == kEmptySlot) return i;
    if (slot.hash == hash && slot.length == name.size() &&
        std::memcmp(slot.bytes, name.data(), name.size()) == 0) {
      return i;
    }
  }
}

bool NameSet::insert(std::string_view name) {
  if (name.size() > kSlotBytes) return longNames_.emplace(name).second;
  if (2 * (count_ + 1) > slots_.size()) Grow();
  const uint32_t hash = HashOf(name);
  Slot& slot = slots_[Find(name, hash)];
  if (slot.length != kEmptySlot) return false;
  slot.hash = hash;
  slot.length = static_cast<uint8_t>(name.size());
  std::memcpy(slot.bytes, name.data(), name.size());
  ++count_;
  return true;
}

bool NameSet::contains(std::string_view name) const {
  if (name.size() > kSlotBytes) return longNames_.contains(std::string(name));
  if (slots_.empty()) return false;
  return slots_[Find(name, HashOf(name))].length != kEmptySlot;
}

void NameSet::clear() {
  slots_.clear();
  count_ = 0;
  longNames_.clear();
}

void NameSet::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : 2 * old.size(), Slot{});
  for (const Slot& slot : old) {
    if (slot.length != kEmptySlot) slots_[Find({slot.bytes, slot.length}, slot.hash)] = slot;
  }
}

}  // namespace mdbtokvt
