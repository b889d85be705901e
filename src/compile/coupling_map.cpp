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

}  // namespace

CouplingMap::CouplingMap(const CouplingMap& other)
    : num_qubits_(other.num_qubits_),
      edges_(other.edges_),
      identity_slots_(other.identity_slots_),
      slot_of_(other.slot_of_) {}

CouplingMap& CouplingMap::operator=(const CouplingMap& other) {
  if (this != &other) {
    CouplingMap copy(other);
    *this = std::move(copy);
  }
  return *this;
}

CouplingMap::CouplingMap(CouplingMap&& other) noexcept
    : num_qubits_(other.num_qubits_),
      edges_(std::move(other.edges_)),
      identity_slots_(other.identity_slots_),
      slot_of_(std::move(other.slot_of_)) {}

// The caches are dropped rather than moved: they are rebuilt on demand.
CouplingMap& CouplingMap::operator=(CouplingMap&& other) noexcept {
  if (this != &other) {
    num_qubits_ = other.num_qubits_;
    edges_ = std::move(other.edges_);
    identity_slots_ = other.identity_slots_;
    slot_of_ = std::move(other.slot_of_);
    const std::lock_guard lock(cache_mutex_);
    adjacency_built_ = false;
    rows_.clear();
    row_of_source_.clear();
    asked_.clear();
    cached_entries_ = 0;
  }
  return *this;
}

// The constructions give qubit q the slot q without storing a map entry,
// so they allocate only the edge array.
CouplingMap CouplingMap::linear(std::uint32_t n) {
  CouplingMap map(n);
  if (n < 2) {
    return map;
  }
  map.reserve_edges(n - 1);
  map.identity_slots_ = n;
  for (std::uint32_t i = 0; i + 1 < n; ++i) {
    map.edges_.push_back(Edge{PhysicalQubit{i}, PhysicalQubit{i + 1}});
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
  map.identity_slots_ = n;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n; ++j) {
      map.edges_.push_back(Edge{PhysicalQubit{i}, PhysicalQubit{j}});
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
  map.identity_slots_ = n;
  for (std::uint32_t i = 1; i < n; ++i) {
    map.edges_.push_back(Edge{PhysicalQubit{0}, PhysicalQubit{i}});
  }
  return map;
}

void CouplingMap::add_edge(PhysicalQubit q1, PhysicalQubit q2) {
  // Everything that can fail comes before the first write that counts, so
  // running out of memory leaves the edges as they were. A slot created just
  // before such a failure has no edge, which every query treats exactly
  // like no slot.
  make_room(edges_, 1);
  slot_for(q1.index);
  slot_for(q2.index);
  edges_.push_back(Edge{q1, q2});
  const std::lock_guard lock(cache_mutex_);
  rows_.clear();
  row_of_source_.clear();
  asked_.clear();
  cached_entries_ = 0;
}

bool CouplingMap::is_connected(PhysicalQubit q1, PhysicalQubit q2) const {
  const auto s1 = find_slot(q1.index);
  const auto s2 = find_slot(q2.index);
  if (!s1 || !s2) {
    return false;
  }
  const std::lock_guard lock(cache_mutex_);
  build_adjacency();
  const auto* begin = neighbours_.data() + offsets_[*s1];
  const auto* end = neighbours_.data() + offsets_[*s1 + 1];
  return std::find(begin, end, *s2) != end;
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
  const std::lock_guard lock(cache_mutex_);
  build_adjacency();
  const std::uint32_t slots = slot_count();
  const bool cached =
      row_of_source_.size() == slots && row_of_source_[*start] != kNoRow;
  if (!cached) {
    if (asked_.size() != slots) {
      asked_.assign(slots, 0);
    }
    if (asked_[*start] == 0) {
      asked_[*start] = 1;
      return search(*start, *goal);
    }
  }
  const std::uint32_t d = row_for(*start)[*goal];
  if (d == kUnreachable) {
    return std::nullopt;
  }
  return d;
}

// Level by level, so the depth needs no storage; the target is tested
// before the visit mark, so the search stops at the first edge reaching it.
std::optional<std::uint32_t> CouplingMap::search(std::uint32_t source,
                                                 std::uint32_t goal) const {
  const std::uint32_t slots = slot_count();
  if (seen_.size() != slots) {
    seen_.assign(slots, 0);
    epoch_ = 0;
  }
  if (++epoch_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0);
    epoch_ = 1;
  }
  queue_.clear();
  queue_.push_back(source);
  seen_[source] = epoch_;
  std::uint32_t depth = 0;
  for (std::size_t head = 0; head < queue_.size();) {
    ++depth;
    const std::size_t level_end = queue_.size();
    for (; head < level_end; ++head) {
      const std::uint32_t node = queue_[head];
      for (std::uint32_t i = offsets_[node]; i < offsets_[node + 1]; ++i) {
        const std::uint32_t next = neighbours_[i];
        if (next == goal) {
          return depth;
        }
        if (seen_[next] != epoch_) {
          seen_[next] = epoch_;
          queue_.push_back(next);
        }
      }
    }
  }
  return std::nullopt;
}

void CouplingMap::reserve_edges(std::uint64_t count) {
  reserve_or_bad_alloc(edges_, count);
}

// Counting sort of the edge ends by slot: neighbours keep the order in
// which their edges were added. New arrays are made before the old ones
// are replaced, so running out of memory leaves the caches as they were.
void CouplingMap::build_adjacency() const {
  if (adjacency_built_ && adjacency_edges_ == edges_.size()) {
    return;
  }
  const std::uint32_t slots = slot_count();
  std::vector<std::uint32_t> offsets(std::size_t{slots} + 1, 0);
  std::vector<std::uint32_t> neighbours(2 * edges_.size());
  std::vector<std::uint32_t> ends(2 * edges_.size());
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    ends[2 * e] = *find_slot(edges_[e].q1.index);
    ends[2 * e + 1] = *find_slot(edges_[e].q2.index);
    ++offsets[ends[2 * e] + 1];
    ++offsets[ends[2 * e + 1] + 1];
  }
  for (std::uint32_t s = 0; s < slots; ++s) {
    offsets[s + 1] += offsets[s];
  }
  std::vector<std::uint32_t> fill(offsets.begin(), offsets.end() - 1);
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    const std::uint32_t a = ends[2 * e];
    const std::uint32_t b = ends[2 * e + 1];
    neighbours[fill[a]++] = b;
    neighbours[fill[b]++] = a;
  }
  offsets_ = std::move(offsets);
  neighbours_ = std::move(neighbours);
  adjacency_edges_ = edges_.size();
  adjacency_built_ = true;
}

const std::vector<std::uint32_t>& CouplingMap::row_for(
    std::uint32_t source) const {
  const std::uint32_t slots = slot_count();
  if (row_of_source_.size() == slots && row_of_source_[source] != kNoRow) {
    return rows_[row_of_source_[source]];
  }
  std::vector<std::uint32_t> row(slots, kUnreachable);
  row[source] = 0;
  queue_.clear();
  queue_.push_back(source);
  for (std::size_t head = 0; head < queue_.size(); ++head) {
    const std::uint32_t node = queue_[head];
    // A path visits each of at most 2^32 qubits once, so this cannot wrap.
    const std::uint32_t next_depth = row[node] + 1;
    for (std::uint32_t i = offsets_[node]; i < offsets_[node + 1]; ++i) {
      const std::uint32_t next = neighbours_[i];
      if (row[next] == kUnreachable) {
        row[next] = next_depth;
        queue_.push_back(next);
      }
    }
  }
  if (cached_entries_ + slots > kRowCacheEntries ||
      row_of_source_.size() != slots) {
    // Index first: should the new index fail, an empty one means no rows.
    row_of_source_.clear();
    rows_.clear();
    cached_entries_ = 0;
    row_of_source_.assign(slots, kNoRow);
  }
  rows_.reserve(rows_.size() + 1);
  row_of_source_[source] = static_cast<std::uint32_t>(rows_.size());
  rows_.push_back(std::move(row));
  cached_entries_ += slots;
  return rows_.back();
}

std::uint32_t CouplingMap::slot_for(std::uint32_t q) {
  if (const auto found = find_slot(q)) {
    return *found;
  }
  // There are at most 2^32 distinct qubits, so every slot fits in 32 bits.
  // If the key cannot be stored, no slot is made.
  const std::uint32_t slot = slot_count();
  slot_of_.emplace(q, slot);
  return slot;
}

std::optional<std::uint32_t> CouplingMap::find_slot(std::uint32_t q) const {
  if (q < identity_slots_) {
    return q;
  }
  const auto found = slot_of_.find(q);
  if (found == slot_of_.end()) {
    return std::nullopt;
  }
  return found->second;
}

}  // namespace qelto::compile
