"""qelto.compile against Qiskit's transpile on the same circuits and devices.

Prints, per case: two-qubit gate count, depth and time for qelto and
for Qiskit at optimisation levels 1 and 3, with the ratios qelto / Qiskit
level 3 (two-qubit gates) and Qiskit / qelto (time). The columns marked ~
are qelto with tolerance=1e-6 (see APPROXIMATION), which leaves out the
tiny controlled phases that Qiskit's level 3 leaves out too. Both compile to
rz, sx, x, cx. Qiskit is an optional benchmark dependency
(`pip install qiskit`); without it only qelto's figures are printed.
Times are processor time of this process (time.process_time), so that a
busy machine does not distort them; Qiskit's worker threads, if any, count
as well.

    python bench/compile.py            # QFT 20-100, the QFT without its
                                       # tiniest phases (see aqft_ops) and
                                       # random circuits to 100 qubits
    python bench/compile.py --quick    # the smaller cases only
    python bench/compile.py --large    # also 500 qubits, 100,000 gates (Qiskit
                                       # level 1 alone takes ~20 minutes there,
                                       # so level 3 is skipped for it)
"""

import math
import random
import sys
import time

import qelto

try:
    import qiskit
    from qiskit import QuantumCircuit, transpile
    from qiskit.transpiler import CouplingMap as QiskitCouplingMap
except ImportError:  # pragma: no cover - optional
    qiskit = None

BASIS = ["rz", "sx", "x", "cx"]
# qelto's tolerance for the ~ columns: controlled phases below about 2e-6
# rad are left out, the ones Qiskit's levels 2 and 3 leave out (process
# infidelity below about 1e-12).
APPROXIMATION = 1e-6


def qft_ops(n):
    ops = []
    for i in range(n):
        ops.append(("h", (), (i,)))
        for j in range(1, n - i):
            ops.append(("cp", (math.pi / 2**j,), (i + j, i)))
    for i in range(n // 2):
        ops.append(("swap", (), (i, n - 1 - i)))
    return ops


def aqft_ops(n, k=20):
    """The QFT without the controlled phases below pi / 2**k. Qiskit's
    levels 2 and 3 leave out such gates (process infidelity below 1e-12) on
    their own, while qelto keeps every angle of 1e-9 rad and more unless given
    a tolerance (the ~ columns); on this
    circuit both compile the same gates, so routing is compared alone."""
    return [op for op in qft_ops(n) if op[0] != "cp" or op[1][0] >= math.pi / 2**k]


def random_ops(n, gates, seed):
    """Two-qubit-heavy: 60% cx between any two qubits, 40% one-qubit rotations."""
    rng = random.Random(seed)
    ops = []
    for _ in range(gates):
        if rng.random() < 0.6:
            a, b = rng.sample(range(n), 2)
            ops.append(("cx", (), (a, b)))
        else:
            ops.append((rng.choice(["rx", "ry", "rz"]), (rng.uniform(-3.1, 3.1),), (rng.randrange(n),)))
    return ops


def qelto_circuit(n, ops):
    c = qelto.Circuit("bench", num_qubits=n)
    for name, params, qubits in ops:
        getattr(c, name)(*params, *qubits)
    return c


def qiskit_circuit(n, ops):
    c = QuantumCircuit(n)
    for name, params, qubits in ops:
        getattr(c, name)(*params, *qubits)
    return c


def count_two_qubit(text):
    return sum(1 for line in text.splitlines() if line.count("q[") == 2)


def run_qelto(n, ops, coupling, tolerance=0.0):
    circuit = qelto_circuit(n, ops)
    target = qelto.PropertySet().with_target(coupling, qelto.BasisGates.ibm())
    start = time.process_time()
    out = qelto.compile(circuit, target, seed=1, tolerance=tolerance)
    elapsed = time.process_time() - start
    return count_two_qubit(qelto.to_qasm(out)), out.depth(), elapsed


def run_qiskit(n, ops, edges, level):
    circuit = qiskit_circuit(n, ops)
    coupling = QiskitCouplingMap(edges)
    coupling.make_symmetric()
    start = time.process_time()
    out = transpile(circuit, coupling_map=coupling, basis_gates=BASIS, optimization_level=level, seed_transpiler=1)
    elapsed = time.process_time() - start
    two = sum(1 for inst in out.data if inst.operation.num_qubits == 2)
    return two, out.depth(), elapsed


def cases(quick, large):
    devices = [("heavy_hex(7)", lambda: qelto.CouplingMap.heavy_hex(7)), ("grid(11x11)", lambda: qelto.CouplingMap.grid(11, 11))]
    for n in (20, 50) if quick else (20, 50, 100):
        for device, make in devices:
            yield f"qft {n}", device, make, n, qft_ops(n)
    for n in (50,) if quick else (50, 100):
        for device, make in devices:
            yield f"aqft {n}", device, make, n, aqft_ops(n)
    for n, gates in ((20, 2_000), (100, 10_000)):
        for device, make in devices:
            yield f"random {n}q {gates}", device, make, n, random_ops(n, gates, n)
    if large:
        for device, make in [("grid(23x23)", lambda: qelto.CouplingMap.grid(23, 23)), ("heavy_hex(15)", lambda: qelto.CouplingMap.heavy_hex(15))]:
            yield "random 500q 100000", device, make, 500, random_ops(500, 100_000, 500)


def main():
    quick = "--quick" in sys.argv
    large = "--large" in sys.argv
    print(f"qiskit {qiskit.__version__ if qiskit else 'not installed'}")
    header = f"{'case':<20} {'device':<14} {'qelto 2q':>9} {'depth':>7} {'time s':>8} {'~2q':>7} {'~time s':>8}"
    if qiskit:
        header += f" | {'L1 2q':>8} {'depth':>7} {'time s':>8} | {'L3 2q':>8} {'depth':>7} {'time s':>8} | {'2q/L3':>6} {'~2q/L3':>6} {'L3 t/qelto':>10} {'L1 t/qelto':>10}"
    print(header)
    for name, device, make, n, ops in cases(quick, large):
        coupling = make()
        two, depth, elapsed = run_qelto(n, ops, coupling)
        approx = run_qelto(n, ops, coupling, APPROXIMATION)
        line = f"{name:<20} {device:<14} {two:>9} {depth:>7} {elapsed:>8.3f} {approx[0]:>7} {approx[2]:>8.3f}"
        if qiskit:
            edges = coupling.edges()
            l1 = run_qiskit(n, ops, edges, 1)
            line += f" | {l1[0]:>8} {l1[1]:>7} {l1[2]:>8.2f}"
            if n <= 100:
                l3 = run_qiskit(n, ops, edges, 3)
                line += f" | {l3[0]:>8} {l3[1]:>7} {l3[2]:>8.2f}"
                line += f" | {two / max(l3[0], 1):>6.2f} {approx[0] / max(l3[0], 1):>6.2f}"
                line += f" {l3[2] / elapsed:>10.1f} {l1[2] / elapsed:>10.1f}"
            else:
                line += f" | {'-':>8} {'-':>7} {'-':>8} | {'-':>6} {'-':>6} {'-':>10} {l1[2] / elapsed:>10.1f}"
        print(line, flush=True)


if __name__ == "__main__":
    main()
