// Rates of the compilation-target queries that routing passes lean on:
// shortest distances across a grid device, adjacency tests and layout swaps.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "compile/coupling_map.hpp"
#include "compile/layout.hpp"

namespace {

using qelto::compile::CouplingMap;
using qelto::compile::Layout;
using qelto::compile::PhysicalQubit;
using Clock = std::chrono::steady_clock;

// 100 x 100 keeps a corner-to-corner search at 10 000 qubits and 19 800
// edges, the size of a large present-day device and then some.
constexpr std::uint32_t kSide = 100;

CouplingMap grid(std::uint32_t side) {
  CouplingMap map(side * side);
  for (std::uint32_t row = 0; row < side; ++row) {
    for (std::uint32_t col = 0; col < side; ++col) {
      const std::uint32_t q = row * side + col;
      if (col + 1 < side) {
        map.add_edge(PhysicalQubit{q}, PhysicalQubit{q + 1});
      }
      if (row + 1 < side) {
        map.add_edge(PhysicalQubit{q}, PhysicalQubit{q + side});
      }
    }
  }
  return map;
}

// Runs `body` `count` times and prints the time per call and the call rate.
// The checksum keeps the optimiser from dropping the work.
template <class Body>
void report(const char* name, std::uint64_t count, Body body) {
  std::uint64_t checksum = 0;
  const auto start = Clock::now();
  for (std::uint64_t i = 0; i < count; ++i) {
    checksum += body(i);
  }
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  const double per_call = elapsed.count() / static_cast<double>(count);
  std::printf("%-34s %12.1f ns/call %14.0f calls/s  (checksum %llu)\n", name,
              per_call * 1e9, 1.0 / per_call,
              static_cast<unsigned long long>(checksum));
}

}  // namespace

int main() {
  const auto build_start = Clock::now();
  const CouplingMap map = grid(kSide);
  const std::chrono::duration<double> build = Clock::now() - build_start;
  std::printf("grid %ux%u: %zu edges built in %.2f ms\n", kSide, kSide,
              map.edges().size(), build.count() * 1e3);

  const std::uint32_t corner_index = kSide * kSide - 1;
  const PhysicalQubit corner{corner_index};
  report("distance, corner to corner", 500, [&](std::uint64_t) {
    return map.distance(PhysicalQubit{0}, corner).value_or(0);
  });

  std::mt19937 rng(1);
  std::uniform_int_distribution<std::uint32_t> qubit(0, corner_index);
  std::vector<PhysicalQubit> picks(1 << 16);
  for (auto& q : picks) {
    q = PhysicalQubit{qubit(rng)};
  }
  const auto mask = picks.size() - 1;
  report("is_connected, random pairs", 10'000'000, [&](std::uint64_t i) {
    return map.is_connected(picks[i & mask], picks[(i + 1) & mask]) ? 1 : 0;
  });
  report("is_connected, grid neighbours", 10'000'000, [&](std::uint64_t i) {
    const std::uint32_t q = picks[i & mask].index % (corner_index - 1);
    return map.is_connected(PhysicalQubit{q}, PhysicalQubit{q + 1}) ? 1 : 0;
  });

  Layout layout = Layout::trivial(kSide * kSide);
  report("Layout::swap, occupied pairs", 10'000'000, [&](std::uint64_t i) {
    layout.swap(picks[i & mask], picks[(i + 1) & mask]);
    return 1;
  });
  Layout sparse = Layout::trivial(kSide);
  report("Layout::swap, into free qubits", 10'000'000, [&](std::uint64_t i) {
    sparse.swap(PhysicalQubit{picks[i & mask].index % (2 * kSide)},
                PhysicalQubit{picks[(i + 1) & mask].index % (2 * kSide)});
    return 1;
  });
  return 0;
}
