"""The round-trip property of the OpenQASM reader and writer.

Whatever `from_qasm` reads is written with `to_qasm`, and that text must read
back into an equal circuit: the same qubits, bits and depth, and on every
wire the same operations with the same parameters. The circuit's structure is
seen through the written text, one line per operation.

The writer keeps six decimals of a constant angle where they are exact, its
shortest exact text ("1e-07") elsewhere, and writes a few constants as
`pi/2` and the like, which read back as expressions, so the first round trip
compares parameter values within ANGLE_TOLERANCE; from the second round trip
on, the text is a fixed point and every line must match exactly.
"""

import math
import re
import zlib

import qelto

# What one input may make the reader build: enough for every shape an input
# of a few kilobytes takes, little enough that no input stalls a run. The
# identity is kept, so that it takes the round trip too. What the writer
# writes is read back with the default limits, which bound it as well: it
# holds no more than the first reading built.
INPUT_OPTIONS = {"max_qubits": 256, "max_clbits": 256, "max_operations": 1 << 16, "keep_identity": True}
REREAD_OPTIONS = {"keep_identity": True}

# Largest difference allowed between the values of a parameter before and
# after the first round trip (relative for large values).
ANGLE_TOLERANCE = 1e-9

_OPERAND = re.compile(r"(?:(?<= )|^)([qc])\[(\d+)\]")
_GATE_WITH_PARAMETERS = re.compile(r"^([A-Za-z_][A-Za-z0-9_]*)\(")


def _split_parameters(line):
    """(line without its parameter list, parameter texts) of one gate line."""
    match = _GATE_WITH_PARAMETERS.match(line)
    if match is None:
        return line, ()
    depth = 0
    start = match.end()
    parameters = []
    for i in range(match.end() - 1, len(line)):
        if line[i] == "(":
            depth += 1
        elif line[i] == ")":
            depth -= 1
            if depth == 0:
                parameters.append(line[start:i].strip())
                return line[: match.end() - 1] + line[i + 1 :], tuple(parameters)
        elif line[i] == "," and depth == 1:
            parameters.append(line[start:i].strip())
            start = i + 1
    return line, ()


def wire_sequences(text):
    """Per wire ("q[3]", "c[0]", "" for none), the operations in order, each
    as (line without parameters, parameter texts)."""
    wires = {}
    for line in text.split("\n"):
        if not line or line.startswith(("OPENQASM ", "qubit[", "bit[")):
            continue
        entry = _split_parameters(line)
        operands = ["%s[%s]" % m.groups() for m in _OPERAND.finditer(line)] or [""]
        for wire in operands:
            wires.setdefault(wire, []).append(entry)
    return wires


def _symbol_value(name):
    # A fixed value per name, so that both sides see the same one.
    return 0.25 + (zlib.crc32(name.encode()) % 1000) / 1000


_BINARY = {
    "+": lambda a, b: a + b,
    "-": lambda a, b: a - b,
    "*": lambda a, b: a * b,
    "/": lambda a, b: a / b if b else (math.copysign(math.inf, a) if a else math.nan),
}
_ATOMS = {"pi": math.pi, "pi/2": math.pi / 2, "pi/4": math.pi / 4}
_PARAMETER_TOKEN = re.compile(
    r"\s*(?:(?P<atom>-?pi/[24]|-?pi\b|-?[0-9]+(?:\.[0-9]+)?(?:e[-+]?[0-9]+)?|-?inf\b|NaN\b"
    r"|[A-Za-z_][A-Za-z0-9_]*)"
    r"|(?P<open>-?\()|(?P<close>\))|(?P<op>[-+*/])(?= ))"
)


def _atom_value(atom):
    sign = -1.0 if atom.startswith("-") else 1.0
    body = atom.lstrip("-")
    if body in _ATOMS:
        return sign * _ATOMS[body]
    if body[0].isdigit() or body == "inf":
        return sign * float(body)
    return _symbol_value(atom)


def _reduce(items, text):
    if len(items) == 1 and isinstance(items[0], float):
        return items[0]
    if len(items) == 3 and items[1] in _BINARY:
        try:
            return _BINARY[items[1]](items[0], items[2])
        except OverflowError:
            return math.nan
    raise AssertionError("the writer wrote an unexpected parameter: %r" % text)


def parameter_value(text):
    """The value of one written parameter, symbols given fixed values.

    The writer parenthesises every compound expression, so one stack of open
    groups is enough; no recursion, whatever the nesting.
    """
    groups = [[None]]
    position = 0
    while position < len(text):
        match = _PARAMETER_TOKEN.match(text, position)
        if match is None or match.end() == position:
            raise AssertionError("the writer wrote an unexpected parameter: %r" % text)
        position = match.end()
        if match.group("atom"):
            groups[-1].append(_atom_value(match.group("atom")))
        elif match.group("open"):
            groups.append([match.group("open")])
        elif match.group("op"):
            groups[-1].append(match.group("op"))
        elif len(groups) > 1:
            group = groups.pop()
            value = _reduce(group[1:], text)
            groups[-1].append(-value if group[0] == "-(" else value)
        else:
            raise AssertionError("the writer wrote an unexpected parameter: %r" % text)
    if len(groups) != 1:
        raise AssertionError("the writer wrote an unexpected parameter: %r" % text)
    return _reduce(groups[0][1:], text)


def _close(a, b):
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return math.isclose(a, b, rel_tol=ANGLE_TOLERANCE, abs_tol=ANGLE_TOLERANCE)


def _same_operations(first, second, exact):
    wires_first, wires_second = wire_sequences(first), wire_sequences(second)
    if exact:
        return wires_first == wires_second
    if wires_first.keys() != wires_second.keys():
        return False
    for wire, ops in wires_first.items():
        others = wires_second[wire]
        if len(ops) != len(others):
            return False
        for (line, params), (other_line, other_params) in zip(ops, others):
            if line != other_line or len(params) != len(other_params):
                return False
            for a, b in zip(params, other_params):
                if not _close(parameter_value(a), parameter_value(b)):
                    return False
    return True


def _read_back(circuit, text, exact):
    try:
        again = qelto.from_qasm(text, **REREAD_OPTIONS)
    except RuntimeError as error:
        raise AssertionError("written text does not read: %s\n%s" % (error, text)) from None
    rewritten = qelto.to_qasm(again)
    shape = (circuit.num_qubits, circuit.num_clbits, circuit.depth())
    shape_again = (again.num_qubits, again.num_clbits, again.depth())
    assert shape == shape_again, "qubits, bits or depth differ: %s != %s\n%s" % (
        shape,
        shape_again,
        text,
    )
    assert _same_operations(text, rewritten, exact), (
        "the operations on some wire differ\n--- first\n%s--- second\n%s"
        % (text, rewritten)
    )
    return again, rewritten


def check_round_trip(text):
    """Reads `text`; if it reads, checks the round trip. Returns whether it
    read."""
    try:
        circuit = qelto.from_qasm(text, **INPUT_OPTIONS)
    except RuntimeError as error:
        assert str(error).startswith("Parse Error: "), str(error)
        return False
    first = qelto.to_qasm(circuit)
    again, second = _read_back(circuit, first, exact=ANGLE_TOLERANCE == 0)
    _read_back(again, second, exact=True)
    return True
