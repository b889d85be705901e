"""Circuits as data through the Python API, on a 1,000,000-operation circuit
(h, cx, rz with a symbolic angle, rx): iterating, indexing the last
operation, len, count_ops, parameters, copy, compose, inverse,
assign_parameters, a pickle round trip, and drawing 10,000 operations."""

import pickle
import sys
import time

import qelto

N = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
QUBITS = 100


def build(count):
    lines = ["OPENQASM 3.0;", f"qubit[{QUBITS}] q;"]
    for i in range(count // 4):
        q, nxt = i % QUBITS, (i + 1) % QUBITS
        lines += [f"h q[{q}];", f"cx q[{q}], q[{nxt}];",
                  f"rz(theta) q[{q}];", f"rx(0.5) q[{nxt}];"]
    return qelto.from_qasm("\n".join(lines))


def timed(label, fn, count):
    start = time.perf_counter()
    result = fn()
    elapsed = time.perf_counter() - start
    print(f"{label:<28} {elapsed * 1e3:9.1f} ms  {elapsed / count * 1e9:7.1f} ns/op")
    return result


def iterate(qc):
    n = 0
    for _ in qc:
        n += 1
    return n


class Plain:
    pass


def make_plain(count):
    # Each object is dropped at once, as iterating drops each operation: a
    # list of them all would time the garbage collector's passes over it.
    for _ in range(count):
        Plain()


def main():
    # A floor to read the figures against on a busy machine: making one
    # plain Python object, which iterating must do per operation anyway.
    timed("floor: one plain object", lambda: make_plain(N), N)
    qc = build(N)
    n = len(qc)
    print(f"{n} operations on {QUBITS} qubits")
    assert timed("iterate", lambda: iterate(qc), n) == n
    timed("qc[-1] x 1000", lambda: [qc[-1] for _ in range(1000)], 1000)
    timed("count_ops", qc.count_ops, n)
    timed("parameters", lambda: qc.parameters, n)
    timed("copy", qc.copy, n)
    target = qelto.Circuit("target", QUBITS)
    timed("compose", lambda: target.compose(qc), n)
    timed("inverse", qc.inverse, n)
    timed("assign_parameters", lambda: qc.assign_parameters({"theta": 0.25}), n)
    data = timed("pickle.dumps", lambda: pickle.dumps(qc), n)
    back = timed("pickle.loads", lambda: pickle.loads(data), n)
    assert len(back) == n
    timed("pickle round trip", lambda: pickle.loads(pickle.dumps(qc)), n)
    print(f"{'  pickled size':<28} {len(data) / n:9.1f} bytes/op")
    small = build(10_000)
    text = timed("draw 10,000 operations", small.draw, len(small))
    print(f"{'  drawn size':<28} {len(text):9d} characters")


if __name__ == "__main__":
    main()
