#include "ir/gate.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <utility>

#include "ir/gate_macros.hpp"

namespace qelto::ir {
namespace {

struct CatalogueEntry {
  std::string_view name;
  std::uint8_t num_qubits;
  std::uint8_t num_params;
};

// The gate catalogue, indexed by StandardGate::Kind.
constexpr std::array<CatalogueEntry, StandardGate::kNumKinds> kCatalogue = {{
#define QELTO_GATE(Enum, name, params, qubits, ...) \
  {#name, QELTO_PP_LIST_COUNT(qubits), QELTO_PP_LIST_COUNT(params)},
#include "ir/gates.def"
}};

static_assert(std::ranges::all_of(kCatalogue, [](const CatalogueEntry& e) {
  return e.num_params <= StandardGate::kMaxParams &&
         e.num_qubits >= 1 && e.num_qubits <= StandardGate::kMaxQubits;
}));

const CatalogueEntry& entry(StandardGate::Kind kind) noexcept {
  return kCatalogue[static_cast<std::size_t>(kind)];
}

std::vector<ParameterExpression> clone_all(
    std::span<const ParameterExpression> params) {
  std::vector<ParameterExpression> out;
  out.reserve(params.size());
  for (const ParameterExpression& p : params) {
    out.push_back(p.clone());
  }
  return out;
}

}  // namespace

std::string_view StandardGate::name(Kind kind) noexcept {
  return entry(kind).name;
}

std::uint32_t StandardGate::num_qubits(Kind kind) noexcept {
  return entry(kind).num_qubits;
}

std::uint32_t StandardGate::num_params(Kind kind) noexcept {
  return entry(kind).num_params;
}

std::optional<StandardGate::Kind> StandardGate::from_name(
    std::string_view name) noexcept {
  for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
    if (kCatalogue[i].name == name) {
      return static_cast<Kind>(i);
    }
  }
  return std::nullopt;
}

StandardGate::StandardGate(Kind kind) noexcept : kind_(kind) {
  assert(num_params(kind) == 0 && "gate kind needs parameters");
}

StandardGate::StandardGate(Kind kind, ParameterExpression theta)
    : kind_(kind), params_(std::make_unique<ParameterExpression[]>(1)) {
  assert(num_params(kind) == 1 && "gate kind does not take one parameter");
  params_[0] = std::move(theta);
}

StandardGate::StandardGate(Kind kind, ParameterExpression theta,
                           ParameterExpression phi)
    : kind_(kind), params_(std::make_unique<ParameterExpression[]>(2)) {
  assert(num_params(kind) == 2 && "gate kind does not take two parameters");
  params_[0] = std::move(theta);
  params_[1] = std::move(phi);
}

StandardGate::StandardGate(Kind kind, ParameterExpression theta,
                           ParameterExpression phi, ParameterExpression lam)
    : kind_(kind), params_(std::make_unique<ParameterExpression[]>(3)) {
  assert(num_params(kind) == 3 && "gate kind does not take three parameters");
  params_[0] = std::move(theta);
  params_[1] = std::move(phi);
  params_[2] = std::move(lam);
}

StandardGate::StandardGate(Kind kind, ParameterExpression theta,
                           ParameterExpression phi, ParameterExpression lam,
                           ParameterExpression gamma)
    : kind_(kind), params_(std::make_unique<ParameterExpression[]>(4)) {
  assert(num_params(kind) == 4 && "gate kind does not take four parameters");
  params_[0] = std::move(theta);
  params_[1] = std::move(phi);
  params_[2] = std::move(lam);
  params_[3] = std::move(gamma);
}

std::optional<StandardGate> StandardGate::make(
    Kind kind, std::vector<ParameterExpression> params) {
  if (params.size() != num_params(kind)) {
    return std::nullopt;
  }
  switch (params.size()) {
    case 0:
      return StandardGate(kind);
    case 1:
      return StandardGate(kind, std::move(params[0]));
    case 2:
      return StandardGate(kind, std::move(params[0]), std::move(params[1]));
    case 3:
      return StandardGate(kind, std::move(params[0]), std::move(params[1]),
                          std::move(params[2]));
    default:
      return StandardGate(kind, std::move(params[0]), std::move(params[1]),
                          std::move(params[2]), std::move(params[3]));
  }
}

StandardGate StandardGate::clone() const {
  StandardGate copy;
  const std::uint32_t n = num_params(kind_);
  if (n != 0) {
    copy.params_ = std::make_unique<ParameterExpression[]>(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      copy.params_[i] = params_[i].clone();
    }
  }
  copy.kind_ = kind_;
  return copy;
}

std::span<const ParameterExpression> StandardGate::parameters()
    const noexcept {
  return {params_.get(), num_params(kind_)};
}

CustomGate CustomGate::clone() const {
  return CustomGate{name, num_qubits, clone_all(params)};
}

Gate::Gate(CustomGate g)
    : kind(std::make_unique<CustomGate>(std::move(g))) {}

Gate Gate::clone() const {
  if (const StandardGate* s = standard()) {
    return Gate(s->clone());
  }
  return Gate(custom()->clone());
}

const StandardGate* Gate::standard() const noexcept {
  return std::get_if<StandardGate>(&kind);
}

const CustomGate* Gate::custom() const noexcept {
  const auto* boxed = std::get_if<std::unique_ptr<CustomGate>>(&kind);
  return boxed != nullptr ? boxed->get() : nullptr;
}

std::string_view Gate::name() const noexcept {
  if (const StandardGate* s = standard()) {
    return s->name();
  }
  return custom()->name;
}

std::uint32_t Gate::num_qubits() const noexcept {
  if (const StandardGate* s = standard()) {
    return s->num_qubits();
  }
  return custom()->num_qubits;
}

std::span<const ParameterExpression> Gate::parameters() const noexcept {
  if (const StandardGate* s = standard()) {
    return s->parameters();
  }
  return custom()->params;
}

}  // namespace qelto::ir
