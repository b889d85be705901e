"""from_qasm of generated programs of 10^4, 10^5 and 10^6 operations."""

import time

import qelto

QUBITS = 100


def program(operations, qubits=QUBITS, angle="pi/4"):
    lines = ["OPENQASM 3.0;", 'include "stdgates.inc";', f"qubit[{qubits}] q;", f"bit[{qubits}] c;"]
    for i in range(operations // 4):
        q = i % qubits
        lines += [f"h q[{q}];", f"cx q[{q}], q[{(q + 1) % qubits}];",
                  f"rz({angle}) q[{q}];", f"c[{q}] = measure q[{q}];"]
    return "\n".join(lines) + "\n"


def main():
    for operations in (10**4, 10**5, 10**6):
        text = program(operations)
        size = len(text.encode())
        best = float("inf")
        for _ in range(3):
            start = time.perf_counter()
            circuit = qelto.from_qasm(text)
            best = min(best, time.perf_counter() - start)
        assert circuit.num_qubits == QUBITS
        print(f"from_qasm {operations:>9,} operations, {size / 1e6:6.2f} MB: "
              f"{best:.3f} s, {size / best / 1e6:6.1f} MB/s (aim: well over 50 MB/s)")


if __name__ == "__main__":
    main()
