// The values of each integer key, in the order they were given: values_[starts_[k]]
// up to values_[starts_[k + 1]] hold the values of the key numbered k. Keys
// that lie close together (the usual counters and sequence numbers) find
// their number in a plain array; others in a hash map. When every key has one
// value, the key's slot holds the value itself: one array read per look-up
// instead of three.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace mdbtokvt {

class IntegerIndex {
 public:
  // forEach(emit) calls emit(int64_t key, uint32_t value) for every entry,
  // each key's values in the order they are to come; it is called three
  // times and must give the same entries each time.
  template <class ForEach>
  explicit IntegerIndex(ForEach&& forEach) {
    size_t entries = 0;
    forEach([&](int64_t key, uint32_t) {
      if (entries++ == 0) lowest_ = highest_ = key;
      lowest_ = std::min(lowest_, key);
      highest_ = std::max(highest_, key);
    });
    const auto span = static_cast<uint64_t>(highest_) - static_cast<uint64_t>(lowest_);
    dense_ = entries > 0 && span < 2 * uint64_t{entries} + kDenseSlack;
    if (dense_) keyOfOffset_.assign(span + 1, kNoKey);

    std::vector<uint32_t> keyOfEntry;
    keyOfEntry.reserve(entries);
    std::vector<uint32_t> counts;
    forEach([&](int64_t key, uint32_t) {
      uint32_t& slot = KeySlot(key);
      if (slot == kNoKey) {
        slot = static_cast<uint32_t>(counts.size());
        counts.push_back(0);
      }
      ++counts[slot];
      keyOfEntry.push_back(slot);
    });
    unique_ = std::all_of(counts.begin(), counts.end(), [](uint32_t n) { return n == 1; });
    if (unique_) {
      forEach([&](int64_t key, uint32_t value) { KeySlot(key) = value; });
      return;
    }
    starts_.assign(counts.size() + 1, 0);
    for (size_t k = 0; k < counts.size(); ++k) starts_[k + 1] = starts_[k] + counts[k];
    values_.resize(starts_.back());
    std::vector<uint32_t> next(starts_.begin(), starts_.end() - 1);
    size_t entry = 0;
    forEach([&](int64_t, uint32_t value) { values_[next[keyOfEntry[entry++]]++] = value; });
  }

  // The values of key, in their order.
  std::span<const uint32_t> Find(int64_t key) const {
    const uint32_t* slot = nullptr;
    if (dense_) {
      if (key >= lowest_ && key <= highest_) {
        slot = &keyOfOffset_[static_cast<uint64_t>(key) - static_cast<uint64_t>(lowest_)];
      }
    } else if (const auto entry = keys_.find(key); entry != keys_.end()) {
      slot = &entry->second;
    }
    if (slot == nullptr || *slot == kNoKey) return {};
    if (unique_) return {slot, 1};
    return {values_.data() + starts_[*slot], values_.data() + starts_[*slot + 1]};
  }

 private:
  static constexpr uint32_t kNoKey = ~uint32_t{0};
  static constexpr uint64_t kDenseSlack = 1024;

  uint32_t& KeySlot(int64_t key) {
    if (dense_) return keyOfOffset_[static_cast<uint64_t>(key) - static_cast<uint64_t>(lowest_)];
    return keys_.try_emplace(key, kNoKey).first->second;
  }

  int64_t lowest_ = 0;
  int64_t highest_ = 0;
  bool dense_ = false;
  bool unique_ = false;                // then the slots hold the values
  std::vector<uint32_t> keyOfOffset_;  // dense: the number of key lowest_ + offset
  std::unordered_map<int64_t, uint32_t> keys_;
  std::vector<uint32_t> starts_;
  std::vector<uint32_t> values_;
};

}  // namespace mdbtokvt
