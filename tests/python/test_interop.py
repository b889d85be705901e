"""The portable text against the peers: the OpenQASM 3 reference parser and
Qiskit's importer read it, and the circuits they load act as qelto's do.

Needs the `interop` extra (pip install '.[interop]'); skipped without it.
"""

import random

import pytest

from gate_table import read_table
from qelto import Circuit, from_qasm, to_qasm

openqasm3 = pytest.importorskip("openqasm3")
pytest.importorskip("openqasm3.parser")
pytest.importorskip("qiskit_qasm3_import")
qiskit = pytest.importorskip("qiskit")
qasm3 = pytest.importorskip("qiskit.qasm3")
from qiskit.circuit import QuantumCircuit, library as lib  # noqa: E402
from qiskit.quantum_info import Operator  # noqa: E402

numpy = pytest.importorskip("numpy")

GATES, _ = read_table()

# Each catalogue gate as the Qiskit gate of the same meaning, parameters in
# catalogue order, qubits in catalogue operand order.
QISKIT = {
    "id": lib.IGate, "x": lib.XGate, "y": lib.YGate, "z": lib.ZGate,
    "h": lib.HGate, "s": lib.SGate, "sdg": lib.SdgGate, "t": lib.TGate,
    "tdg": lib.TdgGate, "sx": lib.SXGate, "sxdg": lib.SXdgGate,
    "rx": lib.RXGate, "ry": lib.RYGate, "rz": lib.RZGate, "p": lib.PhaseGate,
    "u": lib.UGate, "cx": lib.CXGate, "cy": lib.CYGate, "cz": lib.CZGate,
    "ch": lib.CHGate, "swap": lib.SwapGate, "iswap": lib.iSwapGate,
    "crx": lib.CRXGate, "cry": lib.CRYGate, "crz": lib.CRZGate,
    "cp": lib.CPhaseGate, "rxx": lib.RXXGate, "ryy": lib.RYYGate,
    "rzz": lib.RZZGate, "ccx": lib.CCXGate, "cswap": lib.CSwapGate,
    "prx": lib.RGate, "cu": lib.CUGate, "csx": lib.CSXGate,
    "rccx": lib.RCCXGate, "rc3x": lib.RC3XGate, "c3sqrtx": lib.C3SXGate,
    "c3x": lib.C3XGate, "c4x": lib.C4XGate, "cs": lib.CSGate,
    "csdg": lib.CSdgGate, "ccz": lib.CCZGate, "rzx": lib.RZXGate,
    "ecr": lib.ECRGate, "dcx": lib.DCXGate,
}

def same_up_to_phase(a, b, atol=1e-9):
    """Whether the circuits' unitaries agree up to global phase, entry by entry
    within `atol`. Like Operator.equiv(rtol=0, atol=1e-9), but the phase comes
    from the largest entry: equiv takes it from the first entry above atol,
    and a tiny entry (an angle of 1e-7 gives entries near 3e-8) fixes the
    phase only to about 1e-15 / 3e-8, so equal unitaries would fail."""
    a, b = Operator(a).data, Operator(b).data
    if a.shape != b.shape:
        return False
    index = numpy.unravel_index(numpy.argmax(abs(b)), b.shape)
    phase = a[index] / b[index]
    return abs(abs(phase) - 1) <= atol and numpy.allclose(a, phase * b, rtol=0, atol=atol)


def test_every_catalogue_gate_has_a_qiskit_counterpart():
    assert sorted(QISKIT) == sorted(g["name"] for g in GATES)


def random_angle(rng):
    return rng.choice([
        rng.uniform(-7, 7), rng.uniform(-1e-6, 1e-6), 1 / 3, 1e-7, 0.5, -0.0,
        3.141592653589793, 1.5707963267948966, -0.7853981633974483,
    ])


def random_pair(rng, num_qubits, num_ops, gates_only):
    """The same random circuit built in qelto and in Qiskit."""
    ours = Circuit("r", num_qubits, num_qubits)
    theirs = QuantumCircuit(num_qubits, num_qubits)
    kinds = GATES + ([] if gates_only else ["measure", "reset", "delay", "barrier"])
    for _ in range(num_ops):
        kind = rng.choice([k for k in kinds if isinstance(k, str) or len(k["qubits"]) <= num_qubits])
        q = rng.randrange(num_qubits)
        if kind == "measure":
            c = rng.randrange(num_qubits)
            ours.measure(q, c)
            theirs.measure(q, c)
        elif kind == "reset":
            ours.reset(q)
            theirs.reset(q)
        elif kind == "delay":
            ours.delay(q, rng.randrange(10**6))
            theirs.delay(rng.randrange(10**6), q, unit="dt")
        elif kind == "barrier":
            ours.barrier_all()
            theirs.barrier(range(num_qubits))
        else:
            qubits = rng.sample(range(num_qubits), len(kind["qubits"]))
            angles = [random_angle(rng) for _ in kind["params"]]
            getattr(ours, kind["name"])(*angles, *qubits)
            theirs.append(QISKIT[kind["name"]](*angles), qubits)
    return ours, theirs


@pytest.mark.parametrize("seed", range(300))
def test_portable_text_is_accepted_by_the_reference_parser_and_qiskit(seed):
    rng = random.Random(seed)
    ours, theirs = random_pair(rng, rng.randint(5, 7), rng.randint(1, 20), gates_only=False)
    text = to_qasm(ours, portable=True)
    openqasm3.parse(text)
    loaded = qasm3.loads(text)
    assert loaded.num_qubits == theirs.num_qubits
    assert len(loaded.data) == len(theirs.data)


@pytest.mark.parametrize("seed", range(150))
def test_qiskit_loads_the_unitary_built_gate_by_gate(seed):
    rng = random.Random(10_000 + seed)
    ours, theirs = random_pair(rng, rng.randint(5, 6), rng.randint(1, 25), gates_only=True)
    loaded = qasm3.loads(to_qasm(ours, portable=True))
    assert same_up_to_phase(loaded, theirs)


@pytest.mark.parametrize("gate", GATES, ids=lambda g: g["name"])
def test_each_gate_alone_loads_as_its_qiskit_counterpart(gate):
    rng = random.Random(gate["name"])
    n = len(gate["qubits"])
    angles = [rng.uniform(-7, 7) for _ in gate["params"]]
    ours = getattr(Circuit("g", n), gate["name"])(*angles, *range(n))
    theirs = QuantumCircuit(n)
    theirs.append(QISKIT[gate["name"]](*angles), range(n))
    loaded = qasm3.loads(to_qasm(ours, portable=True))
    assert same_up_to_phase(loaded, theirs)


@pytest.mark.parametrize("seed", range(60))
def test_text_qiskit_writes_reads_and_goes_back_with_the_same_unitary(seed):
    rng = random.Random(20_000 + seed)
    _, theirs = random_pair(rng, rng.randint(2, 5), rng.randint(1, 20), gates_only=True)
    written = qasm3.dumps(theirs)
    text = to_qasm(from_qasm(written), portable=True)
    assert same_up_to_phase(qasm3.loads(text), qasm3.loads(written))


def test_the_comparison_tells_a_tiny_angle_from_none():
    small, none = QuantumCircuit(1), QuantumCircuit(1)
    small.rz(1e-7, 0)
    none.rz(0.0, 0)
    assert same_up_to_phase(small, small.copy())
    assert not same_up_to_phase(small, none)
