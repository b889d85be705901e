#pragma once

#include <cstddef>
#include <string_view>

namespace qelto::python {

// A string known at compile time that can be a template argument, so that a
// declaration's names and docstring are one value the binder and the
// documentation both read.
template <std::size_t N>
struct Text {
  char chars[N] = {};

  constexpr Text() = default;
  constexpr Text(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
      chars[i] = text[i];
    }
  }
  constexpr const char* c_str() const { return chars; }
};

template <std::size_t N>
Text(const char (&)[N]) -> Text<N>;

// Appends to a buffer; with no buffer it only counts, which is how a text's
// length is found before the text is written.
struct TextWriter {
  char* out = nullptr;
  std::size_t size = 0;

  constexpr void add(char c) {
    if (out != nullptr) {
      out[size] = c;
    }
    ++size;
  }
  constexpr void add(std::string_view text) {
    for (const char c : text) {
      add(c);
    }
  }
};

namespace detail {

template <class Writer>
consteval std::size_t text_size() {
  TextWriter counter;
  Writer::write(counter);
  return counter.size;
}

template <class Writer>
consteval auto write_text() {
  Text<text_size<Writer>() + 1> text;
  TextWriter writer{text.chars};
  Writer::write(writer);
  text.chars[writer.size] = '\0';
  return text;
}

}  // namespace detail

// The text that `Writer::write(TextWriter&)` produces, made at compile time.
template <class Writer>
inline constexpr auto text_of = detail::write_text<Writer>();

}  // namespace qelto::python
