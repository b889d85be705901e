"""Rates of the compilation-target queries through the Python API: distance
between opposite corners of a 100 x 100 grid built with add_edge,
is_connected and Layout.swap, against an empty C-method floor."""

import time

import qelto

# 100 x 100 makes a corner-to-corner search cover all 10,000 qubits and
# 19,800 edges, the size of a large present-day device and then some.
SIDE = 100


def grid(side):
    coupling = qelto.CouplingMap(side * side)
    add_edge = coupling.add_edge
    for row in range(side):
        for col in range(side):
            q = row * side + col
            if col + 1 < side:
                add_edge(q, q + 1)
            if row + 1 < side:
                add_edge(q, q + side)
    return coupling


def rate(label, fn, count):
    start = time.perf_counter()
    fn(count)
    elapsed = time.perf_counter() - start
    per_call = elapsed / count * 1e9
    print(f"{label:<38} {count / elapsed:12,.0f} calls/s  {per_call:12,.1f} ns/call")
    return per_call


def main():
    start = time.perf_counter()
    coupling = grid(SIDE)
    built = time.perf_counter() - start
    edges = len(coupling.edges())
    print(f"qelto target benchmark, {SIDE}x{SIDE} grid: {edges:,} edges")
    print(f"{'build grid with add_edge':<38} {edges / built:12,.0f} calls/s  {built * 1e3:12,.1f} ms total")

    corner = SIDE * SIDE - 1
    assert coupling.distance(0, corner) == 2 * (SIDE - 1)
    floor_two = {}.get

    # The floor computes the same arguments as the is_connected loop, so the
    # ratios below charge qelto only for the calls themselves.
    def empty_two(count):
        for i in range(count):
            floor_two(i % corner, (i + 1) % corner)

    def distance(count):
        d = coupling.distance
        for _ in range(count):
            d(0, corner)

    def connected(count):
        c = coupling.is_connected
        for i in range(count):
            c(i % corner, (i + 1) % corner)

    layout = qelto.Layout.trivial(SIDE * SIDE)

    def swap(count):
        s = layout.swap
        for i in range(count):
            s(i % corner, (i * 7 + 1) % corner)

    floor = rate("floor: empty C method, same 2 args", empty_two, 1_000_000)
    d = rate("distance(corner, corner)", distance, 200)
    c = rate("is_connected(q, q + 1)", connected, 1_000_000)
    s = rate("Layout.swap(p1, p2), 10,000 qubits", swap, 1_000_000)
    print(f"distance: {d / 1e3:.1f} us per corner-to-corner search")
    print(f"ratio to floor: is_connected {c / floor:.2f}x, swap {s / floor:.2f}x")
    line_queries()


def line_queries(n=10_000, queries=1_000):
    """The first distance query on an n-qubit line, then `queries` random
    ones (same pseudo-random pairs every run), and the line's construction;
    CPU time, best of five."""

    def best(fn):
        times = []
        for _ in range(5):
            start = time.process_time()
            fn()
            times.append(time.process_time() - start)
        return min(times)

    build = best(lambda: qelto.CouplingMap.linear(n))
    print(f"CouplingMap.linear({n:,})                {build * 1e3:10.3f} ms")
    # Random pairs, then random targets from ten sources.
    for label, pairs in (
            ("random pairs", [((i * 7919) % n, (i * 104729 + 1) % n) for i in range(queries)]),
            ("10 sources", [((i % 10) * 997, (i * 104729 + 1) % n) for i in range(queries)])):
        first = []
        rest = []
        for _ in range(5):
            line = qelto.CouplingMap.linear(n)
            start = time.process_time()
            line.distance(0, n - 1)
            first.append(time.process_time() - start)
            d = line.distance
            start = time.process_time()
            for a, b in pairs:
                d(a, b)
            rest.append(time.process_time() - start)
        print(f"{n:,}-qubit line: first distance {min(first) * 1e3:8.3f} ms, then "
              f"{queries:,} queries ({label}) {min(rest) * 1e3:8.3f} ms")


if __name__ == "__main__":
    main()
