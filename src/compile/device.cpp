#include "compile/device.hpp"

#include <algorithm>

namespace qelto::compile {
namespace {

constexpr std::uint32_t kNoSource = 0xFFFFFFFF;

}  // namespace

Device::Device(const CouplingMap& map) : size_(map.num_qubits()) {
  std::vector<std::uint32_t> degree(size_ + 1);
  for (const Edge e : map.edges()) {
    const std::uint32_t a = e.q1.index;
    const std::uint32_t b = e.q2.index;
    if (a != b && a < size_ && b < size_) {
      ++degree[a];
      ++degree[b];
    }
  }
  offsets_.assign(size_ + 1, 0);
  for (std::uint32_t p = 0; p < size_; ++p) {
    offsets_[p + 1] = offsets_[p] + degree[p];
  }
  adjacency_.resize(offsets_[size_]);
  std::vector<std::uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
  for (const Edge e : map.edges()) {
    const std::uint32_t a = e.q1.index;
    const std::uint32_t b = e.q2.index;
    if (a != b && a < size_ && b < size_) {
      adjacency_[fill[a]++] = b;
      adjacency_[fill[b]++] = a;
    }
  }
  // Sorted without repeats; the repeats' room stays unused at each list's
  // end, so offsets_ are rewritten into a compacted array.
  std::vector<std::uint32_t> compact;
  compact.reserve(adjacency_.size());
  std::vector<std::uint32_t> new_offsets(size_ + 1, 0);
  for (std::uint32_t p = 0; p < size_; ++p) {
    auto first = adjacency_.begin() + offsets_[p];
    auto last = adjacency_.begin() + offsets_[p + 1];
    std::sort(first, last);
    last = std::unique(first, last);
    compact.insert(compact.end(), first, last);
    new_offsets[p + 1] = static_cast<std::uint32_t>(compact.size());
  }
  adjacency_ = std::move(compact);
  offsets_ = std::move(new_offsets);
  // An edge gets its number at its smaller end; the larger end finds it
  // there by binary search in the sorted list.
  edge_of_.resize(adjacency_.size());
  for (std::uint32_t p = 0; p < size_; ++p) {
    for (std::uint32_t k = offsets_[p]; k < offsets_[p + 1]; ++k) {
      const std::uint32_t q = adjacency_[k];
      if (p < q) {
        edge_of_[k] = num_edges_++;
        continue;
      }
      const auto first = adjacency_.begin() + offsets_[q];
      const auto last = adjacency_.begin() + offsets_[q + 1];
      edge_of_[k] = edge_of_[static_cast<std::size_t>(
          std::lower_bound(first, last, p) - adjacency_.begin())];
    }
  }

  part_.assign(size_, kNoSource);
  for (std::uint32_t start = 0; start < size_; ++start) {
    if (part_[start] != kNoSource) {
      continue;
    }
    const auto id = static_cast<std::uint32_t>(parts_.size());
    std::vector<std::uint32_t> members{start};
    part_[start] = id;
    for (std::size_t head = 0; head < members.size(); ++head) {
      for (const std::uint32_t next : neighbours(members[head])) {
        if (part_[next] == kNoSource) {
          part_[next] = id;
          members.push_back(next);
        }
      }
    }
    parts_.push_back(std::move(members));
  }

  const std::size_t row_bytes = std::size_t{size_} * sizeof(std::uint32_t);
  const std::size_t fit = row_bytes == 0 ? 1 : kDistanceBudget / row_bytes;
  row_slots_ = static_cast<std::uint32_t>(
      std::clamp<std::size_t>(fit, 1, std::max<std::uint32_t>(size_, 1)));
  row_source_.assign(row_slots_, kNoSource);
  if (row_slots_ == size_) {
    for (std::uint32_t p = 0; p < size_; ++p) {
      row(p);
    }
    all_rows_ = true;
  }
}

bool Device::adjacent(std::uint32_t a, std::uint32_t b) const {
  const auto list = neighbours(a);
  if (list.size() <= 8) {
    return std::find(list.begin(), list.end(), b) != list.end();
  }
  return std::binary_search(list.begin(), list.end(), b);
}

const std::uint32_t* Device::row(std::uint32_t source) const {
  const std::uint32_t slot =
      row_slots_ == size_ ? source : source % row_slots_;
  if (rows_.empty()) {
    rows_.resize(std::size_t{row_slots_} * size_);
  }
  std::uint32_t* distances = rows_.data() + std::size_t{slot} * size_;
  if (row_source_[slot] == source) {
    return distances;
  }
  std::fill(distances, distances + size_, kUnreachable);
  // The row's own storage doubles as the visited marks; the queue holds
  // qubits in the order they were reached.
  std::vector<std::uint32_t> queue{source};
  distances[source] = 0;
  for (std::size_t head = 0; head < queue.size(); ++head) {
    const std::uint32_t p = queue[head];
    for (const std::uint32_t next : neighbours(p)) {
      if (distances[next] == kUnreachable) {
        distances[next] = distances[p] + 1;
        queue.push_back(next);
      }
    }
  }
  row_source_[slot] = source;
  return distances;
}

std::vector<std::uint32_t> Device::shortest_path(std::uint32_t a,
                                                 std::uint32_t b) const {
  if (part_[a] != part_[b]) {
    return {};
  }
  // Walk from a towards b, always to a neighbour one step closer to b.
  const std::uint32_t* to_b = row(b);
  std::vector<std::uint32_t> path{a};
  std::uint32_t at = a;
  while (at != b) {
    for (const std::uint32_t next : neighbours(at)) {
      if (to_b[next] + 1 == to_b[at]) {
        at = next;
        break;
      }
    }
    path.push_back(at);
  }
  return path;
}

}  // namespace qelto::compile
