#include "compile/route.hpp"

#include <algorithm>
#include <cassert>
#include <limits>
#include <random>

#include "compile/wire_graph.hpp"

namespace qelto::compile {
namespace {

using Kind = ir::StandardGate::Kind;

constexpr std::uint32_t kNone = 0xFFFFFFFF;

bool is_two_qubit_gate(const FlatOp& op) {
  return op.num_qubits == 2 && op.is_gate();
}

class Router {
  // Cached parts of each device edge's score change, and whether they are
  // current; together, as the swap choice reads them together. The flag is
  // a bool, not a char: a char store may alias any table, which made the
  // compiler reload them all in the swap choice's loop.
  struct EdgeChange {
    double front = 0;
    double extended = 0;
    bool valid = false;
  };

 public:
  Router(const FlatCircuit& circuit, const Device& device, Placement initial,
         std::uint64_t seed, const RouteOptions& options)
      : in_(circuit),
        device_(device),
        options_(options),
        graph_(circuit),
        physical_(std::move(initial)),
        logical_(device.size()),
        front_of_(device.size(), kNone),
        extended_of_(device.size()),
        decay_(device.size(), 1.0),
        seen_(circuit.ops.size(), 0),
        front_position_(circuit.ops.size(), kNone),
        current_distance_(circuit.ops.size(), 0),
        edge_change_(device.num_edges()),
        in_extended_(circuit.ops.size(), 0),
        last_block_(device.size(), kNone),
        rng_(seed) {
    for (std::uint32_t l = 0; l < physical_.size(); ++l) {
      logical_[physical_[l]] = l;
    }

    if (options_.emit) {
      out_.circuit = circuit.empty_like();
      out_.circuit.num_qubits = device.size();
      // Routing often inserts about two swaps per two-qubit gate.
      out_.circuit.ops.reserve(2 * circuit.ops.size());
    }
  }

  Routed run() {
    for (std::uint32_t i = 0; i < in_.ops.size(); ++i) {
      if (graph_.waiting[i] == 0) {
        ready_.push_back(i);
      }
    }
    run_ready();
    std::uint32_t swaps_since_progress = 0;
    while (!front_.empty()) {
      if (swaps_since_progress == 0) {
        set_valve_limit();
      }
      if (extended_stale_) {
        begin_round();
      }
      const auto [a, b] = choose_swap();
      apply_swap(a, b);
      ++swaps_since_progress;
      if (run_front_on(a) | run_front_on(b)) {
        run_ready();
        reset_decay();
        extended_stale_ = true;
        swaps_since_progress = 0;
      } else if (swaps_since_progress % options_.decay_reset_interval == 0) {
        reset_decay();
      }
      if (swaps_since_progress >= valve_limit_) {
        release_valve();
        swaps_since_progress = 0;
      }
    }
    out_.final_placement = std::move(physical_);
    return std::move(out_);
  }

 private:
  // Runs everything ready; two-qubit gates whose qubits are apart join the
  // front layer instead.
  void run_ready() {
    while (!ready_.empty()) {
      const std::uint32_t i = ready_.back();
      ready_.pop_back();
      const FlatOp& op = in_.ops[i];
      if (options_.elide_swaps && op.code == gate_code(Kind::Swap)) {
        rename(op.q[0], op.q[1]);
        release_successors(i);
        continue;
      }
      if (is_two_qubit_gate(op) &&
          !device_.adjacent(physical_[op.q[0]], physical_[op.q[1]])) {
        add_to_front(i);
        continue;
      }
      execute(i);
    }
  }

  void execute(std::uint32_t i) {
    const FlatOp& op = in_.ops[i];
    note_block(op);
    if (options_.emit) {
      FlatOp mapped = op;
      if (op.num_qubits == FlatOp::kWide) {
        mapped.q[0] = static_cast<std::uint32_t>(
            out_.circuit.wide_qubits.size());
        for (const std::uint32_t q : in_.qubits(op)) {
          out_.circuit.wide_qubits.push_back(physical_[q]);
        }
      } else {
        for (std::uint32_t k = 0; k < op.num_qubits; ++k) {
          mapped.q[k] = physical_[op.q[k]];
        }
      }
      out_.circuit.ops.push_back(mapped);
    }
    release_successors(i);
  }

  void release_successors(std::uint32_t i) {
    for (std::uint32_t s = graph_.first_slot[i]; s < graph_.first_slot[i + 1];
         ++s) {
      const std::uint32_t next = graph_.next[s];
      if (next != kNone && --graph_.waiting[next] == 0) {
        ready_.push_back(next);
      }
    }
  }

  // Remembers, per physical qubit, the two-qubit gate a swap could merge
  // with: the last one run there, while only one-qubit gates follow it.
  void note_block(const FlatOp& op) {
    if (op.num_qubits == 2 && op.is_gate()) {
      ++block_id_;
      last_block_[physical_[op.q[0]]] = block_id_;
      last_block_[physical_[op.q[1]]] = block_id_;
      return;
    }
    if (op.num_qubits == 1 && op.is_gate()) {
      return;
    }
    for (const std::uint32_t q : in_.qubits(op)) {
      last_block_[physical_[q]] = kNone;
    }
  }

  bool merges(std::uint32_t pa, std::uint32_t pb) const {
    return same_block(last_block_[pa], last_block_[pb]);
  }
  static bool same_block(std::uint32_t block_a, std::uint32_t block_b) {
    return block_a != kNone && block_a == block_b;
  }

  // Logical qubits la and lb trade physical qubits without a gate. Neither
  // has a front gate (their swap was the next operation on both), but
  // gates after them may be in the extended set: every cached score that
  // reads their positions is forgotten, before and after the move.
  void rename(std::uint32_t la, std::uint32_t lb) {
    const auto forget_around = [&] {
      for (const std::uint32_t l : {la, lb}) {
        for (const std::uint32_t i : extended_of_[l]) {
          forget_gate(i);
        }
      }
    };
    forget_around();
    const std::uint32_t pa = physical_[la];
    const std::uint32_t pb = physical_[lb];
    std::swap(logical_[pa], logical_[pb]);
    physical_[la] = pb;
    physical_[lb] = pa;
    forget_around();
    extended_stale_ = true;
  }

  void add_to_front(std::uint32_t i) {
    const FlatOp& op = in_.ops[i];
    front_of_[op.q[0]] = i;
    front_of_[op.q[1]] = i;
    front_position_[i] = static_cast<std::uint32_t>(front_.size());
    front_.push_back(i);
    forget_gate(i);
    extended_stale_ = true;
  }

  void remove_from_front(std::uint32_t i) {
    const FlatOp& op = in_.ops[i];
    front_of_[op.q[0]] = kNone;
    front_of_[op.q[1]] = kNone;
    forget_gate(i);
    const std::uint32_t at = front_position_[i];
    front_[at] = front_.back();
    front_position_[front_[at]] = at;
    front_.pop_back();
  }

  // Swaps allowed without progress before the valve: generous enough that
  // the heuristic rarely needs help, small enough that a bad streak costs
  // little.
  void set_valve_limit() {
    std::uint32_t nearest = Device::kUnreachable;
    for (const std::uint32_t i : front_) {
      nearest = std::min(nearest, gate_distance(i));
    }
    valve_limit_ = std::max<std::uint32_t>(10, 3 * nearest);
  }

  // Runs the front gate on the logical qubit now at physical p if its qubits
  // have become coupled.
  bool run_front_on(std::uint32_t p) {
    const std::uint32_t i = front_of_[logical_[p]];
    if (i == kNone) {
      return false;
    }
    const FlatOp& op = in_.ops[i];
    if (!device_.adjacent(physical_[op.q[0]], physical_[op.q[1]])) {
      return false;
    }
    remove_from_front(i);
    execute(i);
    return true;
  }

  // The first two-qubit gates after the front layer, found breadth first.
  void build_extended_set() {
    for (const std::uint32_t i : extended_) {
      extended_of_[in_.ops[i].q[0]].clear();
      extended_of_[in_.ops[i].q[1]].clear();
    }
    extended_.clear();
    ++epoch_;
    std::vector<std::uint32_t>& queue = scratch_;
    queue.assign(front_.begin(), front_.end());
    // Bounds the walk through long runs of one-qubit gates.
    const std::size_t max_visits = 16 * std::size_t{options_.extended_set_size};
    for (std::size_t head = 0; head < queue.size() &&
                               extended_.size() < options_.extended_set_size &&
                               queue.size() < max_visits;
         ++head) {
      const std::uint32_t i = queue[head];
      for (std::uint32_t s = graph_.first_slot[i];
           s < graph_.first_slot[i + 1]; ++s) {
        const std::uint32_t next = graph_.next[s];
        if (next == kNone || seen_[next] == epoch_) {
          continue;
        }
        seen_[next] = epoch_;
        queue.push_back(next);
        if (is_two_qubit_gate(in_.ops[next]) &&
            extended_.size() < options_.extended_set_size) {
          extended_.push_back(next);
          extended_of_[in_.ops[next].q[0]].push_back(next);
          extended_of_[in_.ops[next].q[1]].push_back(next);
        }
      }
    }
    extended_stale_ = false;
  }

  std::uint32_t gate_distance(std::uint32_t i) const {
    const FlatOp& op = in_.ops[i];
    return device_.distance(physical_[op.q[0]], physical_[op.q[1]]);
  }

  // Change of a gate's distance if the logical qubits la and lb (at
  // physical pa and pb) traded places.
  double moved_distance(std::uint32_t i, std::uint32_t la, std::uint32_t lb,
                        std::uint32_t pa, std::uint32_t pb) const {
    const FlatOp& op = in_.ops[i];
    const auto where = [&](std::uint32_t l) {
      return l == la ? pb : l == lb ? pa : physical_[l];
    };
    const double after = device_.distance(where(op.q[0]), where(op.q[1]));
    return after - static_cast<double>(current_distance_[i]);
  }

  // The change of the front distance and of the extended distance if the
  // logical qubits at pa and pb traded places.
  std::pair<double, double> score_swap(std::uint32_t pa,
                                       std::uint32_t pb) const {
    const std::uint32_t la = logical_[pa];
    const std::uint32_t lb = logical_[pb];
    double front_change = 0;
    const std::uint32_t fa = front_of_[la];
    const std::uint32_t fb = front_of_[lb];
    if (fa != kNone) {
      front_change += moved_distance(fa, la, lb, pa, pb);
    }
    if (fb != kNone && fb != fa) {
      front_change += moved_distance(fb, la, lb, pa, pb);
    }
    double extended_change = 0;
    for (const std::uint32_t i : extended_of_[la]) {
      extended_change += moved_distance(i, la, lb, pa, pb);
    }
    for (const std::uint32_t i : extended_of_[lb]) {
      const FlatOp& op = in_.ops[i];
      // A gate on both qubits was counted with la.
      if (op.q[0] != la && op.q[1] != la) {
        extended_change += moved_distance(i, la, lb, pa, pb);
      }
    }
    return {front_change, extended_change};
  }

  // After progress: a new extended set, and fresh totals. Cached score
  // changes stay valid except at the ends of gates that joined or left the
  // front layer (forgotten as they did) or the extended set (here).
  void begin_round() {
    previous_extended_.assign(extended_.begin(), extended_.end());
    for (const std::uint32_t i : previous_extended_) {
      in_extended_[i] = 0;
    }
    build_extended_set();
    for (const std::uint32_t i : extended_) {
      in_extended_[i] = 1;
    }
    for (const std::uint32_t i : previous_extended_) {
      if (in_extended_[i] == 0) {
        forget_gate(i);
      }
    }
    for (const std::uint32_t i : extended_) {
      if (std::find(previous_extended_.begin(), previous_extended_.end(),
                    i) == previous_extended_.end()) {
        forget_gate(i);
      }
    }
    front_total_ = 0;
    for (const std::uint32_t i : front_) {
      current_distance_[i] = gate_distance(i);
      front_total_ += current_distance_[i];
    }
    extended_total_ = 0;
    for (const std::uint32_t i : extended_) {
      current_distance_[i] = gate_distance(i);
      extended_total_ += current_distance_[i];
    }
  }

  // The change a swap on edge (p, q) makes to the weighted distances. Its
  // parts are cached per edge until a gate they read moves, joins or leaves
  // the front layer or the extended set.
  double score_change(std::uint32_t p, std::uint32_t q, std::uint32_t edge,
                      double extended_weight) {
    EdgeChange& change = edge_change_[edge];
    if (!change.valid) [[unlikely]] {
      refresh_change(change, p, q);
    }
    return change.front + extended_weight * change.extended;
  }

  // Out of line: the scan in choose_swap stays small without it.
  [[gnu::noinline]] void refresh_change(EdgeChange& change, std::uint32_t p,
                                        std::uint32_t q) const {
    const auto [front, extended] = score_swap(p, q);
    change = {front, extended, true};
  }

  void forget_gate(std::uint32_t i) {
    forget_swaps_at(physical_[in_.ops[i].q[0]]);
    forget_swaps_at(physical_[in_.ops[i].q[1]]);
  }

  // Out of line, so that its loop gets the registers to itself.
  [[gnu::noinline]] std::pair<std::uint32_t, std::uint32_t> choose_swap() {
    // One unit of extended distance weighs lookahead_weight over the
    // extended set's size.
    const double extended_weight =
        extended_.empty() ? 0.0
                          : options_.lookahead_weight /
                                static_cast<double>(extended_.size());
    const double base = front_total_ + extended_weight * extended_total_;
    const double merge_bonus = options_.merge_bonus;
    // The loop below runs hundreds of times per swap: the tables it reads
    // are held in locals, which the compiler keeps in registers.
    const double* const decay = decay_.data();
    const std::uint32_t* const last_block = last_block_.data();
    double best = std::numeric_limits<double>::infinity();
    ties_.clear();
    for (const std::uint32_t i : front_) {
      for (int k = 0; k < 2; ++k) {
        const std::uint32_t p = physical_[in_.ops[i].q[k]];
        const auto neighbours = device_.neighbours(p);
        const auto edges = device_.edge_ids(p);
        const double decay_p = decay[p];
        const std::uint32_t block_p = last_block[p];
        for (std::size_t n = 0; n < neighbours.size(); ++n) {
          const std::uint32_t q = neighbours[n];
          double score = std::max(decay_p, decay[q]) *
                         (base + score_change(p, q, edges[n], extended_weight));
          if (same_block(block_p, last_block[q])) {
            score -= merge_bonus;
          }
          // Scores within rounding of each other are ties, broken by the
          // seed, each equally likely.
          if (score < best - 1e-10) {
            best = score;
            ties_.clear();
            ties_.push_back({p, q});
          } else if (score <= best + 1e-10) {
            ties_.push_back({p, q});
          }
        }
      }
    }
    assert(!ties_.empty() && "a front gate has a neighbour");
    if (ties_.size() == 1) {
      return ties_.front();
    }
    return ties_[std::uniform_int_distribution<std::size_t>(
        0, ties_.size() - 1)(rng_)];
  }

  // After logical qubits la and lb moved: updates the distances of their
  // gates and forgets the cached changes of every swap whose score reads
  // one of those gates (the swaps at either end of each gate).
  void after_swap(std::uint32_t la, std::uint32_t lb) {
    const auto refresh = [&](std::uint32_t i, double& total) {
      const std::uint32_t now = gate_distance(i);
      total += static_cast<double>(now) -
               static_cast<double>(current_distance_[i]);
      current_distance_[i] = now;
      forget_gate(i);
    };
    const std::uint32_t fa = front_of_[la];
    const std::uint32_t fb = front_of_[lb];
    if (fa != kNone) {
      refresh(fa, front_total_);
    }
    if (fb != kNone && fb != fa) {
      refresh(fb, front_total_);
    }
    for (const std::uint32_t i : extended_of_[la]) {
      refresh(i, extended_total_);
    }
    for (const std::uint32_t i : extended_of_[lb]) {
      const FlatOp& op = in_.ops[i];
      if (op.q[0] != la && op.q[1] != la) {
        refresh(i, extended_total_);
      }
    }
    forget_swaps_at(physical_[la]);
    forget_swaps_at(physical_[lb]);
  }

  void forget_swaps_at(std::uint32_t p) {
    for (const std::uint32_t edge : device_.edge_ids(p)) {
      edge_change_[edge].valid = false;
    }
  }

  void apply_swap(std::uint32_t pa, std::uint32_t pb) {
    const std::uint32_t la = logical_[pa];
    const std::uint32_t lb = logical_[pb];
    std::swap(logical_[pa], logical_[pb]);
    physical_[la] = pb;
    physical_[lb] = pa;
    if (!extended_stale_) {
      after_swap(la, lb);
    }
    decay_[pa] += options_.decay_step;
    decay_[pb] += options_.decay_step;
    decayed_.push_back(pa);
    decayed_.push_back(pb);
    ++out_.swaps;
    if (merges(pa, pb)) {
      ++out_.merged_swaps;
    }
    // A second swap would only undo this one.
    last_block_[pa] = kNone;
    last_block_[pb] = kNone;
    if (options_.emit) {
      const std::uint32_t qubits[2] = {pa, pb};
      out_.circuit.ops.push_back(make_gate(Kind::Swap, qubits));
    }
  }

  void reset_decay() {
    for (const std::uint32_t p : decayed_) {
      decay_[p] = 1.0;
    }
    decayed_.clear();
  }

  // Brings the closest waiting gate's qubits together along a shortest
  // path, which always lets it run.
  void release_valve() {
    std::uint32_t nearest = front_.front();
    for (const std::uint32_t i : front_) {
      if (gate_distance(i) < gate_distance(nearest)) {
        nearest = i;
      }
    }
    const FlatOp& op = in_.ops[nearest];
    const std::vector<std::uint32_t> path =
        device_.shortest_path(physical_[op.q[0]], physical_[op.q[1]]);
    assert(path.size() >= 2 && "placement keeps interacting qubits together");
    for (std::size_t k = 0; k + 2 < path.size(); ++k) {
      apply_swap(path[k], path[k + 1]);
    }
    bool ran = false;
    for (std::size_t k = 0; k < path.size(); ++k) {
      ran |= run_front_on(path[k]);
    }
    assert(ran && "the valve's gate is now coupled");
    (void)ran;
    run_ready();
    reset_decay();
    extended_stale_ = true;
  }

  const FlatCircuit& in_;
  const Device& device_;
  RouteOptions options_;
  WireGraph graph_;
  Placement physical_;
  std::vector<std::uint32_t> logical_;
  std::vector<std::uint32_t> ready_;
  std::vector<std::uint32_t> front_;
  // Front gate of each logical qubit (front gates share no qubit).
  std::vector<std::uint32_t> front_of_;
  std::vector<std::uint32_t> extended_;
  std::vector<std::vector<std::uint32_t>> extended_of_;
  bool extended_stale_ = true;
  std::vector<double> decay_;
  std::vector<std::uint32_t> decayed_;
  std::vector<std::uint32_t> seen_;
  std::vector<std::uint32_t> front_position_;
  std::vector<std::uint32_t> current_distance_;
  double front_total_ = 0;
  double extended_total_ = 0;
  // Cached parts of each device edge's score change (see EdgeChange).
  std::vector<EdgeChange> edge_change_;
  std::vector<char> in_extended_;
  std::vector<std::uint32_t> previous_extended_;
  std::uint32_t epoch_ = 0;
  std::vector<std::uint32_t> scratch_;
  std::uint32_t valve_limit_ = 10;
  // Per physical qubit: the id of the last two-qubit gate run on it while
  // only one-qubit gates followed, else kNone.
  std::vector<std::uint32_t> last_block_;
  std::uint32_t block_id_ = 0;
  // The swaps tied for the best score in choose_swap.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ties_;
  std::mt19937_64 rng_;
  Routed out_;
};

}  // namespace

Routed route(const FlatCircuit& circuit, const Device& device,
             Placement initial, std::uint64_t seed,
             const RouteOptions& options) {
  Router router(circuit, device, std::move(initial), seed, options);
  return router.run();
}

}  // namespace qelto::compile
