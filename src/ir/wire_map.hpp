#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace qelto::ir {

// Open-addressing hash map from a wire id (the uint32 of a QubitId or
// ClbitId) to the state of that wire in an operation store. Used by
// CircuitDag for its qubit and classical-bit wires; an implementation detail.
//
// Linear probing, Fibonacci hashing, load factor at most 1/2, no removal.
// insert never throws once reserve(size() + 1) has succeeded.
class WireMap {
 public:
  struct Ends {
    // Registration number of the wire (0, 1, 2, ... over both kinds).
    std::uint32_t wire;
    // Operand slot of the last operation on the wire, or kNoSlot.
    std::uint32_t last;
    // Depth of the last operation on the wire (0 while it has none).
    std::uint32_t depth;
  };
  static constexpr std::uint32_t kNoSlot = 0xFFFFFFFFu;

  WireMap() = default;
  WireMap(WireMap&& other) noexcept
      : slots_(std::move(other.slots_)),
        size_(std::exchange(other.size_, 0)),
        shift_(std::exchange(other.shift_, 64)) {
    other.slots_.clear();
  }
  WireMap& operator=(WireMap&& other) noexcept {
    if (this != &other) {
      slots_ = std::move(other.slots_);
      other.slots_.clear();
      size_ = std::exchange(other.size_, 0);
      shift_ = std::exchange(other.shift_, 64);
    }
    return *this;
  }
  WireMap(const WireMap&) = delete;
  WireMap& operator=(const WireMap&) = delete;

  // Deep copy. May throw std::bad_alloc.
  [[nodiscard]] WireMap clone() const {
    WireMap copy;
    copy.slots_ = slots_;
    copy.size_ = size_;
    copy.shift_ = shift_;
    return copy;
  }

  [[nodiscard]] std::size_t size() const noexcept { return size_; }

  // The entry of `key`, or nullptr. Pointers stay valid until the next
  // reserve that grows the table.
  [[nodiscard]] const Ends* find(std::uint32_t key) const noexcept {
    if (slots_.empty()) {
      return nullptr;
    }
    for (std::size_t i = home(key);; i = (i + 1) & mask()) {
      const Slot& s = slots_[i];
      if (s.ends.wire == kEmpty) {
        return nullptr;
      }
      if (s.key == key) {
        return &s.ends;
      }
    }
  }
  [[nodiscard]] Ends* find(std::uint32_t key) noexcept {
    return const_cast<Ends*>(std::as_const(*this).find(key));
  }

  // Capacity for `total` entries (not extra). May throw std::bad_alloc,
  // leaving the map unchanged.
  void reserve(std::size_t total) {
    if (total <= capacity()) {
      return;
    }
    std::size_t slots = std::max<std::size_t>(16, slots_.size());
    while (slots / 2 < total) {
      slots *= 2;
    }
    std::vector<Slot> fresh(slots);
    std::vector<Slot> old = std::exchange(slots_, std::move(fresh));
    shift_ = std::countl_zero(static_cast<std::uint64_t>(slots)) + 1;
    for (const Slot& s : old) {
      if (s.ends.wire != kEmpty) {
        place(s);
      }
    }
  }

  // Inserts a key that is not present; requires reserve(size() + 1).
  void insert(std::uint32_t key, Ends ends) noexcept {
    place(Slot{key, ends});
    ++size_;
  }

 private:
  // Wire number that marks an empty slot (no wire has this number).
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  struct Slot {
    std::uint32_t key = 0;
    Ends ends{kEmpty, kNoSlot, 0};
  };

  std::size_t capacity() const noexcept { return slots_.size() / 2; }
  std::size_t mask() const noexcept { return slots_.size() - 1; }
  std::size_t home(std::uint32_t key) const noexcept {
    return static_cast<std::size_t>(
        (std::uint64_t{key} * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  void place(const Slot& slot) noexcept {
    std::size_t i = home(slot.key);
    while (slots_[i].ends.wire != kEmpty) {
      i = (i + 1) & mask();
    }
    slots_[i] = slot;
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
  int shift_ = 64;
};

}  // namespace qelto::ir
