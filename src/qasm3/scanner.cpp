#include "qasm3/scanner.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "qasm3/number.hpp"

namespace qelto::qasm3 {
namespace {

constexpr bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

constexpr bool is_ident_start(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

constexpr bool is_ident_char(unsigned char c) {
  return is_ident_start(c) || is_digit(c);
}

constexpr bool is_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

struct Keyword {
  std::string_view text;
  TokenKind kind;
};

// The 30 keywords, grouped by first byte so a lookup compares against at
// most a handful of candidates.
constexpr std::array<Keyword, 30> kKeywords = {{
    {"CX", TokenKind::CX},         {"OPENQASM", TokenKind::OpenQasm},
    {"U", TokenKind::U},           {"barrier", TokenKind::Barrier},
    {"bit", TokenKind::Bit},       {"bool", TokenKind::Bool},
    {"const", TokenKind::Const},   {"def", TokenKind::Def},
    {"delay", TokenKind::Delay},   {"else", TokenKind::Else},
    {"euler", TokenKind::Euler},   {"false", TokenKind::False},
    {"float", TokenKind::Float},   {"for", TokenKind::For},
    {"gate", TokenKind::Gate},     {"if", TokenKind::If},
    {"in", TokenKind::In},         {"include", TokenKind::Include},
    {"input", TokenKind::Input},   {"int", TokenKind::Int},
    {"let", TokenKind::Let},       {"measure", TokenKind::Measure},
    {"output", TokenKind::Output}, {"pi", TokenKind::Pi},
    {"qubit", TokenKind::Qubit},   {"reset", TokenKind::Reset},
    {"return", TokenKind::Return}, {"tau", TokenKind::Tau},
    {"true", TokenKind::True},     {"while", TokenKind::While},
}};

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

constexpr std::array<KeywordRange, 128> kKeywordIndex = make_keyword_index();

std::optional<TokenKind> keyword(std::string_view word) {
  const KeywordRange range = kKeywordIndex[static_cast<unsigned char>(word[0])];
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (kKeywords[i].text == word) {
      return kKeywords[i].kind;
    }
  }
  return std::nullopt;
}

// Bytes in a UTF-8 sequence announced by its lead byte; 1 for bytes that
// cannot lead one, so a stray continuation byte fails on its own.
std::size_t utf8_length(unsigned char lead) {
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

constexpr std::array<OperatorRule, 128> make_operator_rules() {
  using K = TokenKind;
  std::array<OperatorRule, 128> rules{};
  const auto set = [&](char c, OperatorRule rule) {
    rules[static_cast<unsigned char>(c)] = rule;
  };
  set('*', {K::Star, '*', K::DoubleStar, '=', K::StarEq});
  set('/', {K::Slash, '=', K::SlashEq, 0, {}});
  set('<', {K::Lt, '<', K::LShift, '=', K::LtEq});
  set('>', {K::Gt, '>', K::RShift, '=', K::GtEq});
  set('-', {K::Minus, '>', K::Arrow, '=', K::MinusEq});
  set('+', {K::Plus, '=', K::PlusEq, 0, {}});
  set('=', {K::Equals, '=', K::EqEq, 0, {}});
  set('!', {K::Bang, '=', K::NotEq, 0, {}});
  set('&', {K::Amp, '&', K::AndAnd, 0, {}});
  set('|', {K::Pipe, '|', K::OrOr, 0, {}});
  const std::pair<char, K> singles[] = {
      {'%', K::Percent},  {'^', K::Caret},     {'~', K::Tilde},
      {'@', K::At},       {'(', K::LParen},    {')', K::RParen},
      {'[', K::LBracket}, {']', K::RBracket},  {'{', K::LBrace},
      {'}', K::RBrace},   {';', K::Semicolon}, {':', K::Colon},
      {',', K::Comma},    {'.', K::Dot},
  };
  for (const auto& [c, kind] : singles) {
    set(c, {kind, 0, {}, 0, {}});
  }
  return rules;
}

constexpr std::array<OperatorRule, 128> kOperatorRules = make_operator_rules();

}  // namespace

bool Scanner::next(Lexeme& lexeme) {
  bool failed = false;
  if (!skip_trivia(lexeme, failed)) {
    return failed;
  }
  const unsigned char c = static_cast<unsigned char>(src_[pos_]);
  if (is_ident_start(c)) {
    scan_word(lexeme);
  } else if (is_digit(c)) {
    scan_number(lexeme);
  } else if (c == '"') {
    scan_string(lexeme);
  } else if (!scan_operator(lexeme)) {
    scan_invalid(lexeme);
  }
  return true;
}

// Skips whitespace and comments. False at the end of input, with `failed`
// set when the end was reached inside an unterminated block comment (then
// `lexeme` holds that failure).
bool Scanner::skip_trivia(Lexeme& lexeme, bool& failed) {
  for (;;) {
    while (pos_ < src_.size() &&
           is_space(static_cast<unsigned char>(src_[pos_]))) {
      ++pos_;
    }
    if (pos_ >= src_.size()) {
      return false;
    }
    if (src_[pos_] != '/' || pos_ + 1 >= src_.size()) {
      return true;
    }
    if (src_[pos_ + 1] == '/') {
      const std::size_t lf = src_.find('\n', pos_ + 2);
      pos_ = lf == std::string_view::npos ? src_.size() : lf;
    } else if (src_[pos_ + 1] == '*') {
      const std::size_t close = src_.find("*/", pos_ + 2);
      if (close == std::string_view::npos) {
        take(lexeme, LexemeClass::Invalid, src_.size());
        failed = true;
        return false;
      }
      pos_ = close + 2;
    } else {
      return true;
    }
  }
}

void Scanner::scan_word(Lexeme& lexeme) {
  std::size_t end = pos_ + 1;
  while (end < src_.size() &&
         is_ident_char(static_cast<unsigned char>(src_[end]))) {
    ++end;
  }
  if (const auto kind = keyword(src_.substr(pos_, end - pos_))) {
    lexeme.kind = *kind;
    return take(lexeme, LexemeClass::Fixed, end);
  }
  take(lexeme, LexemeClass::Identifier, end);
}

void Scanner::scan_number(Lexeme& lexeme) {
  const NumberLexeme number = qasm3::scan_number(src_, pos_);
  take(lexeme, number.is_float ? LexemeClass::Float : LexemeClass::Integer,
       number.end);
}

void Scanner::scan_string(Lexeme& lexeme) {
  const std::size_t close = src_.find('"', pos_ + 1);
  if (close == std::string_view::npos) {
    return take(lexeme, LexemeClass::Invalid, src_.size());
  }
  take(lexeme, LexemeClass::String, close + 1);
}

// Takes the longest operator or punctuation spelling at the cursor; false if
// the byte starts none.
bool Scanner::scan_operator(Lexeme& lexeme) {
  const unsigned char c = static_cast<unsigned char>(src_[pos_]);
  const OperatorRule rule = c < 128 ? kOperatorRules[c] : OperatorRule{};
  if (!rule.one) {
    return false;
  }
  const char next = pos_ + 1 < src_.size() ? src_[pos_ + 1] : '\0';
  std::size_t length = 2;
  if (rule.two && next == rule.second) {
    lexeme.kind = *rule.two;
  } else if (rule.alt && next == rule.alt_second) {
    lexeme.kind = *rule.alt;
  } else {
    lexeme.kind = *rule.one;
    length = 1;
  }
  take(lexeme, LexemeClass::Fixed, pos_ + length);
  return true;
}

// One whole character: the byte at the cursor and the continuation bytes
// its UTF-8 lead byte announces, as far as they are present.
void Scanner::scan_invalid(Lexeme& lexeme) {
  const unsigned char lead = static_cast<unsigned char>(src_[pos_]);
  const std::size_t limit = std::min(src_.size(), pos_ + utf8_length(lead));
  std::size_t end = pos_ + 1;
  while (end < limit &&
         (static_cast<unsigned char>(src_[end]) & 0xC0) == 0x80) {
    ++end;
  }
  take(lexeme, LexemeClass::Invalid, end);
}

void Scanner::take(Lexeme& lexeme, LexemeClass cls, std::size_t end) {
  lexeme.cls = cls;
  lexeme.span = Span{pos_, end};
  pos_ = end;
}

}  // namespace qelto::qasm3
