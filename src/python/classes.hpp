#pragma once

// Every class of the module, by the library value its objects hold: its
// Python name here, its definition (class_def) in its own file.

#include <string_view>

#include "compile/basis_gates.hpp"
#include "compile/coupling_map.hpp"
#include "compile/layout.hpp"
#include "compile/property_set.hpp"
#include "ir/circuit.hpp"
#include "ir/ids.hpp"
#include "python/binding/object.hpp"
#include "python/operation.hpp"

namespace qelto::python {

template <>
inline constexpr std::string_view class_name<ir::QubitId> = "QubitId";
template <>
inline constexpr std::string_view class_name<ir::ClbitId> = "ClbitId";
template <>
inline constexpr std::string_view class_name<ir::Circuit> = "Circuit";
template <>
inline constexpr std::string_view class_name<compile::Layout> = "Layout";
template <>
inline constexpr std::string_view class_name<compile::CouplingMap> =
    "CouplingMap";
template <>
inline constexpr std::string_view class_name<compile::BasisGates> =
    "BasisGates";
template <>
inline constexpr std::string_view class_name<compile::PropertySet> =
    "PropertySet";

template <>
inline constexpr std::string_view class_name<OperationValue> = "Operation";

template <>
ClassDef& class_def<ir::QubitId>();
template <>
ClassDef& class_def<ir::ClbitId>();
template <>
ClassDef& class_def<ir::Circuit>();
template <>
ClassDef& class_def<compile::Layout>();
template <>
ClassDef& class_def<compile::CouplingMap>();
template <>
ClassDef& class_def<compile::BasisGates>();
template <>
ClassDef& class_def<compile::PropertySet>();
template <>
ClassDef& class_def<OperationValue>();

}  // namespace qelto::python
