#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "ir/parameter.hpp"

namespace qelto::ir {

// The gate parameters of an operation store, in fixed-size chunks that
// never move, so growing never relocates an expression (a
// ParameterExpression may hold a std::string, which is not trivially
// relocatable). The parameters of one operation (at most three for a
// standard gate) always sit in one chunk, so they read as one span.
//
// Move-only; `clone` copies. A moved-from pool is empty.
class ParameterPool {
 public:
  // Expressions per chunk: 40 KiB chunks, so the per-chunk costs (one
  // allocation, one pointer) are negligible per parameter while a small
  // circuit wastes little.
  static constexpr std::uint32_t kChunk = 1024;

  ParameterPool() noexcept = default;
  ParameterPool(ParameterPool&& other) noexcept
      : chunks_(std::move(other.chunks_)),
        size_(std::exchange(other.size_, 0)) {
    other.chunks_.clear();
  }
  ParameterPool& operator=(ParameterPool&& other) noexcept {
    if (this != &other) {
      chunks_ = std::move(other.chunks_);
      other.chunks_.clear();
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  ParameterPool(const ParameterPool&) = delete;
  ParameterPool& operator=(const ParameterPool&) = delete;

  // Makes room so that the next place(count) cannot throw; count <= kChunk.
  // May throw std::bad_alloc (the pool is then unchanged).
  void reserve(std::uint32_t count) { reserve_until(size_after(size_, count)); }

  // Where place(count) puts the first of `count` parameters in a pool of
  // `size`, and the pool's size after it: for planning many placements at
  // once. At the end, or at the next chunk when they would straddle a
  // chunk boundary.
  [[nodiscard]] static std::uint64_t start_of(std::uint64_t size,
                                              std::uint32_t count) noexcept {
    const std::uint64_t offset = size % kChunk;
    return offset + count > kChunk ? size - offset + kChunk : size;
  }
  [[nodiscard]] static std::uint64_t size_after(std::uint64_t size,
                                                std::uint32_t count) noexcept {
    return start_of(size, count) + count;
  }
  [[nodiscard]] std::uint64_t size() const noexcept { return size_; }

  // Makes room so that placements up to the size `end` (from size_after)
  // cannot throw. May throw std::bad_alloc, leaving at most some unused
  // room behind (the parameters are unchanged).
  void reserve_until(std::uint64_t end) {
    const std::uint64_t chunks = (end + kChunk - 1) / kChunk;
    if (chunks <= chunks_.size()) {
      return;
    }
    if (chunks * kChunk > UINT32_MAX) {
      throw std::bad_alloc();
    }
    chunks_.reserve(static_cast<std::size_t>(chunks));
    while (chunks_.size() < chunks) {
      chunks_.push_back(std::make_unique<ParameterExpression[]>(kChunk));
    }
  }

  // Filling many operations' parameters before any becomes part of the
  // pool: the slots for `count` parameters from `first` (a start_of), past
  // the pool's size. Requires reserve_until; the pool reads them only after
  // adopt_until. Until then they are spare room: a later place or staging
  // overwrites them.
  [[nodiscard]] std::span<ParameterExpression> staged(
      std::uint64_t first, std::uint32_t count) noexcept {
    return {&chunks_[first / kChunk][first % kChunk], count};
  }
  // Makes the staged parameters up to the size `end` part of the pool.
  void adopt_until(std::uint64_t end) noexcept {
    size_ = static_cast<std::uint32_t>(end);
  }

  // Moves `params` in; returns the index of the first. Requires
  // reserve(params.size()).
  std::uint32_t place(std::span<ParameterExpression> params) noexcept {
    const auto count = static_cast<std::uint32_t>(params.size());
    const auto at = static_cast<std::uint32_t>(start_of(size_, count));
    ParameterExpression* slot = &chunks_[at / kChunk][at % kChunk];
    for (std::uint32_t i = 0; i < count; ++i) {
      slot[i] = std::move(params[i]);
    }
    size_ = at + count;
    return at;
  }

  [[nodiscard]] std::span<const ParameterExpression> get(
      std::uint32_t at, std::uint32_t count) const noexcept {
    return {&chunks_[at / kChunk][at % kChunk], count};
  }

  // Deep copy. May throw std::bad_alloc.
  [[nodiscard]] ParameterPool clone() const {
    return clone([](const ParameterExpression& p) { return p.clone(); });
  }
  // A copy with every parameter replaced by `map(parameter)`, in the same
  // places. May throw std::bad_alloc (and whatever `map` throws).
  template <class Map>
  [[nodiscard]] ParameterPool clone(const Map& map) const {
    ParameterPool copy;
    copy.chunks_.reserve(chunks_.size());
    for (std::size_t c = 0; c < chunks_.size(); ++c) {
      copy.chunks_.push_back(std::make_unique<ParameterExpression[]>(kChunk));
      const std::size_t first = c * std::size_t{kChunk};
      const std::size_t used =
          size_ > first ? std::min<std::size_t>(kChunk, size_ - first) : 0;
      for (std::size_t i = 0; i < used; ++i) {
        copy.chunks_[c][i] = map(chunks_[c][i]);
      }
    }
    copy.size_ = size_;
    return copy;
  }

 private:
  std::vector<std::unique_ptr<ParameterExpression[]>> chunks_;
  std::uint32_t size_ = 0;
};

}  // namespace qelto::ir
