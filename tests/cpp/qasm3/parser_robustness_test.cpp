// Any byte string must give a circuit or an error: never a crash, a hang or
// a sanitizer report. Inputs come from a seeded generator (so failures
// reproduce) and from the OpenQASM project's example and invalid programs.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "qasm3/read.hpp"

namespace qelto::qasm3 {
namespace {

// The OpenQASM project's programs, copied into the repository with their
// licence; the build passes the folder's location.
const std::filesystem::path kCorpus =
    std::filesystem::path(QELTO_TEST_DATA_DIR) / "openqasm";
const std::string kHeader = "OPENQASM 3.0;\n";

// Parses and checks what a caller may rely on: an error has a text, and a
// circuit is acyclic with every operation listed exactly once. True when a
// circuit came out.
bool check_parses_cleanly(const std::string& source) {
  auto circuit = parse(source);
  if (!circuit) {
    EXPECT_FALSE(to_string(circuit.error()).empty());
    return false;
  }
  std::size_t ops = 0;
  for (std::uint32_t i = 0; i < circuit->dag().node_count(); ++i) {
    ops +=
        std::holds_alternative<ir::OperationRef>(*circuit->dag().node(ir::NodeIndex{i}));
  }
  EXPECT_EQ(circuit->dag().topological_ops().size(), ops) << source;
  return true;
}

// Pieces that reach every rule of the parser and the lowering when strung
// together at random.
constexpr std::array<std::string_view, 64> kFragments = {
    "qubit",   "bit",   "[",       "]",          "q",
    "c",       "r",     ";",       ",",          "(",
    ")",       "{",     "}",       "->",         "=",
    "measure", "reset", "barrier", "gate",       "if",
    "else",    "for",   "in",      ":",          "include",
    "\"f\"",   "h",     "cx",      "rx",         "u",
    "cp",      "ccx",   "id",      "sin",        "sqrt",
    "pi",      "tau",   "euler",   "true",       "0",
    "1",       "2",     "3",       "4294967296", "18446744073709551615",
    "0.5",     "1e300", "+",       "-",          "*",
    "/",       "**",    "%",       "!",          "==",
    "<",       "&&",    "||",      "|",          "^",
    "&",       "<<",    "~",
};

std::string random_bytes(std::mt19937& rng) {
  std::uniform_int_distribution<int> length(0, 200);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string out(static_cast<std::size_t>(length(rng)), '\0');
  for (char& c : out) {
    c = static_cast<char>(byte(rng));
  }
  return out;
}

std::string random_fragments(std::mt19937& rng) {
  std::uniform_int_distribution<int> count(0, 60);
  std::uniform_int_distribution<std::size_t> pick(0, kFragments.size() - 1);
  std::string out = kHeader;
  for (int i = count(rng); i > 0; --i) {
    out += kFragments[pick(rng)];
    out += ' ';
  }
  return out;
}

const std::vector<std::string> kValidPrograms = {
    kHeader + "qubit[2] q; bit[2] c; h q[0]; cx q[0], q[1]; c = measure q;",
    kHeader +
        "include \"stdgates.inc\";\nqubit[3] q;\nbit[3] c;\n"
        "rx(pi/2) q;\nu3(1, 2, 3) q[1];\ncp(-theta) q[0], q[2];\n"
        "barrier q;\nreset q[1];\nmeasure q -> c;\n",
    kHeader +
        "qubit a; qubit[2] b; ccx a, b[0], b[1]; prx(sin(1), 2 * tau) b;"
        " barrier; measure b[1] -> c[0]; bit c;",
};

// Whole statements, well-formed or not for the lowering, inserted after a
// semicolon so that edited programs still reach it often.
constexpr std::array<std::string_view, 16> kStatements = {
    "h q;",          "cx q[0], q[1];",   "measure q -> c;", "rx(1) q[5];",
    "barrier;",      "reset q;",         "qubit[2] q;",     "cp(pi) q;",
    "u(1, 2) q[0];", "swap q[1], q[1];", "x = 1 + 2;",      "ccx q, q;",
    "bit[3] c;",     "rz(a ** 2) q;",    "if (c) h q;",     "id(sin(x)) q;",
};

void insert_statement(std::string& text, std::mt19937& rng) {
  std::uniform_int_distribution<std::size_t> at(0, text.size());
  std::uniform_int_distribution<std::size_t> pick(0, kStatements.size() - 1);
  std::size_t semicolon = text.find(';', at(rng));
  std::size_t pos =
      semicolon == std::string::npos ? text.size() : semicolon + 1;
  text.insert(pos, " " + std::string(kStatements[pick(rng)]));
}

// One random edit: delete or duplicate a slice, overwrite a byte, or insert
// a raw byte, a fragment or a statement.
void mutate(std::string& text, std::mt19937& rng) {
  std::uniform_int_distribution<int> kind(0, 6);
  std::uniform_int_distribution<std::size_t> at(0, text.size());
  std::uniform_int_distribution<std::size_t> pick(0, kFragments.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::size_t pos = at(rng);
  std::size_t len = std::min<std::size_t>(text.size() - pos, 1 + at(rng) % 8);
  switch (kind(rng)) {
    case 0:
      text.erase(pos, len);
      break;
    case 1:
      text.insert(pos, 1, static_cast<char>(byte(rng)));
      break;
    case 2:
      if (pos < text.size()) {
        text[pos] = static_cast<char>(byte(rng));
      }
      break;
    case 3:
      text.insert(pos, text.substr(pos, len));
      break;
    case 4:
      insert_statement(text, rng);
      break;
    default:
      text.insert(pos, " " + std::string(kFragments[pick(rng)]) + " ");
  }
}

TEST(ParserRobustness, random_bytes_give_circuit_or_error) {
  std::mt19937 rng(20240501);
  for (int i = 0; i < 3000; ++i) {
    std::string bytes = random_bytes(rng);
    check_parses_cleanly(bytes);
    check_parses_cleanly(kHeader + bytes);
  }
}

TEST(ParserRobustness, random_token_sequences_give_circuit_or_error) {
  std::mt19937 rng(7);
  int circuits = 0;
  for (int i = 0; i < 5000; ++i) {
    circuits += check_parses_cleanly(random_fragments(rng));
  }
  // The generator must keep reaching the lowering, not only the lexer.
  EXPECT_GT(circuits, 50);
}

TEST(ParserRobustness, mutated_programs_give_circuit_or_error) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> edits(1, 3);
  int circuits = 0;
  for (int i = 0; i < 5000; ++i) {
    std::string text =
        kValidPrograms[static_cast<std::size_t>(i) % kValidPrograms.size()];
    for (int e = edits(rng); e > 0; --e) {
      mutate(text, rng);
    }
    circuits += check_parses_cleanly(text);
  }
  // The generator must keep reaching the lowering, not only the lexer.
  EXPECT_GT(circuits, 50);
}

TEST(ParserRobustness, valid_programs_parse) {
  for (const std::string& source : kValidPrograms) {
    auto circuit = parse(source);
    EXPECT_TRUE(circuit.has_value()) << to_string(circuit.error());
  }
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ParserRobustness, language_examples_give_circuit_or_error) {
  ASSERT_TRUE(std::filesystem::is_directory(kCorpus / "examples"))
      << "the corpus is missing: " << kCorpus;
  int files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(kCorpus / "examples")) {
    SCOPED_TRACE(entry.path().string());
    check_parses_cleanly(read_file(entry.path()));
    ++files;
  }
  EXPECT_GT(files, 0);
}

TEST(ParserRobustness, invalid_statements_give_circuit_or_error) {
  ASSERT_TRUE(std::filesystem::is_directory(kCorpus / "invalid"))
      << "the corpus is missing: " << kCorpus;
  int lines = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(kCorpus / "invalid")) {
    std::istringstream text(read_file(entry.path()));
    for (std::string line; std::getline(text, line);) {
      SCOPED_TRACE(entry.path().string() + ": " + line);
      check_parses_cleanly(kHeader + line);
      ++lines;
    }
  }
  EXPECT_GT(lines, 0);
}

}  // namespace
}  // namespace qelto::qasm3
