#pragma once

// The parts a method declaration is made of: parameters with their
// converters, the receiver and how it is borrowed, and the texts (the name in
// error messages, the text signature) derived from them.

#include <cstddef>
#include <string_view>
#include <type_traits>

#include "python/binding/object.hpp"
#include "python/binding/text.hpp"

namespace qelto::python {

// One parameter: its Python name and the converter of its argument.
//
// A converter is a class with
//   using Value = ...;   // what the library call receives
//   static std::optional<Value> convert(PyObject* argument, const char* name);
// (nothing with the Python error set on failure) and optionally
//   static constexpr std::string_view kDefault = "0";  // the parameter may be
//       // omitted: it then converts a null argument, and the text signature
//       // shows "name=0"
//   static constexpr bool kAfterValues = true;  // see Converted
//   static constexpr bool kKeywordOnly = true;  // see KeywordOnly
template <Text Name, class Converter>
struct Param {
  static constexpr const char* name = Name.c_str();
  using Convert = Converter;
};

template <class P>
concept Defaulted = requires { P::Convert::kDefault; };

// `Converter` for a parameter that can only be given by keyword: it comes
// after every other parameter and has a default; the text signature shows
// it after "*".
template <class Converter>
struct KeywordOnly : Converter {
  static_assert(requires { Converter::kDefault; },
                "a keyword-only parameter needs a default");
  static constexpr bool kKeywordOnly = true;
};

template <class P>
concept ByKeywordOnly = requires { P::Convert::kKeywordOnly; };

// How a method uses its receiver, which is the module's one borrow policy:
// the receiver is borrowed for the whole call, shared to read and exclusive
// to change, from before the first argument conversion, so that Python code
// run by a conversion (a user's __index__) meets the borrow instead of a
// value that changes underneath. The circuit builders are the one kind that
// converts first: a builder reads nothing of the circuit before its single
// library call, and a conversion may use the same circuit.
template <class V>
struct Reads {  // shared borrow, then bind and convert
  using Value = V;
};
template <class V>
struct Changes {  // exclusive borrow, then bind and convert
  using Value = V;
};
template <class V>
struct Builds {  // bind and convert, then the exclusive borrow
  using Value = V;
};
template <class V>
struct Static {  // a static method of the class of V: no receiver
  using Value = V;
};
struct Module {  // a module function
  using Value = void;
};

template <class R>
concept WithSelf = !std::is_same_v<R, Module> &&
                   !std::is_same_v<R, Static<typename R::Value>>;

// Python's reserved words, which inspect cannot accept as parameter names.
consteval bool is_python_keyword(std::string_view name) {
  constexpr std::string_view kKeywords[] = {
      "False",  "None",   "True",     "and",      "as",       "assert",
      "async",  "await",  "break",    "class",    "continue", "def",
      "del",    "elif",   "else",     "except",   "finally",  "for",
      "from",   "global", "if",       "import",   "in",       "is",
      "lambda", "nonlocal", "not",    "or",       "pass",     "raise",
      "return", "try",    "while",    "with",     "yield"};
  for (const std::string_view keyword : kKeywords) {
    if (name == keyword) {
      return true;
    }
  }
  return false;
}

// "Circuit.h" for a method of a class, "from_qasm" for a module function:
// the name that the binder's error messages use.
template <class Receiver, Text Name>
struct QualifiedName {
  static constexpr void write(TextWriter& out) {
    if constexpr (!std::is_same_v<Receiver, Module>) {
      out.add(class_name<typename Receiver::Value>);
      out.add('.');
    }
    out.add(Name.c_str());
  }
};

// The text signature "name($self, a, b=0)" of `Named::name`. A parameter
// named by a Python keyword is shown with a trailing underscore, and then
// every parameter is shown positional-only ("/"), since the shown names are
// not the keywords the binder accepts.
template <class Named, bool Self, class... Params>
struct TextSignature {
  static constexpr bool kPositionalOnly =
      (is_python_keyword(Params::name) || ...);

  static constexpr void write(TextWriter& out) {
    out.add(Named::name);
    out.add('(');
    bool first = true;
    const auto separate = [&] {
      if (!first) {
        out.add(", ");
      }
      first = false;
    };
    if (Self) {
      separate();
      out.add("$self");
    }
    [[maybe_unused]] bool keywords_only = false;
    (write_param<Params>(out, separate, keywords_only), ...);
    if (kPositionalOnly) {
      separate();
      out.add('/');
    }
    out.add(')');
  }

 private:
  template <class P, class Separate>
  static constexpr void write_param(TextWriter& out, const Separate& separate,
                                    bool& keywords_only) {
    if (ByKeywordOnly<P> && !keywords_only) {
      keywords_only = true;
      separate();
      out.add('*');
    }
    separate();
    out.add(P::name);
    if (is_python_keyword(P::name)) {
      out.add('_');
    }
    if constexpr (Defaulted<P>) {
      out.add('=');
      out.add(P::Convert::kDefault);
    }
  }
};

// A docstring as the interpreter reads it: the text signature, the "--"
// marker line, then the documentation.
template <class Signature, Text Body>
struct DocString {
  static constexpr void write(TextWriter& out) {
    Signature::write(out);
    out.add("\n--\n\n");
    out.add(Body.c_str());
  }
};

// How many leading parameters can be given by position.
template <class... Params>
consteval std::size_t positional_count() {
  std::size_t count = 0;
  bool keyword_only = false;
  ((keyword_only = keyword_only || ByKeywordOnly<Params>,
    count += keyword_only ? 0 : 1),
   ...);
  return count;
}

// How many leading parameters have no default.
template <class... Params>
consteval std::size_t required_count() {
  std::size_t count = 0;
  bool defaulted = false;
  ((defaulted = defaulted || Defaulted<Params>, count += defaulted ? 0 : 1),
   ...);
  return count;
}

}  // namespace qelto::python
