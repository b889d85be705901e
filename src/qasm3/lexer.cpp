#include "qasm3/lexer.hpp"

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
    {"CX", TokenKind::CX},           {"OPENQASM", TokenKind::OpenQasm},
    {"U", TokenKind::U},             {"barrier", TokenKind::Barrier},
    {"bit", TokenKind::Bit},         {"bool", TokenKind::Bool},
    {"const", TokenKind::Const},     {"def", TokenKind::Def},
    {"delay", TokenKind::Delay},     {"else", TokenKind::Else},
    {"euler", TokenKind::Euler},     {"false", TokenKind::False},
    {"float", TokenKind::Float},     {"for", TokenKind::For},
    {"gate", TokenKind::Gate},       {"if", TokenKind::If},
    {"in", TokenKind::In},           {"include", TokenKind::Include},
    {"input", TokenKind::Input},     {"int", TokenKind::Int},
    {"let", TokenKind::Let},         {"measure", TokenKind::Measure},
    {"output", TokenKind::Output},   {"pi", TokenKind::Pi},
    {"qubit", TokenKind::Qubit},     {"reset", TokenKind::Reset},
    {"return", TokenKind::Return},   {"tau", TokenKind::Tau},
    {"true", TokenKind::True},       {"while", TokenKind::While},
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

class Lexer {
 public:
  explicit Lexer(std::string_view source) : src_(source) {}

  std::vector<LexEntry> run() {
    while (skip_trivia()) {
      lex_one();
    }
    return std::move(out_);
  }

 private:
  unsigned char at(std::size_t i) const {
    return static_cast<unsigned char>(src_[i]);
  }

  // Skips whitespace and comments; false at the end of input.
  bool skip_trivia() {
    for (;;) {
      while (pos_ < src_.size() && is_space(at(pos_))) {
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
          fail(pos_, src_.size());
          return false;
        }
        pos_ = close + 2;
      } else {
        return true;
      }
    }
  }

  void lex_one() {
    const unsigned char c = at(pos_);
    if (is_ident_start(c)) {
      return lex_word();
    }
    if (is_digit(c)) {
      return lex_number();
    }
    if (c == '"') {
      return lex_string();
    }
    if (lex_operator()) {
      return;
    }
    const std::size_t start = pos_;
    std::size_t end = start + 1;
    const std::size_t limit = std::min(src_.size(), start + utf8_length(c));
    while (end < limit && (at(end) & 0xC0) == 0x80) {
      ++end;
    }
    fail(start, end);
  }

  void lex_word() {
    const std::size_t start = pos_;
    std::size_t end = start + 1;
    while (end < src_.size() && is_ident_char(at(end))) {
      ++end;
    }
    const std::string_view word = src_.substr(start, end - start);
    if (const auto kind = keyword(word)) {
      push(Token{*kind, std::monostate{}}, start, end);
    } else {
      push(Token::identifier(std::string(word)), start, end);
    }
  }

  void lex_number() {
    const std::size_t start = pos_;
    const NumberLexeme lexeme = scan_number(src_, start);
    const std::string_view text = src_.substr(start, lexeme.end - start);
    if (lexeme.is_float) {
      return push(Token::float_literal(parse_float(text)), start, lexeme.end);
    }
    if (const auto value = parse_u64(text)) {
      return push(Token::int_literal(*value), start, lexeme.end);
    }
    fail(start, lexeme.end);
  }

  void lex_string() {
    const std::size_t start = pos_;
    const std::size_t close = src_.find('"', start + 1);
    if (close == std::string_view::npos) {
      return fail(start, src_.size());
    }
    push(Token::string_literal(
             std::string(src_.substr(start + 1, close - start - 1))),
         start, close + 1);
  }

  // Lexes an operator or punctuation token at the cursor, taking the longest
  // spelling; false if the byte starts none.
  bool lex_operator() {
    const unsigned char c = at(pos_);
    const OperatorRule rule = c < 128 ? kOperatorRules[c] : OperatorRule{};
    if (!rule.one) {
      return false;
    }
    const char next = pos_ + 1 < src_.size() ? src_[pos_ + 1] : '\0';
    if (rule.two && next == rule.second) {
      emit_fixed(*rule.two, 2);
    } else if (rule.alt && next == rule.alt_second) {
      emit_fixed(*rule.alt, 2);
    } else {
      emit_fixed(*rule.one, 1);
    }
    return true;
  }

  void emit_fixed(TokenKind kind, std::size_t length) {
    push(Token{kind, std::monostate{}}, pos_, pos_ + length);
  }

  void push(Token token, std::size_t start, std::size_t end) {
    out_.emplace_back(std::in_place_type<SpannedToken>,
                      SpannedToken{std::move(token), Span{start, end}});
    pos_ = end;
  }

  void fail(std::size_t start, std::size_t end) {
    std::string message = "Invalid token: '";
    message.append(src_.substr(start, end - start));
    message.push_back('\'');
    out_.emplace_back(std::in_place_type<LexFailure>,
                      LexFailure{Span{start, end}, std::move(message)});
    pos_ = end;
  }

  std::string_view src_;
  std::size_t pos_ = 0;
  std::vector<LexEntry> out_;
};

}  // namespace

std::vector<LexEntry> tokenize(std::string_view source) {
  return Lexer(source).run();
}

ParseResult<std::vector<SpannedToken>> collect_tokens(
    std::vector<LexEntry>&& entries) {
  std::vector<SpannedToken> tokens;
  tokens.reserve(entries.size());
  for (LexEntry& entry : entries) {
    if (auto* failure = std::get_if<LexFailure>(&entry)) {
      return std::unexpected(
          LexerError{std::move(failure->message), failure->span.start});
    }
    tokens.push_back(std::move(std::get<SpannedToken>(entry)));
  }
  return tokens;
}

std::size_t line_of(std::string_view source, std::size_t offset) {
  const std::string_view before = source.substr(0, offset);
  return 1 + static_cast<std::size_t>(
                 std::count(before.begin(), before.end(), '\n'));
}

}  // namespace qelto::qasm3
