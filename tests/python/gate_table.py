"""Reads the gate catalogue table (src/ir/gates.def) for the tests.

The table is C preprocessor text; its rows are regular enough to read here, so
the tests check the very texts the library is built from.
"""

import re
from pathlib import Path

TABLE = Path(__file__).resolve().parents[2] / "src" / "ir" / "gates.def"


def _arguments(text, open_paren):
    """The top-level arguments of the call whose '(' is at `open_paren`."""
    args, current, depth, i = [], [], 0, open_paren + 1
    while True:
        ch = text[i]
        if ch == '"':
            end = i + 1
            while text[end] != '"':
                end += 2 if text[end] == "\\" else 1
            literal = text[i + 1 : end].encode().decode("unicode_escape")
            current.append(("literal", literal))
            i = end + 1
            continue
        if ch == "(":
            depth += 1
        elif ch == ")":
            if depth == 0:
                args.append(current)
                return args
            depth -= 1
        elif ch == "," and depth == 0:
            args.append(current)
            current = []
            i += 1
            continue
        current.append(("code", ch))
        i += 1


def _value(parts):
    """Adjacent string literals join; anything else is its code text."""
    if any(kind == "literal" for kind, _ in parts):
        return "".join(v for kind, v in parts if kind == "literal")
    return "".join(v for _, v in parts).strip()


def _names(group):
    return [name.strip() for name in group.strip("()").split(",") if name.strip()]


def read_table():
    """(gates, aliases): one dict per QELTO_GATE / QELTO_ALIAS row, in order."""
    if not TABLE.is_file():
        raise FileNotFoundError(f"the gate table is missing: {TABLE}")
    text = TABLE.read_text(encoding="utf-8")
    text = text[text.index("// clang-format off") :]
    text = re.sub(r"//[^\n]*", "", text)
    gates, aliases = [], []
    for match in re.finditer(r"QELTO_(GATE|ALIAS)\(", text):
        values = [_value(a) for a in _arguments(text, match.end() - 1)]
        if match.group(1) == "GATE":
            enum, name, params, qubits, std, definition, inverse, doc = values
            gates.append(
                dict(
                    enum=enum,
                    name=name,
                    params=_names(params),
                    qubits=_names(qubits),
                    in_stdgates=std == "true",
                    definition=definition,
                    inverse=inverse,
                    doc=doc,
                )
            )
        else:
            name, target, num_params, params = values
            aliases.append(
                dict(name=name, target=target, num_params=int(num_params), params=params)
            )
    return gates, aliases


_STATEMENT = re.compile(r"^(\w+)(?:\((.*)\))?\s+(.*)$")


def statements(body):
    """[(gate name, [argument texts], [operand names])] of a body text."""
    out = []
    for statement in body.split(";"):
        statement = statement.strip()
        if not statement:
            continue
        match = _STATEMENT.match(statement)
        assert match, statement
        name, args, operands = match.groups()
        args = [a.strip() for a in args.split(",")] if args is not None else []
        out.append((name, args, [o.strip() for o in operands.split(",")]))
    return out
