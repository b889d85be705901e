#include "ir/gate.hpp"

#include <array>
#include <cassert>
#include <utility>

namespace qelto::ir {
namespace {

struct CatalogueEntry {
  std::string_view name;
  std::uint8_t num_qubits;
  std::uint8_t num_params;
};

// The gate catalogue, indexed by StandardGate::Kind.
constexpr std::array<CatalogueEntry, StandardGate::kNumKinds> kCatalogue = {{
    {"id", 1, 0},    {"x", 1, 0},     {"y", 1, 0},     {"z", 1, 0},
    {"h", 1, 0},     {"s", 1, 0},     {"sdg", 1, 0},   {"t", 1, 0},
    {"tdg", 1, 0},   {"sx", 1, 0},    {"sxdg", 1, 0},  {"rx", 1, 1},
    {"ry", 1, 1},    {"rz", 1, 1},    {"p", 1, 1},     {"u", 1, 3},
    {"cx", 2, 0},    {"cy", 2, 0},    {"cz", 2, 0},    {"ch", 2, 0},
    {"swap", 2, 0},  {"iswap", 2, 0}, {"crx", 2, 1},   {"cry", 2, 1},
    {"crz", 2, 1},   {"cp", 2, 1},    {"rxx", 2, 1},   {"ryy", 2, 1},
    {"rzz", 2, 1},   {"ccx", 3, 0},   {"cswap", 3, 0}, {"prx", 1, 2},
}};

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
    default:
      return StandardGate(kind, std::move(params[0]), std::move(params[1]),
                          std::move(params[2]));
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
