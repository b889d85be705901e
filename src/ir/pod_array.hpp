#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace qelto::ir {

// A growable array of trivially copyable records, grown in bulk.
//
// Why not std::vector: a vector moves its elements one by one into a new
// block when it grows, so old and new block are both resident at the peak
// and the freed block stays in the heap as "freed growth". Small arrays
// here grow through operator new and one memcpy; from kReallocBytes on
// they grow with std::realloc, which extends a block in place where it can
// and moves large (mmapped) blocks by remapping pages, copying nothing
// (bench_ir_dag shows the resident bytes per operation).
//
// Move-only; `clone` copies. A moved-from array is empty. reserve and
// clone may throw std::bad_alloc (the array is then unchanged); after
// reserve(k) the next k push_back calls cannot throw.
template <class T>
class PodArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  PodArray() noexcept = default;
  PodArray(PodArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  PodArray& operator=(PodArray&& other) noexcept {
    if (this != &other) {
      release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  PodArray(const PodArray&) = delete;
  PodArray& operator=(const PodArray&) = delete;
  ~PodArray() { release(); }

  // An independent copy holding exactly size() records.
  [[nodiscard]] PodArray clone() const {
    PodArray copy;
    copy.reallocate(size_);
    if (size_ > 0) {
      std::memcpy(static_cast<void*>(copy.data_), data_, size_ * sizeof(T));
    }
    copy.size_ = size_;
    return copy;
  }

  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] std::size_t capacity() const noexcept { return capacity_; }
  [[nodiscard]] T* data() noexcept { return data_; }
  [[nodiscard]] const T* data() const noexcept { return data_; }
  T& operator[](std::size_t i) noexcept { return data_[i]; }
  const T& operator[](std::size_t i) const noexcept { return data_[i]; }
  [[nodiscard]] std::span<const T> span(std::size_t begin,
                                        std::size_t count) const noexcept {
    return {data_ + begin, count};
  }

  // Room for `extra` more records, growing geometrically (so calling it
  // before every addition stays amortised O(1)).
  void reserve_more(std::size_t extra) {
    if (extra > capacity_ - size_) {
      reserve_total(std::max(size_ + extra, capacity_ + capacity_ / 2 + 16));
    }
  }
  // Room for `total` records exactly (for a known final size).
  void reserve_total(std::size_t total) {
    if (total > capacity_) {
      reallocate(total);
    }
  }

  // Requires room (reserve_more); never throws.
  void push_back(const T& item) noexcept { data_[size_++] = item; }
  // Appends `count` records from `items`; requires room.
  void append(const T* items, std::size_t count) noexcept {
    if (count > 0) {
      std::memcpy(static_cast<void*>(data_ + size_), items,
                  count * sizeof(T));
      size_ += count;
    }
  }

 private:
  // Blocks from this size on come from malloc and grow with realloc (past
  // glibc's default mmap threshold of 128 KiB, so they are mmapped).
  static constexpr std::size_t kReallocBytes = 256 * 1024;
  static bool from_malloc(std::size_t capacity) noexcept {
    return capacity * sizeof(T) >= kReallocBytes;
  }

  void release() noexcept {
    if (data_ == nullptr) {
      return;
    }
    if (from_malloc(capacity_)) {
      std::free(data_);
    } else {
      ::operator delete(static_cast<void*>(data_));
    }
  }

  void reallocate(std::size_t total) {
    if (total == 0) {
      return;
    }
    if (total > PTRDIFF_MAX / sizeof(T)) {
      throw std::bad_alloc();
    }
    const std::size_t bytes = total * sizeof(T);
    void* grown = nullptr;
    if (from_malloc(capacity_)) {
      grown = std::realloc(static_cast<void*>(data_), bytes);
    } else {
      grown = from_malloc(total) ? std::malloc(bytes) : ::operator new(bytes);
      if (grown != nullptr && size_ > 0) {
        std::memcpy(grown, static_cast<const void*>(data_), size_ * sizeof(T));
      }
      if (grown != nullptr) {
        release();
      }
    }
    if (grown == nullptr) {
      throw std::bad_alloc();
    }
    data_ = static_cast<T*>(grown);
    capacity_ = total;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace qelto::ir
