#include "ir/draw.hpp"

#include <algorithm>
#include <cassert>
#include <optional>
#include <type_traits>
#include <vector>

#include "ir/circuit_ops.hpp"
#include "ir/draw_canvas.hpp"
#include "ir/draw_label.hpp"

namespace qelto::ir {
namespace {

using Kind = StandardGate::Kind;
using Canvas = DrawCanvas;

enum class Shape { Box, MultiBox, Controlled, Swap, Measure, Barrier, Reset };

// One drawn thing: an operation, or one qubit/bit pair of a measurement.
struct Element {
  Shape shape = Shape::Box;
  // Operand rows in operand order (a measurement: its qubit's, its bit's).
  std::vector<std::uint32_t> rows;
  std::uint32_t lo = 0;
  std::uint32_t hi = 0;
  // Controlled: how many leading rows are control dots; `swap_target`
  // draws the rest as swap marks instead of a box.
  std::uint32_t controls = 0;
  bool swap_target = false;
  std::string label;
  std::size_t width = 0;
};

struct Column {
  std::size_t width = 1;
  std::vector<std::uint32_t> elements;
};

struct ControlledForm {
  std::uint32_t controls;
  std::string_view base;  // empty: swap marks
};

// Gates drawn as control dots over a target.
std::optional<ControlledForm> controlled_form(Kind kind) {
  switch (kind) {
    case Kind::Cx:
      return ControlledForm{1, "x"};
    case Kind::Cy:
      return ControlledForm{1, "y"};
    case Kind::Cz:
      return ControlledForm{1, "z"};
    case Kind::Ch:
      return ControlledForm{1, "h"};
    case Kind::Crx:
      return ControlledForm{1, "rx"};
    case Kind::Cry:
      return ControlledForm{1, "ry"};
    case Kind::Crz:
      return ControlledForm{1, "rz"};
    case Kind::Cp:
      return ControlledForm{1, "p"};
    case Kind::Ccx:
      return ControlledForm{2, "x"};
    case Kind::CSwap:
      return ControlledForm{1, ""};
    case Kind::Cu:
      return ControlledForm{1, "u"};
    case Kind::Csx:
      return ControlledForm{1, "sx"};
    case Kind::Cs:
      return ControlledForm{1, "s"};
    case Kind::Csdg:
      return ControlledForm{1, "sdg"};
    case Kind::Ccz:
      return ControlledForm{2, "z"};
    case Kind::C3x:
      return ControlledForm{3, "x"};
    case Kind::C3sqrtx:
      return ControlledForm{3, "sx"};
    case Kind::C4x:
      return ControlledForm{4, "x"};
    default:
      return std::nullopt;
  }
}

std::string gate_label(std::string_view name,
                       std::span<const ParameterExpression> params) {
  std::string label = display_name(name);
  if (!params.empty()) {
    label += '(';
    for (std::size_t i = 0; i < params.size(); ++i) {
      if (i != 0) {
        label += ',';
      }
      label += compact_param(params[i]);
    }
    label += ')';
  }
  return label;
}

std::size_t digits(std::size_t n) { return std::to_string(n).size(); }

void finish(Element& e) {
  const auto [lo, hi] = std::minmax_element(e.rows.begin(), e.rows.end());
  e.lo = *lo;
  e.hi = *hi;
  const std::size_t label = display_width(e.label);
  switch (e.shape) {
    case Shape::Box:
    case Shape::Controlled:
      e.width = e.swap_target ? 3 : label + 4;
      break;
    case Shape::MultiBox:
      e.width = digits(e.rows.size() - 1) + label + 5;
      break;
    case Shape::Reset:
      e.width = label + 2;
      break;
    default:
      e.width = 3;
      break;
  }
}

// The elements of one operation (none for a barrier without qubits).
void add_elements(OperationRef operation, std::uint32_t num_qubits,
                  std::vector<Element>& out) {
  std::vector<std::uint32_t> rows;
  const std::span<const ClbitId> clbits = operation.clbits();
  for (const QubitId q : operation.qubits()) {
    rows.push_back(q.index);
  }
  Element e;
  const OperationKind kind = operation.kind();
  if (kind == OperationKind::Measure) {
    for (std::size_t k = 0; k < rows.size() && k < clbits.size();
         ++k) {
      Element m;
      m.shape = Shape::Measure;
      m.rows = {rows[k], num_qubits + clbits[k].index};
      finish(m);
      out.push_back(std::move(m));
    }
    return;
  }
  if (rows.empty()) {
    return;
  }
  e.rows = std::move(rows);
  if (kind == OperationKind::Barrier) {
    e.shape = Shape::Barrier;
  } else if (kind == OperationKind::Reset) {
    e.shape = e.rows.size() == 1 ? Shape::Reset : Shape::MultiBox;
    e.label = "|0>";
  } else if (kind == OperationKind::Delay) {
    e.shape = e.rows.size() == 1 ? Shape::Box : Shape::MultiBox;
    e.label = "Delay(" + std::to_string(operation.delay_duration()) + ")";
  } else {
    const std::optional<Kind> standard = operation.standard_gate();
    const auto form = standard ? controlled_form(*standard) : std::nullopt;
    if (form && e.rows.size() > form->controls) {
      e.shape = Shape::Controlled;
      e.controls = form->controls;
      e.swap_target = form->base.empty();
      e.label = gate_label(form->base, operation.parameters());
    } else if (standard == Kind::Swap) {
      e.shape = Shape::Swap;
    } else {
      e.shape = e.rows.size() == 1 ? Shape::Box : Shape::MultiBox;
      e.label = gate_label(operation.gate_name(), operation.parameters());
    }
  }
  finish(e);
  out.push_back(std::move(e));
}

// ---- drawing one element; `x` is its column's first cell, `w` its width.

std::size_t mid(std::uint32_t row) { return 2 * std::size_t{row} + 1; }

// The vertical line from row lo to row hi at cell `c`: single or double; it
// stops at the edge of the box on `box_row` (if any).
void connector(Canvas& canvas, std::size_t c, std::uint32_t lo,
               std::uint32_t hi, bool double_line,
               std::optional<std::uint32_t> box_row) {
  const std::uint8_t up = double_line ? Canvas::kUp2 : Canvas::kUp;
  const std::uint8_t down = double_line ? Canvas::kDown2 : Canvas::kDown;
  for (std::size_t line = mid(lo) + 1; line < mid(hi); ++line) {
    if (box_row && line == mid(*box_row)) {
      continue;
    }
    std::uint8_t arms = up | down;
    if (box_row && line == mid(*box_row) - 1) {
      arms = up;
    } else if (box_row && line == mid(*box_row) + 1) {
      arms = down;
    }
    canvas.join(line, c, arms);
  }
}

void box(Canvas& canvas, std::size_t left, std::size_t width, std::uint32_t row,
         std::string_view label) {
  canvas.join(mid(row) - 1, left, Canvas::kDown | Canvas::kRight);
  canvas.join_run(mid(row) - 1, left + 1, width - 2, Canvas::kHorizontal);
  canvas.join(mid(row) - 1, left + width - 1, Canvas::kDown | Canvas::kLeft);
  canvas.set(mid(row), left, Canvas::kVertical | Canvas::kLeft);
  for (std::size_t i = 1; i + 1 < width; ++i) {
    canvas.set(mid(row), left + i, 0);
  }
  canvas.text(mid(row), left + (width - display_width(label)) / 2, label);
  canvas.set(mid(row), left + width - 1, Canvas::kVertical | Canvas::kRight);
  canvas.join(mid(row) + 1, left, Canvas::kUp | Canvas::kRight);
  canvas.join_run(mid(row) + 1, left + 1, width - 2, Canvas::kHorizontal);
  canvas.join(mid(row) + 1, left + width - 1, Canvas::kUp | Canvas::kLeft);
}

void multi_box(Canvas& canvas, std::size_t left, const Element& e) {
  const std::size_t right = left + e.width - 1;
  canvas.join(mid(e.lo) - 1, left, Canvas::kDown | Canvas::kRight);
  canvas.join_run(mid(e.lo) - 1, left + 1, e.width - 2, Canvas::kHorizontal);
  canvas.join(mid(e.lo) - 1, right, Canvas::kDown | Canvas::kLeft);
  for (std::size_t line = mid(e.lo); line <= mid(e.hi); ++line) {
    for (std::size_t i = left; i <= right; ++i) {
      canvas.set(line, i, 0);
    }
    canvas.set(line, left, Canvas::kVertical);
    canvas.set(line, right, Canvas::kVertical);
  }
  for (std::size_t k = 0; k < e.rows.size(); ++k) {
    canvas.set(mid(e.rows[k]), left, Canvas::kVertical | Canvas::kLeft);
    canvas.set(mid(e.rows[k]), right, Canvas::kVertical | Canvas::kRight);
    canvas.text(mid(e.rows[k]), left + 1, std::to_string(k));
  }
  canvas.text(mid(e.lo), left + 2 + digits(e.rows.size() - 1), e.label);
  canvas.join(mid(e.hi) + 1, left, Canvas::kUp | Canvas::kRight);
  canvas.join_run(mid(e.hi) + 1, left + 1, e.width - 2, Canvas::kHorizontal);
  canvas.join(mid(e.hi) + 1, right, Canvas::kUp | Canvas::kLeft);
}

void draw_element(Canvas& canvas, const Element& e, std::size_t x,
                  std::size_t w) {
  const std::size_t c = x + w / 2;
  const std::size_t left = c - e.width / 2;
  switch (e.shape) {
    case Shape::Box:
      box(canvas, left, e.width, e.rows[0], e.label);
      return;
    case Shape::MultiBox:
      multi_box(canvas, left, e);
      return;
    case Shape::Reset:
      canvas.text(mid(e.rows[0]), left + 1, e.label);
      return;
    case Shape::Barrier:
      for (std::size_t k = 0; k < e.rows.size(); ++k) {
        canvas.text(mid(e.rows[k]), c, "░");
        if (std::find(e.rows.begin(), e.rows.end(), e.rows[k] + 1) !=
            e.rows.end()) {
          canvas.text(mid(e.rows[k]) + 1, c, "░");
        }
      }
      return;
    case Shape::Swap:
      connector(canvas, c, e.lo, e.hi, false, std::nullopt);
      canvas.text(mid(e.rows[0]), c, "X");
      canvas.text(mid(e.rows[1]), c, "X");
      return;
    case Shape::Measure:
      connector(canvas, c, e.rows[0], e.rows[1], true, e.rows[0]);
      canvas.join(mid(e.rows[1]), c, Canvas::kUp2);
      box(canvas, c - 1, 3, e.rows[0], "M");
      canvas.join(mid(e.rows[0]) + 1, c, Canvas::kDown2);
      return;
    case Shape::Controlled:
      break;
  }
  const bool single_target = !e.swap_target;
  connector(canvas, c, e.lo, e.hi, false,
            single_target ? std::optional(e.rows.back()) : std::nullopt);
  for (std::size_t k = 0; k < e.rows.size(); ++k) {
    if (k < e.controls) {
      canvas.text(mid(e.rows[k]), c, "■");
    } else if (e.swap_target) {
      canvas.text(mid(e.rows[k]), c, "X");
    }
  }
  if (single_target) {
    const std::uint32_t target = e.rows.back();
    box(canvas, left, e.width, target, e.label);
    if (target > e.lo) {
      canvas.join(mid(target) - 1, c, Canvas::kUp);
    }
    if (target < e.hi) {
      canvas.join(mid(target) + 1, c, Canvas::kDown);
    }
  }
}

// ---- layout

std::vector<std::string> row_labels(const Circuit& circuit) {
  std::vector<std::string> labels;
  auto add = [&labels](const auto& records, const char* lone) {
    for (const auto& r : records) {
      labels.push_back(r.register_name
                           ? *r.register_name + "_" + std::to_string(*r.index)
                           : lone + std::to_string(r.id.index));
    }
  };
  add(circuit.qubits(), "q_");
  add(circuit.clbits(), "c_");
  return labels;
}

// The columns in drawing order: layer by layer, within a layer as many
// columns as its overlapping elements need.
std::vector<Column> place(const Circuit& circuit,
                          const std::vector<Element>& elements,
                          const std::vector<std::uint32_t>& layer_of) {
  std::vector<std::vector<Column>> layers;
  // Per layer and column, the row spans taken.
  std::vector<std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>>>
      taken;
  for (std::uint32_t i = 0; i < elements.size(); ++i) {
    const Element& e = elements[i];
    const std::uint32_t layer = layer_of[i];
    if (layer >= layers.size()) {
      layers.resize(layer + 1);
      taken.resize(layer + 1);
    }
    std::size_t k = 0;
    for (; k < layers[layer].size(); ++k) {
      const auto& spans = taken[layer][k];
      if (std::none_of(spans.begin(), spans.end(), [&e](const auto& s) {
            return e.lo <= s.second && s.first <= e.hi;
          })) {
        break;
      }
    }
    if (k == layers[layer].size()) {
      layers[layer].emplace_back();
      taken[layer].emplace_back();
    }
    Column& column = layers[layer][k];
    column.elements.push_back(i);
    column.width = std::max(column.width, e.width);
    taken[layer][k].emplace_back(e.lo, e.hi);
  }
  std::vector<Column> columns;
  for (auto& layer : layers) {
    for (Column& column : layer) {
      columns.push_back(std::move(column));
    }
  }
  (void)circuit;
  return columns;
}

}  // namespace

std::string draw(const Circuit& circuit, std::int64_t fold) {
  const auto num_qubits = static_cast<std::uint32_t>(circuit.num_qubits());
  const std::size_t num_rows = circuit.num_qubits() + circuit.num_clbits();
  if (num_rows == 0) {
    return "";
  }
  std::vector<Element> elements;
  std::vector<std::uint32_t> layer_of;
  // The layer after the latest operation on each row, as depth counts.
  std::vector<std::uint32_t> next_layer(num_rows, 0);
  for_each_operation(circuit, [&](OperationRef operation) {
    std::uint32_t layer = 0;
    for (const QubitId q : operation.qubits()) {
      layer = std::max(layer, next_layer[q.index]);
    }
    for (const ClbitId b : operation.clbits()) {
      layer = std::max(layer, next_layer[num_qubits + b.index]);
    }
    for (const QubitId q : operation.qubits()) {
      next_layer[q.index] = layer + 1;
    }
    for (const ClbitId b : operation.clbits()) {
      next_layer[num_qubits + b.index] = layer + 1;
    }
    const std::size_t before = elements.size();
    add_elements(operation, num_qubits, elements);
    layer_of.resize(elements.size(), layer);
    (void)before;
  });
  const std::vector<Column> columns = place(circuit, elements, layer_of);

  const std::vector<std::string> labels = row_labels(circuit);
  std::size_t label_width = 0;
  for (const std::string& l : labels) {
    label_width = std::max(label_width, display_width(l));
  }
  label_width += 2;

  std::string out;
  std::size_t first = 0;
  do {
    const bool continued = first > 0;
    // Columns of this part: as many as fit, at least one.
    std::size_t end = first;
    std::size_t width = 0;
    while (end < columns.size()) {
      const std::size_t next = width + columns[end].width;
      if (end > first && fold > 0 &&
          label_width + 2 + next > static_cast<std::size_t>(fold)) {
        break;
      }
      width = next;
      ++end;
    }
    const bool more = end < columns.size();
    const std::size_t lead = continued ? 1 : 0;
    const std::size_t total = lead + std::max<std::size_t>(width, 1) +
                              (more ? 1 : 0);
    Canvas canvas(2 * num_rows + 1, total);
    for (std::uint32_t row = 0; row < num_rows; ++row) {
      canvas.join_run(mid(row), 0, total,
                      row < num_qubits ? Canvas::kHorizontal
                                       : Canvas::kHorizontal2);
      if (continued) {
        canvas.text(mid(row), 0, "«");
      }
      if (more) {
        canvas.text(mid(row), total - 1, "»");
      }
    }
    std::size_t x = lead;
    for (std::size_t k = first; k < end; ++k) {
      for (const std::uint32_t i : columns[k].elements) {
        draw_element(canvas, elements[i], x, columns[k].width);
      }
      x += columns[k].width;
    }
    std::vector<std::string> lines;
    for (std::size_t line = 0; line < 2 * num_rows + 1; ++line) {
      std::string text =
          line % 2 == 1 ? std::string(label_width - 2 -
                                          display_width(labels[line / 2]),
                                      ' ') +
                              labels[line / 2] + ": "
                        : std::string(label_width, ' ');
      text += canvas.line(line);
      text.erase(text.find_last_not_of(' ') + 1);
      lines.push_back(std::move(text));
    }
    std::size_t top = 0;
    std::size_t bottom = lines.size();
    while (top < bottom && lines[top].empty()) {
      ++top;
    }
    while (bottom > top && lines[bottom - 1].empty()) {
      --bottom;
    }
    if (continued) {
      out += "\n\n";
    }
    for (std::size_t line = top; line < bottom; ++line) {
      out += lines[line];
      if (line + 1 < bottom) {
        out += '\n';
      }
    }
    first = end;
  } while (first < columns.size());
  return out;
}

}  // namespace qelto::ir
