#include "ir/draw_canvas.hpp"

#include <array>
#include <cassert>
#include <cstring>

namespace qelto::ir {
namespace {

using C = DrawCanvas;

struct Glyph {
  std::uint8_t arms;
  char32_t glyph;
};

// Every arm combination the diagram draws. A combination not listed falls
// back to the glyph of its vertical or horizontal part.
constexpr std::array<Glyph, 27> kGlyphs = {{
    {C::kHorizontal, U'─'},
    {C::kVertical, U'│'},
    {C::kDown | C::kRight, U'┌'},
    {C::kDown | C::kLeft, U'┐'},
    {C::kUp | C::kRight, U'└'},
    {C::kUp | C::kLeft, U'┘'},
    {C::kVertical | C::kRight, U'├'},
    {C::kVertical | C::kLeft, U'┤'},
    {C::kHorizontal | C::kDown, U'┬'},
    {C::kHorizontal | C::kUp, U'┴'},
    {C::kVertical | C::kHorizontal, U'┼'},
    {C::kUp, U'│'},
    {C::kDown, U'│'},
    {C::kLeft, U'─'},
    {C::kRight, U'─'},
    {C::kHorizontal2, U'═'},
    {C::kVertical2, U'║'},
    {C::kVertical2 | C::kHorizontal, U'╫'},
    {C::kVertical2 | C::kHorizontal2, U'╬'},
    {C::kUp2 | C::kHorizontal2, U'╩'},
    {C::kDown2 | C::kHorizontal, U'╥'},
    {C::kUp2 | C::kHorizontal, U'╨'},
    {C::kVertical | C::kHorizontal2, U'╪'},
    {C::kDown2, U'║'},
    {C::kUp2, U'║'},
    {C::kDown2 | C::kHorizontal2, U'╦'},
    {C::kVertical2 | C::kLeft | C::kRight, U'╫'},
}};

char32_t find_glyph(std::uint8_t arms) {
  if (arms == 0) {
    return U' ';
  }
  for (const Glyph& g : kGlyphs) {
    if (g.arms == arms) {
      return g.glyph;
    }
  }
  if ((arms & C::kVertical2) != 0) {
    return U'║';
  }
  return (arms & C::kVertical) != 0 ? U'│' : U'─';
}

// A glyph as UTF-8.
struct Encoded {
  char bytes[4];
  std::uint8_t size;
};

Encoded encode(char32_t c);

// Every cell of a diagram looks its glyph up, so all 256 arm sets are
// resolved and encoded once.
const std::array<Encoded, 256>& glyph_table() {
  static const std::array<Encoded, 256> table = [] {
    std::array<Encoded, 256> t{};
    for (std::size_t arms = 0; arms < t.size(); ++arms) {
      t[arms] = encode(find_glyph(static_cast<std::uint8_t>(arms)));
    }
    return t;
  }();
  return table;
}

Encoded encode(char32_t c) {
  Encoded e{};
  if (c < 0x80) {
    e.bytes[0] = static_cast<char>(c);
    e.size = 1;
  } else if (c < 0x800) {
    e.bytes[0] = static_cast<char>(0xC0 | (c >> 6));
    e.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
    e.size = 2;
  } else if (c < 0x10000) {
    e.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    e.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    e.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
    e.size = 3;
  } else {
    e.bytes[0] = static_cast<char>(0xF0 | (c >> 18));
    e.bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    e.bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    e.bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
    e.size = 4;
  }
  return e;
}

bool is_continuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

std::size_t display_width(std::string_view text) noexcept {
  std::size_t width = 0;
  for (char byte : text) {
    width += is_continuation(byte) ? 0 : 1;
  }
  return width;
}

DrawCanvas::DrawCanvas(std::size_t lines, std::size_t width)
    : width_(width), cells_(lines * width) {}

void DrawCanvas::join(std::size_t line, std::size_t column,
                      std::uint8_t arms) {
  Cell& cell = at(line, column);
  if (cell.text == 0) {
    cell.arms |= arms;
  }
}

void DrawCanvas::set(std::size_t line, std::size_t column, std::uint8_t arms) {
  at(line, column) = Cell{0, arms};
}

void DrawCanvas::join_run(std::size_t line, std::size_t column,
                          std::size_t count, std::uint8_t arms) {
  for (std::size_t i = 0; i < count; ++i) {
    join(line, column + i, arms);
  }
}

void DrawCanvas::text(std::size_t line, std::size_t column,
                      std::string_view text) {
  // Decodes UTF-8 written by the diagram itself or taken from names (a
  // malformed sequence still takes one cell per lead byte).
  std::size_t i = 0;
  while (i < text.size() && column < width_) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead
                 : length == 2 ? (lead & 0x1F)
                 : length == 3 ? (lead & 0x0F)
                               : (lead & 0x07);
    std::size_t k = 1;
    for (; k < length && i + k < text.size() && is_continuation(text[i + k]);
         ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += k;
    at(line, column++) = Cell{c == 0 ? U'?' : c, 0};
  }
}

std::string DrawCanvas::line(std::size_t line) const {
  const auto& glyphs = glyph_table();
  // At most four bytes a cell, written in place; cut to size at the end.
  std::string out(4 * width_, '\0');
  char* next = out.data();
  std::size_t kept = 0;
  const Cell* cells = &cells_[line * width_];
  for (std::size_t column = 0; column < width_; ++column) {
    const Cell& cell = cells[column];
    const Encoded e = cell.text != 0 ? encode(cell.text) : glyphs[cell.arms];
    std::memcpy(next, e.bytes, 4);
    next += e.size;
    if (e.size != 1 || e.bytes[0] != ' ') {
      kept = static_cast<std::size_t>(next - out.data());
    }
  }
  out.resize(kept);
  return out;
}

}  // namespace qelto::ir
