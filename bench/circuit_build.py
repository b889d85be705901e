"""Builds a 1,000,000-operation circuit through the Python API and prints
call rates against an empty C-method floor, depth() time and memory."""

import resource
import time

import qelto

N = 1_000_000
QUBITS = 100


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * resource.getpagesize()


def rate(label, fn, count):
    start = time.perf_counter()
    fn(count)
    elapsed = time.perf_counter() - start
    per_call = elapsed / count * 1e9
    print(f"{label:<34} {count / elapsed / 1e6:7.2f} M calls/s  {per_call:6.1f} ns/call")
    return per_call


def build_mixed(count):
    c = qelto.Circuit("bench", QUBITS, QUBITS)
    h, cx, rz, measure = c.h, c.cx, c.rz, c.measure
    for i in range(count // 4):
        q = i % QUBITS
        h(q)
        cx(q, (q + 1) % QUBITS)
        rz(0.25, q)
        measure(q, q)
    return c


def main():
    floor_one = {}.get
    floor_two = {}.get

    def empty_one(count):
        for i in range(count):
            floor_one(0)

    def empty_two(count):
        for i in range(count):
            floor_two(0, 1)

    def fluent_h(count):
        c = qelto.Circuit("h", QUBITS)
        h = c.h
        for i in range(count):
            h(0)

    def fluent_cx(count):
        c = qelto.Circuit("cx", QUBITS)
        cx = c.cx
        for i in range(count):
            cx(0, 1)

    def fluent_rz(count):
        c = qelto.Circuit("rz", QUBITS)
        rz = c.rz
        for i in range(count):
            rz(0.25, 0)

    print(f"qelto circuit build benchmark, {N:,} operations")
    # Memory first, while the heap holds no freed circuits to reuse.
    c = qelto.Circuit("single", 1)
    before = rss_bytes()
    for _ in range(N):
        c.h(0)
    print(f"memory per single-qubit operation  {(rss_bytes() - before) / N:7.1f} bytes (aim: < 150)")
    del c

    one = rate("floor: empty C method, 1 arg", empty_one, N)
    two = rate("floor: empty C method, 2 args", empty_two, N)
    h = rate("c.h(q)", fluent_h, N)
    cx = rate("c.cx(a, b)", fluent_cx, N)
    rz = rate("c.rz(theta, q)", fluent_rz, N)
    print(f"ratio to floor: h {h / one:.2f}x, cx {cx / two:.2f}x, rz {rz / two:.2f}x (aim: <= 2x)")

    start = time.perf_counter()
    c = build_mixed(N)
    elapsed = time.perf_counter() - start
    print(f"mixed build (h, cx, rz, measure)   {N / elapsed / 1e6:7.2f} M ops/s  ({elapsed:.3f} s)")

    start = time.perf_counter()
    depth = c.depth()
    print(f"depth() = {depth}                 {time.perf_counter() - start:7.3f} s (aim: < 0.5 s)")


if __name__ == "__main__":
    main()
