#include "python/classes.hpp"

#include <bit>
#include <charconv>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/method.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {
namespace {

using compile::BasisGates;

// The `gates` parameter: a sequence other than a str, whose items are all
// str. A str is refused outright: taken as a sequence it would silently
// become a list of one-letter gate names.
struct GateNames {
  using Value = std::vector<std::string>;
  static std::optional<Value> convert(PyObject* value, const char* name) {
    if (PyUnicode_Check(value)) {
      PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
      return argument_failed(name);
    }
    if (!PySequence_Check(value)) {
      return argument_refused(value, "Sequence", name);
    }
    PyRef iterator = PyRef::steal(PyObject_GetIter(value));
    if (!iterator) {
      return argument_failed(name);
    }
    Value names;
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
      auto text = to_utf8(item.get(), name);
      if (!text) {
        return std::nullopt;
      }
      names.push_back(std::move(*text));
    }
    if (PyErr_Occurred() != nullptr) {
      return argument_failed(name);
    }
    return names;
  }
};

// Which characters the text form writes as themselves. Beyond ASCII this is
// decided by general category from the interpreter's own Unicode database,
// so it follows the Unicode version the interpreter ships.
class Printable {
 public:
  // Nothing, with the error set, when the database cannot be consulted.
  std::optional<bool> operator()(Py_UCS4 c) {
    if (c < 0x80) {
      // The C0 controls and DEL are the only ASCII characters of category
      // Cc; every other ASCII character, the space included, is shown.
      return c >= 0x20 && c != 0x7f;
    }
    if (!category_ && !load()) {
      return std::nullopt;
    }
    PyRef character =
        PyRef::steal(PyUnicode_FromOrdinal(static_cast<int>(c)));
    if (!character) {
      return std::nullopt;
    }
    PyRef category = PyRef::steal(PyObject_CallFunctionObjArgs(
        category_.get(), character.get(), nullptr));
    if (!category) {
      return std::nullopt;
    }
    const Py_UCS4 major = PyUnicode_ReadChar(category.get(), 0);
    if (PyErr_Occurred() != nullptr) {
      return std::nullopt;
    }
    const Py_UCS4 minor = PyUnicode_ReadChar(category.get(), 1);
    if (PyErr_Occurred() != nullptr) {
      return std::nullopt;
    }
    // Other (Cc, Cf, Cs, Co, Cn), separators (Zs, Zl, Zp) and the marks that
    // attach to the preceding character (Mn, Me) would be invisible or
    // misleading if written raw.
    const bool hidden = major == 'C' || major == 'Z' ||
                        (major == 'M' && (minor == 'n' || minor == 'e'));
    return !hidden;
  }

 private:
  bool load() {
    PyRef module = PyRef::steal(PyImport_ImportModule("unicodedata"));
    if (!module) {
      return false;
    }
    category_ = PyRef::steal(PyObject_GetAttrString(module.get(), "category"));
    return static_cast<bool>(category_);
  }

  PyRef category_;
};

void append_ascii(std::u32string& out, std::string_view text) {
  out.append(text.begin(), text.end());
}

// Appends one character as the text form writes it.
bool append_escaped(std::u32string& out, Py_UCS4 c, Printable& printable) {
  switch (c) {
    case '"':
      append_ascii(out, "\\\"");
      return true;
    case '\\':
      append_ascii(out, "\\\\");
      return true;
    case '\t':
      append_ascii(out, "\\t");
      return true;
    case '\r':
      append_ascii(out, "\\r");
      return true;
    case '\n':
      append_ascii(out, "\\n");
      return true;
    case '\0':
      append_ascii(out, "\\0");
      return true;
    default:
      break;
  }
  const auto shown = printable(c);
  if (!shown) {
    return false;
  }
  if (*shown) {
    out.push_back(c);
    return true;
  }
  char hex[8];
  const auto end = std::to_chars(std::begin(hex), std::end(hex), c, 16).ptr;
  append_ascii(out, "\\u{");
  append_ascii(out, std::string_view(hex, static_cast<std::size_t>(end - hex)));
  out.push_back('}');
  return true;
}

// Appends `name` between double quotes. Bytes that are not UTF-8 (which no
// name from Python can hold) come out as escaped lone surrogates.
bool append_quoted(std::u32string& out, const std::string& name,
                   Printable& printable) {
  PyRef text = PyRef::steal(PyUnicode_DecodeUTF8(
      name.data(), static_cast<Py_ssize_t>(name.size()), "surrogateescape"));
  if (!text) {
    return false;
  }
  const Py_ssize_t length = PyUnicode_GetLength(text.get());
  if (length < 0) {
    return false;
  }
  out.push_back('"');
  for (Py_ssize_t i = 0; i < length; ++i) {
    if (!append_escaped(out, PyUnicode_ReadChar(text.get(), i), printable)) {
      return false;
    }
  }
  out.push_back('"');
  return true;
}

// The text form: BasisGates(["cx", ...]) with each name quoted and escaped.
PyRef gates_text(const BasisGates& gates) {
  Printable printable;
  std::u32string text = U"BasisGates([";
  const char* separator = "";
  for (const std::string& name : gates.gates()) {
    append_ascii(text, separator);
    if (!append_quoted(text, name, printable)) {
      return PyRef();
    }
    separator = ", ";
  }
  append_ascii(text, "])");
  int byte_order = std::endian::native == std::endian::little ? -1 : 1;
  return PyRef::steal(PyUnicode_DecodeUTF32(
      reinterpret_cast<const char*>(text.data()),
      static_cast<Py_ssize_t>(text.size() * sizeof(char32_t)), "strict",
      &byte_order));
}

BasisGates make(std::vector<std::string> gates) {
  return BasisGates(std::move(gates));
}

using New = Constructor<BasisGates, &make,
                        "Basis gates for the target device.\n"
                        "\n"
                        "The basis gates define the native gate set that the "
                        "target\n"
                        "hardware supports.",
                        Param<"gates", GateNames>>;

PyMethodDef methods[] = {
    Method<"contains", Reads<BasisGates>, &BasisGates::contains,
           "Check if a gate is in the basis.", Param<"gate", Str>>::def(),
    Method<"gates", Reads<BasisGates>, &BasisGates::gates,
           "Get the basis gates as a list.">::def(),
    Method<"iqm", Static<BasisGates>, &BasisGates::iqm,
           "Create IQM basis gates (PRX + CZ).">::def(),
    Method<"ibm", Static<BasisGates>, &BasisGates::ibm,
           "Create IBM basis gates (RZ + SX + X + CX).">::def(),
    Method<"universal", Static<BasisGates>, &BasisGates::universal,
           "Create a universal basis (all standard gates).">::def(),
    {},
};

}  // namespace

template <>
ClassDef& class_def<BasisGates>() {
  static ClassDef& cls =
      define_class<BasisGates, New, &gates_text>(methods);
  return cls;
}

}  // namespace qelto::python
