#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "qasm3/token.hpp"

namespace qelto::qasm3 {

// One lexeme: a token's kind and place, or a range the lexer cannot read.
struct Lexeme {
  // Meaningless when `failed`.
  TokenKind kind = TokenKind::OpenQasm;
  // A range the lexer cannot read, an integer above 64 bits among them.
  bool failed = false;
  // A string literal's span includes its quotes.
  Span span;
  // IntLiteral only.
  std::uint64_t value = 0;
};

// Splits source text into lexemes without copying any text. Whitespace and
// comments are skipped. The view must outlive the scanner.
class Scanner {
 public:
  explicit Scanner(std::string_view source) : src_(source) {}

  // The next lexeme, or false at the end of input.
  [[nodiscard]] bool next(Lexeme& lexeme);

 private:
  std::string_view src_;
  std::size_t pos_ = 0;
};

// The scanner's rules and its loop are defined here rather than in a source
// file: the parser and the lexer call `next` once per token, and only a
// definition they can see gets inlined into their loops.
namespace scanning {

enum class ByteClass : std::uint8_t {
  Invalid,
  Space,
  Letter,
  Digit,
  Quote,
  Operator,
};

// True for the bytes that start an operator or punctuation spelling rather
// than a keyword.
constexpr bool byte_is_punctuation(char c) {
  return !(c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
}

// The class of every byte value. Only the four ASCII blanks are whitespace;
// bytes of non-ASCII characters are invalid.
constexpr std::array<ByteClass, 256> make_byte_classes() {
  std::array<ByteClass, 256> classes{};
  for (const char c : {' ', '\t', '\n', '\r'}) {
    classes[static_cast<unsigned char>(c)] = ByteClass::Space;
  }
  for (int c = 'a'; c <= 'z'; ++c) {
    classes[static_cast<std::size_t>(c)] = ByteClass::Letter;
    classes[static_cast<std::size_t>(c - 'a' + 'A')] = ByteClass::Letter;
  }
  classes['_'] = ByteClass::Letter;
  for (int c = '0'; c <= '9'; ++c) {
    classes[static_cast<std::size_t>(c)] = ByteClass::Digit;
  }
  classes['"'] = ByteClass::Quote;
  for (const std::string_view symbol : kTokenSpellings) {
    if (!symbol.empty() && byte_is_punctuation(symbol[0])) {
      classes[static_cast<unsigned char>(symbol[0])] = ByteClass::Operator;
    }
  }
  return classes;
}

inline constexpr std::array<ByteClass, 256> kByteClasses = make_byte_classes();

inline ByteClass byte_class(char c) {
  return kByteClasses[static_cast<unsigned char>(c)];
}

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline bool is_word_byte(char c) {
  const ByteClass cls = byte_class(c);
  return cls == ByteClass::Letter || cls == ByteClass::Digit;
}

// Up to eight bytes packed into one number, first byte lowest, so that a
// keyword is found with one comparison per candidate. Identifier bytes are
// never zero, so equal keys mean equal words.
constexpr std::uint64_t pack(std::string_view word) {
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < word.size(); ++i) {
    key |= std::uint64_t{static_cast<unsigned char>(word[i])} << (8 * i);
  }
  return key;
}

struct Keyword {
  std::string_view text;
  TokenKind kind;
};

inline constexpr std::size_t kKeywordCount = 0
#define QELTO_KEYWORD(Name, spelling) +1
#include "qasm3/token_kind.def"
    ;

// The keywords of token_kind.def sorted by text, so that those sharing a
// first byte are contiguous and a lookup compares against at most a handful
// of candidates.
constexpr std::array<Keyword, kKeywordCount> make_keywords() {
  std::array<Keyword, kKeywordCount> keywords = {{
#define QELTO_KEYWORD(Name, spelling) {spelling, TokenKind::Name},
#include "qasm3/token_kind.def"
  }};
  std::sort(keywords.begin(), keywords.end(),
            [](const Keyword& a, const Keyword& b) { return a.text < b.text; });
  return keywords;
}

inline constexpr std::array<Keyword, kKeywordCount> kKeywords = make_keywords();

inline constexpr std::size_t kLongestKeyword = 8;

constexpr std::array<std::uint64_t, kKeywordCount> make_keyword_keys() {
  std::array<std::uint64_t, kKeywordCount> keys{};
  for (std::size_t i = 0; i < kKeywords.size(); ++i) {
    keys[i] = pack(kKeywords[i].text);
  }
  return keys;
}

inline constexpr std::array<std::uint64_t, kKeywordCount> kKeywordKeys =
    make_keyword_keys();

constexpr bool keywords_fit_keys() {
  for (const Keyword& keyword : kKeywords) {
    if (keyword.text.size() > kLongestKeyword) {
      return false;
    }
  }
  return true;
}
static_assert(keywords_fit_keys(), "a keyword longer than a key");

struct KeywordRange {
  std::uint8_t begin = 0;
  std::uint8_t end = 0;
};

constexpr std::array<KeywordRange, 128> make_keyword_index() {
  std::array<KeywordRange, 128> index{};
  for (std::size_t i = 0; i < kKeywords.size(); ++i) {
    auto& range = index[static_cast<unsigned char>(kKeywords[i].text[0])];
    if (range.begin == range.end) {
      range.begin = static_cast<std::uint8_t>(i);
    }
    range.end = static_cast<std::uint8_t>(i + 1);
  }
  return index;
}

inline constexpr std::array<KeywordRange, 128> kKeywordIndex =
    make_keyword_index();

inline std::optional<TokenKind> keyword(std::string_view word) {
  if (word.size() > kLongestKeyword) {
    return std::nullopt;
  }
  const std::uint64_t key = pack(word);
  const KeywordRange range = kKeywordIndex[static_cast<unsigned char>(word[0])];
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (kKeywordKeys[i] == key) {
      return kKeywords[i].kind;
    }
  }
  return std::nullopt;
}

// End of a complete exponent (`e` or `E`, an optional sign, at least one
// digit) starting at `i`, or `i` if there is none.
inline std::size_t exponent_end(std::string_view s, std::size_t i) {
  if (i >= s.size() || (s[i] != 'e' && s[i] != 'E')) {
    return i;
  }
  std::size_t j = i + 1;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
    ++j;
  }
  if (j >= s.size() || !is_digit(s[j])) {
    return i;
  }
  while (j < s.size() && is_digit(s[j])) {
    ++j;
  }
  return j;
}

// Bytes in a UTF-8 sequence announced by its lead byte; 1 for bytes that
// cannot lead one, so a stray continuation byte fails on its own.
inline std::size_t utf8_length(unsigned char lead) {
  if (lead >= 0xC0 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF7) {
    return 4;
  }
  return 1;
}

// How an operator byte continues: `one` alone, or one of up to two
// two-byte spellings chosen by the following byte.
struct OperatorRule {
  std::optional<TokenKind> one;
  char second = 0;
  std::optional<TokenKind> two;
  char alt_second = 0;
  std::optional<TokenKind> alt;
};

// Built from the symbols of token_kind.def: a one-byte spelling is `one`,
// two-byte spellings fill `two`, then `alt`, of the rule of their first
// byte.
constexpr std::array<OperatorRule, 128> make_operator_rules() {
  std::array<OperatorRule, 128> rules{};
  const auto add = [&](std::string_view text, TokenKind kind) {
    OperatorRule& rule = rules[static_cast<unsigned char>(text[0])];
    if (text.size() == 1) {
      rule.one = kind;
    } else if (!rule.two) {
      rule.second = text[1];
      rule.two = kind;
    } else {
      rule.alt_second = text[1];
      rule.alt = kind;
    }
  };
#define QELTO_SYMBOL(Name, spelling) add(spelling, TokenKind::Name);
#include "qasm3/token_kind.def"
  return rules;
}

inline constexpr std::array<OperatorRule, 128> kOperatorRules =
    make_operator_rules();

// Sets `lexeme` to a token of `kind` over [start, end).
inline void set(Lexeme& lexeme, TokenKind kind, std::size_t start,
                std::size_t end) {
  lexeme.kind = kind;
  lexeme.failed = false;
  lexeme.span = Span{start, end};
}

// Sets `lexeme` to a failure over [start, end).
inline void set_failed(Lexeme& lexeme, std::size_t start, std::size_t end) {
  lexeme.failed = true;
  lexeme.span = Span{start, end};
}

// End of the comment at `pos` (`//` or `/*`), or npos for a block comment
// that is never closed.
inline std::size_t comment_end(std::string_view src, std::size_t pos) {
  if (src[pos + 1] == '/') {
    const std::size_t lf = src.find('\n', pos + 2);
    return lf == std::string_view::npos ? src.size() : lf;
  }
  const std::size_t close = src.find("*/", pos + 2);
  return close == std::string_view::npos ? close : close + 2;
}

inline bool starts_comment(std::string_view src, std::size_t pos) {
  return src[pos] == '/' && pos + 1 < src.size() &&
         (src[pos + 1] == '/' || src[pos + 1] == '*');
}

inline void scan_word(std::string_view src, std::size_t pos, Lexeme& lexeme) {
  std::size_t end = pos + 1;
  while (end < src.size() && is_word_byte(src[end])) {
    ++end;
  }
  const auto kind = keyword(src.substr(pos, end - pos));
  set(lexeme, kind.value_or(TokenKind::Identifier), pos, end);
}

// The integer part is read into its value as it goes; a float part after
// it (a `.`, or a complete exponent) makes the whole lexeme a float, and a
// digit run beyond 64 bits that stays an integer fails over its whole
// length.
inline void scan_number(std::string_view src, std::size_t pos, Lexeme& lexeme) {
  std::uint64_t value = 0;
  bool overflow = false;
  std::size_t end = pos;
  while (end < src.size() && is_digit(src[end])) {
    const auto digit = static_cast<std::uint64_t>(src[end] - '0');
    overflow |= __builtin_mul_overflow(value, 10u, &value);
    overflow |= __builtin_add_overflow(value, digit, &value);
    ++end;
  }
  if (end < src.size() && src[end] == '.') {
    std::size_t fraction = end + 1;
    while (fraction < src.size() && is_digit(src[fraction])) {
      ++fraction;
    }
    return set(lexeme, TokenKind::FloatLiteral, pos,
               exponent_end(src, fraction));
  }
  if (const std::size_t exp_end = exponent_end(src, end); exp_end != end) {
    return set(lexeme, TokenKind::FloatLiteral, pos, exp_end);
  }
  if (overflow) {
    return set_failed(lexeme, pos, end);
  }
  lexeme.value = value;
  set(lexeme, TokenKind::IntLiteral, pos, end);
}

// A string runs to the next double quote; without one it fails up to the
// end of input.
inline void scan_string(std::string_view src, std::size_t pos, Lexeme& lexeme) {
  const std::size_t close = src.find('"', pos + 1);
  if (close == std::string_view::npos) {
    return set_failed(lexeme, pos, src.size());
  }
  set(lexeme, TokenKind::StringLiteral, pos, close + 1);
}

// The longest operator or punctuation spelling at `pos`; false if the byte
// starts none.
inline bool scan_operator(std::string_view src, std::size_t pos,
                          Lexeme& lexeme) {
  const auto c = static_cast<unsigned char>(src[pos]);
  const OperatorRule& rule = kOperatorRules[c & 0x7F];
  if (c >= 128 || !rule.one) {
    return false;
  }
  const char next = pos + 1 < src.size() ? src[pos + 1] : '\0';
  if (rule.two && next == rule.second) {
    set(lexeme, *rule.two, pos, pos + 2);
  } else if (rule.alt && next == rule.alt_second) {
    set(lexeme, *rule.alt, pos, pos + 2);
  } else {
    set(lexeme, *rule.one, pos, pos + 1);
  }
  return true;
}

// One whole character: the byte at `pos` and the continuation bytes its
// UTF-8 lead byte announces, as far as they are present.
inline void scan_invalid(std::string_view src, std::size_t pos,
                         Lexeme& lexeme) {
  const auto lead = static_cast<unsigned char>(src[pos]);
  const std::size_t limit = std::min(src.size(), pos + utf8_length(lead));
  std::size_t end = pos + 1;
  while (end < limit && (static_cast<unsigned char>(src[end]) & 0xC0) == 0x80) {
    ++end;
  }
  set_failed(lexeme, pos, end);
}

inline void scan_lexeme(std::string_view src, std::size_t pos, Lexeme& lexeme) {
  switch (byte_class(src[pos])) {
    case ByteClass::Letter:
      return scan_word(src, pos, lexeme);
    case ByteClass::Digit:
      return scan_number(src, pos, lexeme);
    case ByteClass::Quote:
      return scan_string(src, pos, lexeme);
    case ByteClass::Operator:
      if (scan_operator(src, pos, lexeme)) {
        return;
      }
      break;
    default:
      break;
  }
  scan_invalid(src, pos, lexeme);
}

}  // namespace scanning

inline bool Scanner::next(Lexeme& lexeme) {
  std::size_t pos = pos_;
  for (;;) {
    while (pos < src_.size() &&
           scanning::byte_class(src_[pos]) == scanning::ByteClass::Space) {
      ++pos;
    }
    if (pos >= src_.size()) {
      pos_ = pos;
      return false;
    }
    if (!scanning::starts_comment(src_, pos)) {
      break;
    }
    const std::size_t end = scanning::comment_end(src_, pos);
    if (end == std::string_view::npos) {
      scanning::set_failed(lexeme, pos, src_.size());
      pos_ = src_.size();
      return true;
    }
    pos = end;
  }
  scanning::scan_lexeme(src_, pos, lexeme);
  pos_ = lexeme.span.end;
  return true;
}

}  // namespace qelto::qasm3
