#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qelto::ir {

// The drawing surface of a circuit diagram: lines of cells, each either a
// text character or a set of box-drawing arms (up, down, left, right; single
// or double). Arms drawn into the same cell join (a box's bottom edge over
// the next box's top edge becomes "├───┤"); text replaces arms.
class DrawCanvas {
 public:
  enum Arm : std::uint8_t {
    kUp = 1,
    kDown = 2,
    kLeft = 4,
    kRight = 8,
    kUp2 = 16,
    kDown2 = 32,
    kLeft2 = 64,
    kRight2 = 128,
  };
  static constexpr std::uint8_t kVertical = kUp | kDown;
  static constexpr std::uint8_t kHorizontal = kLeft | kRight;
  static constexpr std::uint8_t kVertical2 = kUp2 | kDown2;
  static constexpr std::uint8_t kHorizontal2 = kLeft2 | kRight2;

  DrawCanvas(std::size_t lines, std::size_t width);

  [[nodiscard]] std::size_t width() const noexcept { return width_; }
  // Joins `arms` with the arms already in the cell (a text cell stays).
  void join(std::size_t line, std::size_t column, std::uint8_t arms);
  // Makes the cell exactly `arms`, dropping text or arms in it.
  void set(std::size_t line, std::size_t column, std::uint8_t arms);
  // Writes `text` (UTF-8) from `column` on, one code point per cell.
  void text(std::size_t line, std::size_t column, std::string_view text);
  // `count` cells of `arms` joined from `column` on.
  void join_run(std::size_t line, std::size_t column, std::size_t count,
                std::uint8_t arms);

  // One line as UTF-8, trailing blanks removed.
  [[nodiscard]] std::string line(std::size_t line) const;

 private:
  struct Cell {
    char32_t text = 0;
    std::uint8_t arms = 0;
  };
  Cell& at(std::size_t line, std::size_t column) {
    return cells_[line * width_ + column];
  }

  std::size_t width_;
  std::vector<Cell> cells_;
};

// The number of code points in UTF-8 `text` (the cells it takes).
[[nodiscard]] std::size_t display_width(std::string_view text) noexcept;

}  // namespace qelto::ir
