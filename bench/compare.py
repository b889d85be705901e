"""qelto side by side with the peer toolkits, one row per measure:

    from_qasm     200,000 gates on 20 qubits (and MB/s)
    to_qasm       the same 200,000 gates
    build         h/x/cx/rz from Python, ns per gate (and the loop's floor)
    memory        bytes per operation: 1,000,000 `h`, 1,000,000 `rz(angle)`
    distance      1,000 random queries after the first on a 10,000-qubit
                  line, and the first query itself
    linear        CouplingMap.linear(10_000)

Peers: Qiskit (`qasm3.loads_experimental` / `dumps_experimental`,
QuantumCircuit builders, CouplingMap) and MQT Core 3.11
(`QuantumComputation`), each only when installed: `pip install
'qelto[bench]'` or `pip install qiskit 'mqt.core==3.11.0'` into a separate
environment and point PYTHONPATH at a built qelto.

Times are CPU time of this process (time.process_time), so that a busy
machine does not distort them; the best of several runs; every tool in the
same process and run, so the ratios (peer time / qelto time; for memory,
peer bytes / qelto bytes) come from one run. Memory is the growth of the
resident set while building, measured in a fresh child process per tool
and row so that nothing another row freed is reused.

    python bench/compare.py            # every row, every installed peer
    python bench/compare.py --quick    # fewer repeats; leaves out Qiskit's
                                       # first distance query (~17 s, ~800 MB)
    python bench/compare.py --no-peers # qelto alone
"""

import gc
import random
import resource
import subprocess
import sys
import time
import types
import warnings

import qelto
import qasm_parse

try:
    import qiskit
    import qiskit.qasm3
    from qiskit import QuantumCircuit
    from qiskit.transpiler import CouplingMap as QiskitCouplingMap
except ImportError:  # pragma: no cover - optional
    qiskit = None

try:
    from mqt.core.ir import QuantumComputation
except ImportError:  # pragma: no cover - optional
    QuantumComputation = None

READ_GATES = 200_000
READ_QUBITS = 20
BUILD_GATES = 200_000
BUILD_QUBITS = 100
MEMORY_OPS = 1_000_000
LINE = 10_000
QUERIES = 1_000


def best_cpu(fn, repeats):
    """The least CPU time of `repeats` calls of fn, and its last result."""
    best = float("inf")
    result = None
    for _ in range(repeats):
        result = None
        gc.collect()
        gc.disable()
        try:
            start = time.process_time()
            result = fn()
            elapsed = time.process_time() - start
        finally:
            gc.enable()
        best = min(best, elapsed)
    return best, result


# ---- The program every reader and writer handles ----

def program():
    # A number, not `pi/4`: Qiskit's native reader takes no constant
    # expressions in angles.
    return qasm_parse.program(READ_GATES, READ_QUBITS, "0.7853981633974483")


def readers():
    yield "qelto", qelto.from_qasm
    if qiskit is not None:
        yield "Qiskit", qiskit.qasm3.loads_experimental
    if QuantumComputation is not None:
        yield "MQT", QuantumComputation.from_qasm_str


def writer_of(tool):
    return {"qelto": qelto.to_qasm,
            "Qiskit": lambda c: qiskit.qasm3.dumps_experimental(c),
            "MQT": lambda c: c.qasm3_str()}[tool]


# ---- Building from Python ----

def build(make, count):
    c = make()
    h, x, cx, rz = c.h, c.x, c.cx, c.rz
    for i in range(count // 4):
        q = i % BUILD_QUBITS
        h(q)
        x(q)
        cx(q, (q + 1) % BUILD_QUBITS)
        rz(0.25, q)
    return c


def build_qelto(count):
    return build(lambda: qelto.Circuit("bench", BUILD_QUBITS), count)


def build_floor(count):
    # The same loop calling an empty C method with the same arguments: what
    # no binding can go below.
    empty = {}.get
    floor = types.SimpleNamespace(h=empty, x=empty, cx=empty, rz=empty)
    build(lambda: floor, count)


def builders():
    yield "qelto", build_qelto
    if qiskit is not None:
        yield "Qiskit", lambda count: build(lambda: QuantumCircuit(BUILD_QUBITS), count)
    if QuantumComputation is not None:
        yield "MQT", lambda count: build(lambda: QuantumComputation(BUILD_QUBITS), count)


# ---- Memory, in a child process ----

def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * resource.getpagesize()


def memory_probe(tool, gate):
    """Bytes of resident set per operation for MEMORY_OPS of `gate`."""
    angles = [0.25 + i * 1e-9 for i in range(MEMORY_OPS)] if gate == "rz" else None
    if tool == "qelto":
        c = qelto.Circuit("m", 1)
    elif tool == "Qiskit":
        c = QuantumCircuit(1)
    else:
        c = QuantumComputation(1)
    before = rss_bytes()
    if gate == "h":
        h = c.h
        for _ in range(MEMORY_OPS):
            h(0)
    else:
        rz = c.rz
        for angle in angles:
            rz(angle, 0)
    return (rss_bytes() - before) / MEMORY_OPS


def memory_in_child(tool, gate):
    out = subprocess.run([sys.executable, __file__, "--memory-probe", tool, gate],
                         check=True, capture_output=True, text=True).stdout
    return float(out)


# ---- Coupling maps ----

def distance_queries(seed=1):
    rng = random.Random(seed)
    return [(rng.randrange(LINE), rng.randrange(LINE)) for _ in range(QUERIES)]


def qelto_distances(repeats):
    queries = distance_queries()

    def first():
        return qelto.CouplingMap.linear(LINE).distance(0, LINE - 1)

    first_time, _ = best_cpu(first, repeats)
    coupling = qelto.CouplingMap.linear(LINE)
    coupling.distance(0, LINE - 1)
    d = coupling.distance
    after, _ = best_cpu(lambda: [d(a, b) for a, b in queries], repeats)
    return first_time, after


def qiskit_distances(repeats, with_first):
    queries = distance_queries()
    coupling = QiskitCouplingMap.from_line(LINE)
    first_time = None
    if with_first:
        start = time.process_time()
        coupling.distance(0, LINE - 1)
        first_time = time.process_time() - start
    else:
        coupling.distance(0, LINE - 1)
    d = coupling.distance
    after, _ = best_cpu(lambda: [d(a, b) for a, b in queries], repeats)
    return first_time, after


# ---- The table ----

def number(v):
    """Three significant digits, without an exponent."""
    if v >= 100:
        return f"{v:,.0f}"
    if v >= 10:
        return f"{v:.1f}"
    if v >= 1:
        return f"{v:.2f}"
    return f"{v:.3f}"


class Table:
    def __init__(self, peers):
        self.peers = peers
        head = f"{'measure':<44}{'qelto':>14}" + "".join(f"{p:>14}" for p in peers)
        print(head + f"{'ratio':>10}  aim")
        print("-" * (len(head) + 22))

    def row(self, label, values, unit, aim="", higher_is_better=False):
        """One row: values by tool; ratio = best peer over qelto (for
        figures where lower is better) or qelto over best peer."""
        cells = []
        for tool in ["qelto"] + self.peers:
            v = values.get(tool)
            cells.append(f"{number(v) + ' ' + unit if v is not None else '-':>14}")
        ratio = ""
        ours = values.get("qelto")
        theirs = [values[p] for p in self.peers if values.get(p) is not None]
        if ours and theirs:
            if higher_is_better:
                ratio = f"{ours / max(theirs):.2f}x"
            else:
                ratio = f"{min(theirs) / ours:.2f}x"
        print(f"{label:<44}" + "".join(cells) + f"{ratio:>10}  {aim}", flush=True)


def main(argv):
    quick = "--quick" in argv
    with_peers = "--no-peers" not in argv
    repeats = 3 if quick else 5
    peers = []
    if with_peers and qiskit is not None:
        peers.append("Qiskit")
    if with_peers and QuantumComputation is not None:
        peers.append("MQT")
    versions = [f"qelto {qelto.__version__}"]
    if "Qiskit" in peers:
        versions.append(f"Qiskit {qiskit.__version__}")
    if "MQT" in peers:
        import mqt.core
        versions.append(f"MQT Core {mqt.core.__version__}")
    print(f"Python {sys.version.split()[0]}; " + ", ".join(versions))
    print("CPU time, best of runs; ratio = best peer's figure / qelto's "
          "(higher is better for qelto)\n")
    table = Table(peers)
    warnings.simplefilter("ignore")

    text = program()
    size = len(text.encode())
    read_times, circuits = {}, {}
    for tool, read in readers():
        if tool != "qelto" and tool not in peers:
            continue
        read_times[tool], circuits[tool] = best_cpu(lambda: read(text), repeats)
    table.row(f"from_qasm, {READ_GATES:,} gates on {READ_QUBITS} qubits",
              {t: v * 1e3 for t, v in read_times.items()}, "ms", "qelto >= 60x")
    table.row("  (reading speed)", {t: size / v / 1e6 for t, v in read_times.items()},
              "MB/s", ">= 150 MB/s", higher_is_better=True)

    write_times = {}
    for tool, circuit in circuits.items():
        write = writer_of(tool)
        write_times[tool], _ = best_cpu(lambda: write(circuit), repeats)
    table.row(f"to_qasm, {READ_GATES:,} gates", {t: v * 1e3 for t, v in write_times.items()},
              "ms", ">= 12x")

    build_times = {}
    for tool, build in builders():
        if tool != "qelto" and tool not in peers:
            continue
        build_times[tool], _ = best_cpu(lambda: build(BUILD_GATES), repeats)
    floor, _ = best_cpu(lambda: build_floor(BUILD_GATES), repeats)
    table.row("build from Python, h/x/cx/rz mix",
              {t: v / BUILD_GATES * 1e9 for t, v in build_times.items()}, "ns",
              "<= 100 ns/gate, >= 4x")
    table.row("  (loop floor: an empty C method)", {"qelto": floor / BUILD_GATES * 1e9},
              "ns")

    for gate, label, aim in (("h", f"memory per 1-qubit op ({MEMORY_OPS:,} h)", "<= 48 B"),
                             ("rz", "memory per rz(angle) op", "<= 64 B")):
        values = {t: memory_in_child(t, gate) for t in ["qelto"] + peers}
        table.row(label, values, "B", aim)

    first, after = qelto_distances(repeats)
    values_first, values_after = {"qelto": first * 1e3}, {"qelto": after * 1e3}
    if "Qiskit" in peers:
        q_first, q_after = qiskit_distances(repeats, with_first=not quick)
        values_after["Qiskit"] = q_after * 1e3
        if q_first is not None:
            values_first["Qiskit"] = q_first * 1e3
    table.row(f"distance, {QUERIES:,} random queries after the first",
              values_after, "ms", ">= 1x")
    table.row(f"  (first query, {LINE:,}-qubit line)", values_first, "ms", ">= 500x")

    linear_times = {}
    linear_times["qelto"], _ = best_cpu(lambda: qelto.CouplingMap.linear(LINE), repeats)
    if "Qiskit" in peers:
        linear_times["Qiskit"], _ = best_cpu(lambda: QiskitCouplingMap.from_line(LINE), repeats)
    table.row(f"CouplingMap.linear({LINE:_})", {t: v * 1e3 for t, v in linear_times.items()},
              "ms", ">= 2x")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--memory-probe":
        print(memory_probe(sys.argv[2], sys.argv[3]))
    else:
        main(sys.argv[1:])
