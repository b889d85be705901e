// Running out of memory: every IR operation that may allocate throws
// std::bad_alloc before it changes anything, so the circuit or DAG is left
// exactly as it was. Allocation failures are injected by replacing the
// global operator new of the test program: once armed with k, the first
// k allocations succeed and every later one throws until disarmed. Each
// case is run with k = 0, 1, 2, ... until the operation completes.
#include <gtest/gtest.h>

#include <new>

#include "batched.hpp"
#include "describe.hpp"
#include "ir/circuit.hpp"
#include "ir/operation_batch.hpp"
#include "support/failing_allocator.hpp"

namespace qelto::ir {
namespace {

using testing::ops_of;
using Strings = std::vector<std::string>;

QubitId q(std::uint32_t i) { return QubitId{i}; }
ClbitId c(std::uint32_t i) { return ClbitId{i}; }

struct DagState {
  std::size_t nodes;
  std::size_t edges;
  std::size_t qubit_wires;
  std::size_t clbit_wires;
  std::uint64_t depth;
  Strings ops;
  std::vector<std::vector<NodeIndex>> out;
  bool operator==(const DagState&) const = default;
};

DagState state(const CircuitDag& dag) {
  DagState s{dag.node_count(), dag.edge_count(), dag.num_qubit_wires(),
             dag.num_clbit_wires(), dag.depth(), ops_of(dag), {}};
  for (std::uint32_t n = 0; n < dag.node_count(); ++n) {
    s.out.push_back(dag.successors(NodeIndex{n}));
  }
  return s;
}

struct CircuitState {
  std::uint64_t qubits;
  std::uint64_t clbits;
  std::vector<std::optional<std::string>> registers;
  DagState dag;
  bool operator==(const CircuitState&) const = default;
};

CircuitState state(const Circuit& circuit) {
  CircuitState s{circuit.num_qubits(), circuit.num_clbits(), {}, state(circuit.dag())};
  for (const QubitInfo& info : circuit.qubits()) {
    s.registers.push_back(info.register_name);
  }
  for (const ClbitInfo& info : circuit.clbits()) {
    s.registers.push_back(info.register_name);
  }
  return s;
}

// Runs `operation` on a fresh object from `make` with 0, 1, 2, ...
// allocations allowed; after every failure the object must be unchanged.
// Returns how many allocations the operation needed.
template <class Make, class Operation>
long check_all_failure_points(Make make, Operation operation) {
  for (long allowed = 0;; ++allowed) {
    auto object = make();
    const auto before = state(object);
    bool threw = false;
    testing_support::fail_after(allowed);
    try {
      operation(object);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    testing_support::allow_all();
    if (!threw) {
      return allowed;
    }
    EXPECT_EQ(state(object), before) << "failure after " << allowed << " allocations";
    if (::testing::Test::HasFailure()) {
      return allowed;
    }
  }
}

CircuitDag dag_with(std::uint32_t qubits, std::uint32_t clbits) {
  CircuitDag dag;
  for (std::uint32_t i = 0; i < qubits; ++i) {
    dag.add_qubit(q(i));
  }
  for (std::uint32_t i = 0; i < clbits; ++i) {
    dag.add_clbit(c(i));
  }
  return dag;
}

TEST(AllocationFailureTest, injection_works) {
  testing_support::fail_after(0);
  EXPECT_THROW((void)std::make_unique<int>(1), std::bad_alloc);
  testing_support::allow_all();
}

TEST(AllocationFailureTest, apply_leaves_dag_unchanged) {
  // A fresh DAG's arrays are full, so apply has to grow them.
  const long needed = check_all_failure_points(
      [] { return dag_with(2, 1); },
      [](CircuitDag& dag) {
        (void)dag.apply(Instruction{{q(0), q(1)}, {}, Gate(StandardGate(StandardGate::Cx))});
      });
  EXPECT_GT(needed, 0);
}

TEST(AllocationFailureTest, wide_apply_leaves_dag_unchanged) {
  // 40 operands: the operand table and the repeat check allocate too.
  const long needed = check_all_failure_points(
      [] {
        CircuitDag dag = dag_with(40, 40);
        (void)dag.apply(Instruction{{q(0)}, {}, Reset{}});
        return dag;
      },
      [](CircuitDag& dag) {
        QubitList qs;
        ClbitList cs;
        for (std::uint32_t i = 0; i < 40; ++i) {
          qs.push_back(q(i));
          cs.push_back(c(i));
        }
        (void)dag.apply(Instruction{std::move(qs), std::move(cs), Measure{}});
      });
  EXPECT_GT(needed, 2);
}

TEST(AllocationFailureTest, append_leaves_dag_and_batch_unchanged) {
  // Every array of the store grows, the parameter pool gains a chunk, a
  // custom gate and a delay move in, and the 40-operand measurement needs
  // the repeat check's table: whichever allocation fails, the DAG is as it
  // was and the batch still holds every operation.
  auto make_batch = [] {
    OperationBatch batch;
    QubitList qs;
    ClbitList cs;
    for (std::uint32_t i = 0; i < 40; ++i) {
      qs.push_back(q(i));
      cs.push_back(c(i));
    }
    using PE = ParameterExpression;
    const Instruction made[] = {
        Instruction{{q(0), q(1)}, {}, Gate(StandardGate(StandardGate::Cx))},
        Instruction{{q(2)},
                    {},
                    Gate(StandardGate(StandardGate::Rz,
                                      PE::symbol(std::string(50, 's'))))},
        Instruction{std::move(qs), std::move(cs), Measure{}},
        Instruction{
            {q(3), q(4)}, {}, Gate(CustomGate{std::string(40, 'g'), 2, {}})},
        Instruction{{q(5)}, {}, Delay{3}},
        Instruction{{q(6)},
                    {},
                    Gate(StandardGate(StandardGate::U, PE::constant(1),
                                      PE::pi(), PE::symbol("x")))},
    };
    for (const Instruction& instruction : made) {
      testing::add_to(batch, instruction);
    }
    return batch;
  };
  auto make_dag = [] {
    CircuitDag dag = dag_with(40, 40);
    (void)dag.apply(Instruction{{q(0)}, {}, Reset{}});
    return dag;
  };
  CircuitDag expected = make_dag();
  OperationBatch all = make_batch();
  ASSERT_TRUE(expected.append(all));
  for (long allowed = 0;; ++allowed) {
    CircuitDag dag = make_dag();
    OperationBatch batch = make_batch();
    const DagState before = state(dag);
    testing_support::fail_after(allowed);
    try {
      const auto appended = dag.append(batch);
      testing_support::allow_all();
      ASSERT_TRUE(appended);
      EXPECT_EQ(state(dag), state(expected));
      EXPECT_GT(allowed, 5);
      return;
    } catch (const std::bad_alloc&) {
      testing_support::allow_all();
    }
    ASSERT_EQ(state(dag), before) << "failure after " << allowed;
    ASSERT_EQ(batch.size(), 6u);
    ASSERT_TRUE(dag.append(batch));
    ASSERT_EQ(state(dag), state(expected)) << "failure after " << allowed;
  }
}

TEST(AllocationFailureTest, failed_apply_with_error_text_leaves_dag_unchanged) {
  // The error path allocates its message; running out there is fine too.
  check_all_failure_points([] { return dag_with(1, 0); },
                           [](CircuitDag& dag) {
                             auto r = dag.apply(Instruction{
                                 {q(7)}, {}, Gate(StandardGate(StandardGate::H))});
                             EXPECT_FALSE(r.has_value());
                           });
}

TEST(AllocationFailureTest, add_wire_leaves_dag_unchanged) {
  check_all_failure_points([] { return dag_with(3, 0); },
                           [](CircuitDag& dag) { dag.add_qubit(q(3)); });
  check_all_failure_points([] { return dag_with(0, 0); },
                           [](CircuitDag& dag) { dag.add_clbit(c(0)); });
}

TEST(AllocationFailureTest, circuit_bits_and_registers_roll_back) {
  const std::string long_name(40, 'r');  // each record's copy allocates
  check_all_failure_points([] { return Circuit::with_size("c", 2, 1); },
                           [](Circuit& circuit) { circuit.add_qubit(); });
  check_all_failure_points([] { return Circuit::with_size("c", 2, 1); },
                           [](Circuit& circuit) { circuit.add_clbit(); });
  const long qreg = check_all_failure_points(
      [] { return Circuit::with_size("c", 2, 1); },
      [&](Circuit& circuit) { circuit.add_qreg(long_name, 5); });
  EXPECT_GT(qreg, 5);
  check_all_failure_points([] { return Circuit::with_size("c", 2, 1); },
                           [&](Circuit& circuit) { circuit.add_creg(long_name, 7); });
}

TEST(AllocationFailureTest, builders_leave_circuit_unchanged) {
  check_all_failure_points([] { return Circuit::with_size("b", 3, 1); },
                           [](Circuit& circuit) { (void)circuit.ccx(q(0), q(1), q(2)); });
  check_all_failure_points(
      [] { return Circuit::with_size("b", 3, 1); },
      [](Circuit& circuit) { (void)circuit.rz(ParameterExpression::symbol(std::string(50, 's')), q(1)); });
  check_all_failure_points([] { return Circuit::with_size("b", 20, 1); },
                           [](Circuit& circuit) { (void)circuit.barrier_all(); });
  check_all_failure_points([] { return Circuit::with_size("b", 3, 3); },
                           [](Circuit& circuit) { (void)circuit.measure_all(); });
}

TEST(AllocationFailureTest, with_size_throws_cleanly) {
  for (long allowed = 0; allowed < 8; ++allowed) {
    testing_support::fail_after(allowed);
    try {
      Circuit circuit = Circuit::with_size(std::string(30, 'n'), 5, 5);
      testing_support::allow_all();
      EXPECT_EQ(circuit.num_qubits(), 5u);
    } catch (const std::bad_alloc&) {
      testing_support::allow_all();
    }
  }
}

#if !defined(__SANITIZE_ADDRESS__)
// Real exhaustion (no injection): sizes whose records cannot be allocated.
// Skipped under AddressSanitizer, which aborts on such requests.
TEST(AllocationFailureTest, huge_sizes_throw_and_leave_circuit_unchanged) {
  EXPECT_THROW((void)Circuit::with_size("x", 4294967295u, 0), std::bad_alloc);
  EXPECT_THROW((void)Circuit::with_size("x", 0, 4294967295u), std::bad_alloc);
  Circuit circuit = Circuit::with_size("x", 2, 2);
  ASSERT_TRUE(circuit.h(q(0)));
  const CircuitState before = state(circuit);
  EXPECT_THROW(circuit.add_qreg("r", 4294967295u), std::bad_alloc);
  EXPECT_THROW(circuit.add_creg("r", 4294967295u), std::bad_alloc);
  EXPECT_EQ(state(circuit), before);
  EXPECT_EQ(circuit.add_qubit(), q(2));
}
#endif

}  // namespace
}  // namespace qelto::ir
