"""to_qasm of a 1,000,000-operation circuit: seconds and MB/s."""

import time

import qelto

N = 1_000_000
QUBITS = 100


def build():
    c = qelto.Circuit("bench", QUBITS, QUBITS)
    for i in range(N // 4):
        q = i % QUBITS
        c.h(q).cx(q, (q + 1) % QUBITS).rz(0.25, q).measure(q, q)
    return c


def timed(c, **options):
    best = float("inf")
    for _ in range(3):
        start = time.perf_counter()
        text = qelto.to_qasm(c, **options)
        best = min(best, time.perf_counter() - start)
    return best, len(text.encode())


def main():
    c = build()
    best, size = timed(c)
    print(f"to_qasm of {N:,} operations: {best:.3f} s, {size / 1e6:.1f} MB, "
          f"{size / best / 1e6:.1f} MB/s (aim: < 0.5 s)")
    try:
        best, size = timed(c, portable=True)
    except TypeError:  # a build without the option
        return
    print(f"to_qasm(portable=True): {best:.3f} s, {size / 1e6:.1f} MB, "
          f"{size / best / 1e6:.1f} MB/s")


if __name__ == "__main__":
    main()
