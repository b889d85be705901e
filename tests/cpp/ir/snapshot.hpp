#pragma once

// Test helper: everything observable about a circuit, for equality and
// "unchanged" checks, with its operations in insertion order.

#include <optional>
#include <string>
#include <vector>

#include "describe.hpp"
#include "ir/circuit.hpp"
#include "ir/circuit_ops.hpp"

namespace qelto::ir::testing {

inline std::vector<std::string> added_ops(const Circuit& c) {
  std::vector<std::string> out;
  for_each_operation(c, [&out](OperationRef op) {
    out.push_back(describe(op.to_instruction()));
  });
  return out;
}

struct Record {
  std::optional<std::string> register_name;
  std::optional<std::uint32_t> index;
  bool operator==(const Record&) const = default;
};

struct Snapshot {
  std::string name;
  std::vector<Record> qubits;
  std::vector<Record> clbits;
  std::uint64_t depth = 0;
  std::size_t nodes = 0;
  std::size_t edges = 0;
  std::vector<std::string> added;
  std::vector<std::string> topological;
  bool operator==(const Snapshot&) const = default;
};

inline Snapshot snapshot(const Circuit& c) {
  Snapshot s{c.name(), {}, {}, c.depth(), c.dag().node_count(),
             c.dag().edge_count(), added_ops(c), ops_of(c)};
  for (const QubitInfo& q : c.qubits()) {
    s.qubits.push_back({q.register_name, q.index});
  }
  for (const ClbitInfo& b : c.clbits()) {
    s.clbits.push_back({b.register_name, b.index});
  }
  return s;
}

}  // namespace qelto::ir::testing
