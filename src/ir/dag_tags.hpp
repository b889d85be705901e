#pragma once

#include <cstdint>

#include "ir/dag.hpp"

namespace qelto::ir {

// The one-byte kind of a stored operation: a standard gate's own kind
// (below kNumKinds), or one of the tags after them. Private to the
// operation store.
static_assert(StandardGate::kNumKinds + 5 <= 256, "tags must fit one byte");
inline constexpr auto kTagCustom =
    static_cast<std::uint8_t>(StandardGate::kNumKinds);
inline constexpr std::uint8_t kTagMeasure = kTagCustom + 1;
inline constexpr std::uint8_t kTagReset = kTagCustom + 2;
inline constexpr std::uint8_t kTagBarrier = kTagCustom + 3;
inline constexpr std::uint8_t kTagDelay = kTagCustom + 4;

// The tag of a kind other than Gate.
constexpr std::uint8_t tag_of(OperationKind kind) noexcept {
  return static_cast<std::uint8_t>(kTagCustom +
                                   static_cast<std::uint8_t>(kind));
}

constexpr OperationKind kind_of(std::uint8_t tag) noexcept {
  return tag <= kTagCustom ? OperationKind::Gate
                           : static_cast<OperationKind>(tag - kTagCustom);
}

static_assert(tag_of(OperationKind::Measure) == kTagMeasure);
static_assert(tag_of(OperationKind::Delay) == kTagDelay);

}  // namespace qelto::ir
