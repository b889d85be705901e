#include "compile/coupling_map.hpp"

#include <algorithm>
#include <new>
#include <utility>

namespace qelto::compile {
namespace {

// std::vector reports a request beyond max_size() as std::length_error; for
// the caller that is simply memory the machine cannot give.
template <class T>
void reserve_or_bad_alloc(std::vector<T>& items, std::uint64_t count) {
  if (count > items.max_size()) {
    throw std::bad_alloc();
  }
  items.reserve(static_cast<std::size_t>(count));
}

// Grows geometrically like push_back would, so that the next `extra`
// push_backs cannot allocate and therefore cannot fail.
template <class T>
void make_room(std::vector<T>& items, std::size_t extra) {
  if (items.capacity() - items.size() >= extra) {
    return;
  }
  const std::size_t doubled = std::min(2 * items.capacity(), items.max_size());
  reserve_or_bad_alloc(items, std::max(items.size() + extra, doubled));
}

// Breadth-first search over dense slots. The target is tested before the
// visited mark, so the search stops at the first edge that reaches it.
std::optional<std::uint32_t> search(
    const std::vector<std::vector<std::uint32_t>>& neighbours,
    std::uint32_t start, std::uint32_t goal) {
  std::vector<bool> visited(neighbours.size());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> queue{{start, 0}};
  visited[start] = true;
  for (std::size_t head = 0; head < queue.size(); ++head) {
    const auto [node, depth] = queue[head];
    for (const std::uint32_t next : neighbours[node]) {
      if (next == goal) {
        // A path visits each of at most 2^32 qubits once, so this cannot wrap.
        return depth + 1;
      }
      if (!visited[next]) {
        visited[next] = true;
        queue.emplace_back(next, depth + 1);
      }
    }
  }
  return std::nullopt;
}

}  // namespace

CouplingMap CouplingMap::linear(std::uint32_t n) {
  CouplingMap map(n);
  if (n < 2) {
    return map;
  }
  map.reserve_edges(n - 1);
  map.add_identity_slots(n);
  for (std::uint32_t i = 0; i + 1 < n; ++i) {
    map.neighbours_[i].reserve(i == 0 ? 1 : 2);
  }
  map.neighbours_[n - 1].reserve(1);
  for (std::uint32_t i = 0; i + 1 < n; ++i) {
    map.link(i, i + 1);
  }
  return map;
}

CouplingMap CouplingMap::full(std::uint32_t n) {
  CouplingMap map(n);
  if (n < 2) {
    return map;
  }
  // Every allocation happens before the first edge is written, so a size the
  // machine cannot hold fails at once instead of after filling gigabytes.
  map.reserve_edges(std::uint64_t{n} * (n - 1) / 2);
  map.add_identity_slots(n);
  for (auto& list : map.neighbours_) {
    list.reserve(n - 1);
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n; ++j) {
      map.link(i, j);
    }
  }
  return map;
}

CouplingMap CouplingMap::star(std::uint32_t n) {
  CouplingMap map(n);
  if (n < 2) {
    return map;
  }
  map.reserve_edges(n - 1);
  map.add_identity_slots(n);
  map.neighbours_[0].reserve(n - 1);
  for (std::uint32_t i = 1; i < n; ++i) {
    map.neighbours_[i].reserve(1);
  }
  for (std::uint32_t i = 1; i < n; ++i) {
    map.link(0, i);
  }
  return map;
}

void CouplingMap::add_edge(PhysicalQubit q1, PhysicalQubit q2) {
  // Everything that can fail comes before the first write that counts, so
  // running out of memory leaves the edges as they were. A slot created just
  // before such a failure keeps an empty neighbour list, which every query
  // treats exactly like no slot.
  make_room(edges_, 1);
  const std::uint32_t s1 = slot_for(q1.index);
  const std::uint32_t s2 = slot_for(q2.index);
  make_room(neighbours_[s1], 1);
  make_room(neighbours_[s2], s1 == s2 ? 2 : 1);
  edges_.push_back(Edge{q1, q2});
  neighbours_[s1].push_back(s2);
  neighbours_[s2].push_back(s1);
}

bool CouplingMap::is_connected(PhysicalQubit q1, PhysicalQubit q2) const {
  const auto s1 = find_slot(q1.index);
  const auto s2 = find_slot(q2.index);
  if (!s1 || !s2) {
    return false;
  }
  return std::ranges::find(neighbours_[*s1], *s2) != neighbours_[*s1].end();
}

std::optional<std::uint32_t> CouplingMap::distance(PhysicalQubit from,
                                                   PhysicalQubit to) const {
  if (from == to) {
    return 0;
  }
  const auto start = find_slot(from.index);
  const auto goal = find_slot(to.index);
  // A qubit without a slot has no edge, so nothing leads to or from it.
  if (!start || !goal) {
    return std::nullopt;
  }
  return search(neighbours_, *start, *goal);
}

void CouplingMap::reserve_edges(std::uint64_t count) {
  reserve_or_bad_alloc(edges_, count);
}

void CouplingMap::add_identity_slots(std::uint32_t n) {
  slot_of_.reserve(n);
  neighbours_.resize(n);
  for (std::uint32_t q = 0; q < n; ++q) {
    slot_of_.emplace(q, q);
  }
}

void CouplingMap::link(std::uint32_t q1, std::uint32_t q2) {
  edges_.push_back(Edge{PhysicalQubit{q1}, PhysicalQubit{q2}});
  neighbours_[q1].push_back(q2);
  neighbours_[q2].push_back(q1);
}

std::uint32_t CouplingMap::slot_for(std::uint32_t q) {
  if (const auto found = find_slot(q)) {
    return *found;
  }
  // There are at most 2^32 distinct qubits, so every slot fits in 32 bits.
  // If the key cannot be stored, the list just added is never reached.
  const auto slot = static_cast<std::uint32_t>(neighbours_.size());
  neighbours_.emplace_back();
  slot_of_.emplace(q, slot);
  return slot;
}

std::optional<std::uint32_t> CouplingMap::find_slot(std::uint32_t q) const {
  const auto found = slot_of_.find(q);
  if (found == slot_of_.end()) {
    return std::nullopt;
  }
  return found->second;
}

}  // namespace qelto::compile
