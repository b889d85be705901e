#include "ir/gate_catalogue.hpp"

#include <cassert>
#include <utility>

namespace qelto::ir {

ParameterExpression GateArgument::make(
    std::span<const ParameterExpression> params) const {
  ParameterExpression result;
  switch (source) {
    case Source::Param:
      assert(static_cast<std::size_t>(value) < params.size() &&
             "argument names a parameter the gate lacks");
      result = params[static_cast<std::size_t>(value)].clone();
      break;
    case Source::PiOver:
      result = value == 1 ? ParameterExpression::pi()
                          : ParameterExpression::div(
                                ParameterExpression::pi(),
                                ParameterExpression::constant(value));
      break;
    case Source::Integer:
      result = ParameterExpression::constant(value);
      break;
  }
  if (!negated) {
    return result;
  }
  if (const auto* constant = result.get_if<ParameterExpression::Constant>()) {
    return ParameterExpression::constant(-constant->value);
  }
  return ParameterExpression::neg(std::move(result));
}

}  // namespace qelto::ir
