"""Grammar-aware inputs for the Python fuzzer: valid programs, mutated a little.

An extension built without coverage instrumentation gives the fuzzer no
feedback from the reader, so random bytes rarely get past the header. Every
choice here is drawn from the fuzzer's data instead, so that its mutations
of the bytes become changes of the program: another gate, another register,
another angle, or one of a few small corruptions of the text.
"""

GATES = [
    # (names, parameters, qubits); qubits None means a broadcast over any.
    (("h", "x", "y", "z", "s", "t", "sdg", "tdg", "sx", "id", "i", "H"), 0, None),
    (("rx", "ry", "rz", "p", "phase", "Rx"), 1, None),
    (("u", "u3"), 3, None),
    (("prx",), 2, None),
    (("cx", "cnot", "cy", "cz", "swap", "iswap", "CNOT"), 0, 2),
    (("cp", "cphase", "crz"), 1, 2),
    (("ccx", "toffoli", "cswap", "fredkin"), 0, 3),
    # Counts that fit few of these: mostly count errors, now and then a gate.
    (
        ("sxdg", "ch", "crx", "rzz", "cu", "csx", "rccx", "ccz", "rzx", "ecr", "dcx", "c3x"),
        1,
        2,
    ),
    (("U", "CX", "foo"), 1, 2),
]
NUMBERS = [
    "0", "1", "2", "0.5", "1e-7", "3.", "2.5E+1", "1e308", "1e309", "0.0078125",
    "1.5707963267", "4294967296", "18446744073709551615", "007",
]
SYMBOLS = ["theta", "phi", "a", "b", "inf", "NaN", "e", "_x1"]
FUNCTIONS = ["sin", "cos", "tan", "exp", "ln", "sqrt", "foo"]
BINARY = ["+", "-", "*", "/", "**", "%", "==", "&&", "<"]
REGISTER_NAMES = ["q", "r", "anc", "c", "flag"]
CORRUPTIONS = [
    "", ";", "(", ")", "[", "]", ",", "/*", "*/", "//", '"', "#", "\u00e9", "\r", "\t",
    "@", "ctrl @ ", "-", "measure", "->", "=", "{", "}", "if (c) ", "0", "99999",
]


class Choices:
    """Draws decisions from an atheris.FuzzedDataProvider."""

    def __init__(self, provider):
        self._provider = provider

    def below(self, n):
        return self._provider.ConsumeIntInRange(0, n - 1)

    def pick(self, items):
        return items[self.below(len(items))]

    def chance(self, one_in):
        return self.below(one_in) == 0


def expression(choices, depth=0):
    if depth == 0 and choices.chance(40):
        # Deep nesting, which the reader parses without recursion.
        levels = choices.below(600)
        return "-" * levels + "(" * levels + expression(choices, 4) + ")" * levels
    kind = choices.below(8 if depth < 4 else 3)
    if kind == 0:
        return choices.pick(NUMBERS)
    if kind == 1:
        return choices.pick(["pi", "tau", "euler", "pi/2", "-pi/4"])
    if kind == 2:
        return choices.pick(SYMBOLS)
    if kind == 3:
        return "-" + expression(choices, depth + 1)
    if kind == 4:
        return "(" + expression(choices, depth + 1) + ")"
    if kind == 5:
        return "%s(%s)" % (choices.pick(FUNCTIONS), expression(choices, depth + 1))
    operator = choices.pick(BINARY[:4] if choices.below(6) else BINARY)
    return "%s %s %s" % (
        expression(choices, depth + 1),
        operator,
        expression(choices, depth + 1),
    )


def operand(choices, registers):
    name, size = choices.pick(registers) if registers else ("q", 1)
    if choices.chance(3):
        return name
    index = choices.below(size + 1) if choices.below(8) else choices.pick([4294967296, 7])
    return "%s[%d]" % (name, index)


def operands(choices, registers, count):
    return ", ".join(operand(choices, registers) for _ in range(count))


def gate_call(choices, qubits):
    names, parameters, width = choices.pick(GATES)
    name = choices.pick(names)
    if choices.chance(10):
        parameters = choices.below(4)
    text = name
    if parameters:
        text += "(%s)" % ", ".join(expression(choices) for _ in range(parameters))
    count = width if width is not None else 1 + choices.below(2)
    if choices.chance(10):
        count = choices.below(4)
    return "%s %s;" % (text, operands(choices, qubits, count))


# Angles a definition's body gives, in terms of its parameter `t`.
BODY_ANGLES = ["t", "t * 2", "-t", "t + t", "sin(t)", "(t - pi) / 2"]


def definition(choices, defined):
    """A definition of two qubits and one parameter, whose body may call the
    definitions before it, so that calls expand through several levels."""
    name = "d%d" % len(defined)
    body = []
    for _ in range(1 + choices.below(4)):
        kind = choices.below(4)
        if kind == 0:
            body.append("rx(%s) x;" % choices.pick(BODY_ANGLES))
        elif kind == 1 and defined:
            body.append("%s(%s) %s;" % (choices.pick(defined), choices.pick(BODY_ANGLES), choices.pick(["x, y", "y, x"])))
        else:
            body.append(choices.pick(["cx x, y;", "h y;", "id x;", "barrier;", "barrier x;", "u(t, 0, t) x;"]))
    defined.append(name)
    return "gate %s(t) x, y { %s }" % (name, " ".join(body))


def statement(choices, qubits, bits, defined):
    kind = choices.below(14)
    if kind == 12:
        return definition(choices, defined)
    if kind == 13 and defined:
        return "%s(%s) %s;" % (choices.pick(defined), expression(choices), operands(choices, qubits, 2))
    if kind >= 12 or kind < 6:
        return gate_call(choices, qubits)
    if kind == 6:
        target = operand(choices, bits)
        return choices.pick(
            [
                "%s = measure %s;" % (target, operand(choices, qubits)),
                "measure %s -> %s;" % (operand(choices, qubits), target),
                "measure %s;" % operand(choices, qubits),
            ]
        )
    if kind == 7:
        return "reset %s;" % operands(choices, qubits, 1 + choices.below(2))
    if kind == 8:
        return "barrier %s;" % operands(choices, qubits, choices.below(3))
    if kind == 9:
        return "%s = %s;" % (operand(choices, bits), expression(choices))
    if kind == 10:
        return declaration(choices, qubits, bits)
    return choices.pick(
        [
            "if (c == 1) %s" % gate_call(choices, qubits),
            "for i in [0:2] { %s }" % gate_call(choices, qubits),
            "gate g(a) x, y { rx(a) x; cx x, y; }",
            'include "stdgates.inc";',
            "delay[100] q;",
            "qreg r[2];",
        ]
    )


def declaration(choices, qubits, bits):
    quantum = choices.below(3) != 0
    registers = qubits if quantum else bits
    name = choices.pick(REGISTER_NAMES)
    size = choices.below(5) if choices.below(6) else None
    registers.append((name, 1 if size is None else size))
    keyword = "qubit" if quantum else "bit"
    if size is None:
        return "%s %s;" % (keyword, name)
    return "%s[%d] %s;" % (keyword, size, name)


def corrupt(choices, text):
    """One small corruption: a character span removed, repeated or replaced."""
    if not text:
        return text
    start = choices.below(len(text))
    end = min(len(text), start + choices.below(12))
    kind = choices.below(3)
    if kind == 0:
        return text[:start] + text[end:]
    if kind == 1:
        return text[:end] + text[start:end] + text[end:]
    return text[:start] + choices.pick(CORRUPTIONS) + text[end:]


def program(choices):
    """A program: a header, some declarations and statements, and now and
    then a few corruptions."""
    qubits, bits, defined = [], [], []
    lines = [choices.pick(["OPENQASM 3.0;", "OPENQASM 3;", "OPENQASM 2.0;", "OPENQASM 3.0;"])]
    for _ in range(choices.below(4)):
        lines.append(declaration(choices, qubits, bits))
    for _ in range(choices.below(12)):
        lines.append(statement(choices, qubits, bits, defined))
    if choices.chance(5):
        lines.insert(choices.below(len(lines) + 1), "// comment /* not a block")
    text = choices.pick(["\n", " ", ""]).join(lines)
    for _ in range(choices.below(3) if choices.chance(3) else 0):
        text = corrupt(choices, text)
    return text
