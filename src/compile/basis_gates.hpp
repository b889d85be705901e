#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qelto::compile {

// The native gate set of a device: gate names in the order given. Names are
// any UTF-8 strings, the empty one included; they are neither validated nor
// deduplicated. A plain value that never changes after creation.
class BasisGates {
 public:
  explicit BasisGates(std::vector<std::string> gates)
      : gates_(std::move(gates)) {}

  // rz, sx, x, cx, measure, barrier, id.
  [[nodiscard]] static BasisGates ibm();
  // prx, cz, measure, barrier.
  [[nodiscard]] static BasisGates iqm();
  // Every catalogue gate (src/ir/gates.def) in catalogue order, then
  // measure, reset and barrier: 48 names today.
  [[nodiscard]] static BasisGates universal();

  // Whether some name equals `gate` byte for byte (case-sensitive, no
  // trimming).
  [[nodiscard]] bool contains(std::string_view gate) const;

  // The names in stored order; valid as long as this object.
  [[nodiscard]] const std::vector<std::string>& gates() const { return gates_; }

 private:
  std::vector<std::string> gates_;
};

}  // namespace qelto::compile
