#include <cstdint>
#include <optional>
#include <vector>

#include "compile/coupling_map.hpp"

namespace qelto::compile {

CouplingMap CouplingMap::ring(std::uint32_t n) {
  CouplingMap map = linear(n);
  if (n >= 3) {
    map.add_edge(PhysicalQubit{n - 1}, PhysicalQubit{0});
  }
  return map;
}

std::optional<CouplingMap> CouplingMap::grid(std::uint32_t rows,
                                             std::uint32_t cols) {
  const std::uint64_t count = std::uint64_t{rows} * cols;
  if (count > UINT32_MAX) {
    return std::nullopt;
  }
  CouplingMap map(static_cast<std::uint32_t>(count));
  for (std::uint32_t r = 0; r < rows; ++r) {
    for (std::uint32_t c = 0; c < cols; ++c) {
      const std::uint32_t q = r * cols + c;
      if (c + 1 < cols) {
        map.add_edge(PhysicalQubit{q}, PhysicalQubit{q + 1});
      }
      if (r + 1 < rows) {
        map.add_edge(PhysicalQubit{q}, PhysicalQubit{q + cols});
      }
    }
  }
  return map;
}

namespace {

// Columns of the bridges below row `row` of the distance-d lattice, left to
// right. Below even rows they stand under every other odd column starting
// at 1, closed by the last column; below odd rows under column 0 and every
// other odd column starting at 3. So each odd column meets one bridge per
// pair of neighbouring gaps, which gives the chain qubits there degree 3.
std::vector<std::uint32_t> bridge_columns(std::uint32_t d, std::uint32_t row) {
  std::vector<std::uint32_t> columns;
  const std::uint32_t last = 2 * d - 2;
  if (row % 2 == 0) {
    for (std::uint32_t c = 1; c < last; c += 4) {
      columns.push_back(c);
    }
    columns.push_back(last);
  } else {
    columns.push_back(0);
    for (std::uint32_t c = 3; c < last; c += 4) {
      columns.push_back(c);
    }
  }
  return columns;
}

}  // namespace

std::optional<CouplingMap> CouplingMap::heavy_hex(std::uint32_t d) {
  if (d % 2 == 0) {
    return std::nullopt;
  }
  const std::uint64_t wide = d;
  const std::uint64_t count = (5 * wide * wide - 2 * wide - 1) / 2;
  if (count > UINT32_MAX) {
    return std::nullopt;
  }
  const std::uint32_t width = 2 * d - 1;
  const std::uint32_t bridges = (d + 1) / 2;
  // Each row is followed by its bridges, so row r starts after r rows and r
  // groups of bridges.
  const auto row_start = [&](std::uint32_t r) { return r * (width + bridges); };
  CouplingMap map(static_cast<std::uint32_t>(count));
  for (std::uint32_t r = 0; r < d; ++r) {
    const std::uint32_t start = row_start(r);
    for (std::uint32_t c = 0; c + 1 < width; ++c) {
      map.add_edge(PhysicalQubit{start + c}, PhysicalQubit{start + c + 1});
    }
    if (r + 1 == d) {
      break;
    }
    std::uint32_t bridge = start + width;
    for (const std::uint32_t c : bridge_columns(d, r)) {
      map.add_edge(PhysicalQubit{start + c}, PhysicalQubit{bridge});
      map.add_edge(PhysicalQubit{bridge},
                   PhysicalQubit{row_start(r + 1) + c});
      ++bridge;
    }
  }
  return map;
}

}  // namespace qelto::compile
