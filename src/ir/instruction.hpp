#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>
#include <span>
#include <variant>
#include <vector>

#include "ir/gate.hpp"
#include "ir/qubit.hpp"

namespace qelto::ir {

// An ordered list of operands (QubitId or ClbitId) with room for three
// inline, so that 1- to 3-qubit operations need no heap block. Behaves like
// a small std::vector: contiguous, `data`/`size`/`begin`/`end`/`[]`,
// `push_back`, comparison; converts from an initializer list, a span or a
// std::vector, and to std::span<const T> (it is a contiguous range). 16
// bytes.
//
// Longer lists live in one heap block whose capacity is the next power of
// two of the size. push_back may throw std::bad_alloc (the list is then
// unchanged).
template <class T>
class OperandList {
  static_assert(sizeof(T) == 4 && std::is_trivially_copyable_v<T>);

 public:
  using value_type = T;
  using size_type = std::size_t;
  using iterator = T*;
  using const_iterator = const T*;
  static constexpr std::uint32_t kInline = 3;

  OperandList() noexcept = default;
  OperandList(std::initializer_list<T> items) {
    assign(items.begin(), items.size());
  }
  // Implicit, like std::vector's conversions.
  OperandList(std::span<const T> items) {  // NOLINT
    assign(items.data(), items.size());
  }
  OperandList(const std::vector<T>& items) {  // NOLINT
    assign(items.data(), items.size());
  }
  OperandList(const OperandList& other) { assign(other.data(), other.size()); }
  OperandList(OperandList&& other) noexcept { steal(other); }
  OperandList& operator=(const OperandList& other) {
    if (this != &other) {
      OperandList copy(other);
      release();
      steal(copy);
    }
    return *this;
  }
  OperandList& operator=(OperandList&& other) noexcept {
    if (this != &other) {
      release();
      steal(other);
    }
    return *this;
  }
  ~OperandList() { release(); }

  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] T* data() noexcept { return is_inline() ? inline_ : heap(); }
  [[nodiscard]] const T* data() const noexcept {
    return is_inline() ? inline_ : heap();
  }
  T* begin() noexcept { return data(); }
  T* end() noexcept { return data() + size_; }
  const T* begin() const noexcept { return data(); }
  const T* end() const noexcept { return data() + size_; }
  T& operator[](std::size_t i) noexcept { return data()[i]; }
  const T& operator[](std::size_t i) const noexcept { return data()[i]; }
  T& front() noexcept { return data()[0]; }
  const T& front() const noexcept { return data()[0]; }
  T& back() noexcept { return data()[size_ - 1]; }
  const T& back() const noexcept { return data()[size_ - 1]; }

  void push_back(T item) {
    if (size_ < kInline) {
      inline_[size_++] = item;
      return;
    }
    if (size_ == kInline || std::has_single_bit(size_)) {
      grow_to(std::size_t{size_} + 1);
    }
    heap()[size_] = item;
    ++size_;
  }
  void clear() noexcept {
    release();
    size_ = 0;
  }

  friend bool operator==(const OperandList& a, const OperandList& b) noexcept {
    return a.size_ == b.size_ &&
           std::equal(a.begin(), a.end(), b.begin());
  }

 private:
  bool is_inline() const noexcept { return size_ <= kInline; }
  static std::uint32_t capacity_for(std::size_t n) noexcept {
    return static_cast<std::uint32_t>(std::bit_ceil(n));
  }
  T* heap() const noexcept {
    T* p;
    std::memcpy(&p, inline_, sizeof p);
    return p;
  }
  void set_heap(T* p) noexcept {
    std::memcpy(static_cast<void*>(inline_), &p, sizeof p);
  }
  void assign(const T* items, std::size_t n);
  void grow_to(std::size_t n);
  void release() noexcept {
    if (!is_inline()) {
      delete[] heap();
    }
  }
  void steal(OperandList& other) noexcept {
    size_ = other.size_;
    std::memcpy(static_cast<void*>(inline_), other.inline_, sizeof inline_);
    other.size_ = 0;
  }

  std::uint32_t size_ = 0;
  // The items while size_ <= kInline; otherwise the first 8 bytes hold the
  // heap pointer, copied in and out with memcpy so the list stays 4-aligned
  // and 16 bytes long.
  T inline_[kInline]{};
};

using QubitList = OperandList<QubitId>;
using ClbitList = OperandList<ClbitId>;

// Non-gate instruction kinds.
// Measure: qubit k is measured into clbit k.
struct Measure {};
// Reset: resets its qubits.
struct Reset {};
// Barrier: a scheduling fence over its qubits (it may have none).
struct Barrier {};
// Delay: `duration` is printed bare (no unit).
struct Delay {
  std::uint64_t duration = 0;
};

// InstructionKind, in its fixed order: Gate, Measure, Reset, Barrier, Delay.
using InstructionKind = std::variant<Gate, Measure, Reset, Barrier, Delay>;

// One operation of a circuit. Owns its lists and its gate.
// Operand order carries the roles of the gate (control first, etc.).
// Nothing is checked here: `CircuitDag::apply` validates.
//
// Move-only (the gate is); deep copies are explicit (`clone`). Aggregate:
//   Instruction{{QubitId{0}, QubitId{1}}, {},
//               Gate{StandardGate{StandardGate::Cx}}}
//   Instruction{{QubitId{0}}, {ClbitId{0}}, Measure{}}
struct Instruction {
  QubitList qubits;
  ClbitList clbits;
  InstructionKind kind;

  // `qubits` = {qubit}, no clbits, kind Gate(Standard(gate)). No check:
  // a two-qubit gate here is caught by apply with QubitCountMismatch.
  [[nodiscard]] static Instruction single_qubit_gate(StandardGate gate,
                                                     QubitId qubit);

  [[nodiscard]] Instruction clone() const;

  // The gate for a Gate instruction, else nullptr.
  [[nodiscard]] const Gate* gate() const noexcept {
    return std::get_if<Gate>(&kind);
  }
};

// ---- OperandList out-of-line members ----

template <class T>
void OperandList<T>::assign(const T* items, std::size_t n) {
  if (n > UINT32_MAX) {
    throw std::bad_alloc();
  }
  if (n <= kInline) {
    std::copy_n(items, n, inline_);
  } else {
    T* p = new T[capacity_for(n)];
    std::copy_n(items, n, p);
    set_heap(p);
  }
  size_ = static_cast<std::uint32_t>(n);
}

// Moves the items into a new heap block for n items; size_ is unchanged, so
// the caller must make size_ exceed kInline right after.
template <class T>
void OperandList<T>::grow_to(std::size_t n) {
  if (n > UINT32_MAX) {
    throw std::bad_alloc();
  }
  T* p = new T[capacity_for(n)];
  std::copy_n(data(), size_, p);
  release();
  set_heap(p);
}

}  // namespace qelto::ir
