"""from_qasm on shapes that make a careless reader quadratic, each at three
sizes doubling in between. Prints one row per shape and size: the text
size, the operands placed, the best CPU time of a few runs (the process's,
so a busy machine does not skew it) and the growth of the time from the
previous size (near 2.0 means linear; 4.0 quadratic). Texts the reader
refuses still count: the time to the refusal is measured.

Usage: python bench/adversarial.py [scale]   (scale multiplies every size)
"""

import sys
import time

import qelto

HEADER = 'OPENQASM 3.0;\ninclude "stdgates.inc";\n'


def wide_barriers(n):
    # Two barriers across n qubits: each one meets every wire's last
    # operation.
    return HEADER + f"qubit[{n}] q;\nbarrier q;\nbarrier q;\n", 2 * n


def barrier_then_gate(n):
    return HEADER + f"qubit[{n}] q;\nbarrier q;\nh q;\n", 2 * n


def alternating(rounds, width=2000):
    # A wide barrier, then one narrow gate, again and again.
    lines = [HEADER, f"qubit[{width}] q;\n"]
    for i in range(rounds):
        lines.append(f"barrier q;\nh q[{i % width}];\n")
    return "".join(lines), rounds * (width + 1)


def broadcasts(n):
    return (HEADER + f"qubit[{n}] q;\nbit[{n}] c;\nh q;\nx q;\nc = measure q;\n",
            3 * n)


def long_chain(n):
    return HEADER + "qubit[1] q;\n" + "x q[0];\n" * n, n


def deep_nesting(statements, depth=200):
    # Parenthesised angles as deep as the reader allows, many times.
    angle = "(" * depth + "0.5" + ")" * depth
    return HEADER + "qubit[1] q;\n" + f"rz({angle}) q[0];\n" * statements, statements


def wide_definition(n):
    # A gate of n qubits and n parameters, each used once in its body,
    # called twice: every name in the body is looked up at each call.
    qubits = ", ".join(f"a{i}" for i in range(n))
    params = ", ".join(f"t{i}" for i in range(n))
    body = " ".join(f"rz(t{i}) a{i};" for i in range(n))
    call = (f"g({', '.join(['0.5'] * n)}) "
            + ", ".join(f"q[{i}]" for i in range(n)) + ";\n")
    return (HEADER + f"qubit[{n}] q;\ngate g({params}) {qubits} {{ {body} }}\n"
            + call * 2, 2 * n)


def huge_line_comment(n):
    return HEADER + "qubit[1] q;\n// " + "x" * n + "\nh q[0];\n", 1


def huge_block_comment(n):
    return HEADER + "qubit[1] q;\n/* " + "*x/" * (n // 3) + " */\nh q[0];\n", 1


def huge_string(n):
    return 'OPENQASM 3.0;\ninclude "' + "a" * n + '";\n', 0


SHAPES = [
    ("wide barriers in a row (qubits)", wide_barriers, 10_000),
    ("wide barrier then broadcast h", barrier_then_gate, 10_000),
    ("alternating wide/narrow (rounds)", alternating, 250),
    ("broadcasts h, x, measure (qubits)", broadcasts, 100_000),
    ("long chain on one wire (ops)", long_chain, 100_000),
    ("deep nesting, depth 200 (stmts)", deep_nesting, 2_000),
    ("wide definition, called twice (width)", wide_definition, 5_000),
    ("huge line comment (bytes)", huge_line_comment, 4_000_000),
    ("huge block comment (bytes)", huge_block_comment, 4_000_000),
    ("huge string (bytes)", huge_string, 4_000_000),
]


def best_time(text, repeats):
    best = float("inf")
    for _ in range(repeats):
        start = time.process_time()
        try:
            qelto.from_qasm(text)
        except Exception:  # a refusal is timed like a success
            pass
        best = min(best, time.process_time() - start)
    return best


def main():
    scale = float(sys.argv[1]) if len(sys.argv) > 1 else 1.0
    print(f"{'shape':<36} {'size':>10} {'bytes':>11} {'operands':>10} "
          f"{'best s':>9} {'x prev':>7}")
    for name, make, base in SHAPES:
        previous = None
        for factor in (1, 2, 4):
            size = max(1, int(base * scale * factor))
            text, operands = make(size)
            seconds = best_time(text, 3)
            growth = f"{seconds / previous:7.2f}" if previous else "      -"
            print(f"{name:<36} {size:>10,} {len(text):>11,} {operands:>10,} "
                  f"{seconds:9.4f} {growth}")
            previous = seconds
    return 0


if __name__ == "__main__":
    sys.exit(main())
