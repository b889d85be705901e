#pragma once

#include <atomic>
#include <utility>

#include "python/binding/python.hpp"

namespace qelto::python {

// Guards an object's library value against use while it is being changed.
// 0 = free, n > 0 = n shared borrows, -1 = borrowed exclusively. Conflicts can
// only come from Python code that runs during an argument conversion (a
// user-defined __index__) and reaches the same object.
class BorrowFlag {
 public:
  bool try_share() {
    int count = state_.load(std::memory_order_relaxed);
    do {
      if (count == kExclusive) {
        return false;
      }
    } while (!state_.compare_exchange_weak(count, count + 1));
    return true;
  }
  void unshare() { state_.fetch_sub(1); }

  // Acquire and release, as a lock: a plain store ends the borrow.
  bool try_exclusive() {
    int expected = 0;
    return state_.compare_exchange_strong(expected, kExclusive,
                                          std::memory_order_acquire,
                                          std::memory_order_relaxed);
  }
  void unexclusive() { state_.store(0, std::memory_order_release); }

 private:
  static constexpr int kExclusive = -1;
  std::atomic<int> state_{0};
};

// RAII shared borrow. Check `held()`; on a conflict the RuntimeError
// "Already mutably borrowed" is already set. Movable, so that a converted
// argument can carry it until the call returns.
class SharedBorrow {
 public:
  explicit SharedBorrow(BorrowFlag& flag);
  SharedBorrow(SharedBorrow&& other) noexcept
      : flag_(std::exchange(other.flag_, nullptr)) {}
  SharedBorrow(const SharedBorrow&) = delete;
  SharedBorrow& operator=(const SharedBorrow&) = delete;
  SharedBorrow& operator=(SharedBorrow&&) = delete;
  ~SharedBorrow() {
    if (flag_ != nullptr) {
      flag_->unshare();
    }
  }
  bool held() const { return flag_ != nullptr; }

 private:
  BorrowFlag* flag_;
};

// What a refused exclusive borrow means: a user-visible conflict while the
// receiver is bound, or a broken invariant once every argument is converted
// (no Python code can run between conversion and the library call).
enum class OnConflict { kRaiseAlreadyBorrowed, kInternalFault };

// RAII exclusive borrow. On a conflict `held()` is false and the error chosen
// by `on_conflict` is set.
class ExclusiveBorrow {
 public:
  // Inline: every changing method takes one.
  explicit ExclusiveBorrow(
      BorrowFlag& flag,
      OnConflict on_conflict = OnConflict::kRaiseAlreadyBorrowed)
      : flag_(flag.try_exclusive() ? &flag : nullptr) {
    if (flag_ == nullptr) {
      refuse(on_conflict);
    }
  }
  // Movable, so that a converted argument can carry it until the call
  // returns.
  ExclusiveBorrow(ExclusiveBorrow&& other) noexcept
      : flag_(std::exchange(other.flag_, nullptr)) {}
  ExclusiveBorrow(const ExclusiveBorrow&) = delete;
  ExclusiveBorrow& operator=(const ExclusiveBorrow&) = delete;
  ExclusiveBorrow& operator=(ExclusiveBorrow&&) = delete;
  ~ExclusiveBorrow() {
    if (flag_ != nullptr) {
      flag_->unexclusive();
    }
  }
  bool held() const { return flag_ != nullptr; }

 private:
  // Sets the error `on_conflict` chooses.
  static void refuse(OnConflict on_conflict);

  BorrowFlag* flag_;
};

}  // namespace qelto::python
