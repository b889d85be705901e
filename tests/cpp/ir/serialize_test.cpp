#include "ir/serialize.hpp"

#include <gtest/gtest.h>

#include "snapshot.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::snapshot;

QubitId q(std::uint32_t i) { return QubitId{i}; }

Circuit sample() {
  Circuit c("sample é");
  c.add_qreg("reg", 3);
  (void)c.h(q(0));
  c.add_clbit();
  (void)c.u(PE::div(PE::pi(), PE::constant(2)),
            PE::neg(PE::symbol("phi")),
            PE::sub(PE::mul(PE::symbol("a"), PE::constant(-0.0)),
                    PE::constant(1e-300)),
            q(2));
  c.add_qubit();
  c.add_creg("out", 2);
  (void)c.ccx(q(3), q(0), q(1));
  (void)c.measure_all();
  (void)c.delay(q(1), 123456789012345ull);
  (void)c.apply(Instruction{{q(1), q(3)},
                            {},
                            Gate(CustomGate{"mine", 2, {}})});
  (void)c.apply(Instruction{{}, {}, Barrier{}});
  return c;
}

TEST(SerializeTest, round_trip_gives_an_equal_circuit) {
  const Circuit source = sample();
  auto read = from_bytes(to_bytes(source));
  ASSERT_TRUE(read);
  EXPECT_EQ(snapshot(*read), snapshot(source));
  EXPECT_EQ(to_bytes(*read), to_bytes(source));
  auto empty = from_bytes(to_bytes(Circuit("")));
  ASSERT_TRUE(empty);
  EXPECT_EQ(snapshot(*empty), snapshot(Circuit("")));
}

TEST(SerializeTest, round_trip_keeps_a_deep_parameter) {
  PE chain = PE::symbol("x");
  for (int i = 0; i < 100'000; ++i) {
    chain = PE::add(std::move(chain), PE::constant(i));
  }
  Circuit c = Circuit::with_size("deep", 1, 0);
  (void)c.rz(std::move(chain), q(0));
  auto read = from_bytes(to_bytes(c));
  ASSERT_TRUE(read);
  EXPECT_EQ(to_bytes(*read), to_bytes(c));
}

TEST(SerializeTest, every_truncation_is_refused) {
  const std::string bytes = to_bytes(sample());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    auto read = from_bytes(std::string_view(bytes).substr(0, n));
    ASSERT_FALSE(read) << n;
    EXPECT_TRUE(std::holds_alternative<MalformedCircuitData>(read.error()));
  }
}

TEST(SerializeTest, every_single_byte_change_is_refused_or_read_safely) {
  const std::string bytes = to_bytes(sample());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    for (int value : {0x00, 0xFF}) {
      std::string changed = bytes;
      changed[n] = static_cast<char>(value);
      auto read = from_bytes(changed);
      if (read) {
        // Whatever was read must write itself back the same way.
        EXPECT_TRUE(from_bytes(to_bytes(*read)));
      }
    }
  }
}

struct Malformed {
  const char* name;
  std::string bytes;
  const char* message;
};

std::string header() { return std::string("QELTO\x01\x00", 7); }
std::string u32(std::uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                     static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

TEST(SerializeTest, refuses_malformed_data_with_its_reason) {
  const Malformed cases[] = {
      {"empty", "", "Malformed circuit data: not a qelto circuit (unknown header)"},
      {"other version", std::string("QELTO\x02\x00", 7) + u32(0) + '\0',
       "Malformed circuit data: not a qelto circuit (unknown header)"},
      {"trailing bytes", header() + u32(0) + '\0' + 'x',
       "Malformed circuit data: bytes after the end"},
      {"unknown step", header() + u32(0) + '\x09',
       "Malformed circuit data: unknown step"},
      {"huge register", header() + u32(0) + '\x01' + '\x01' + u32(1) + "q" +
                            u32(0xFFFFFFFF) + '\0',
       "Malformed circuit data: too many bits"},
      {"forged count", header() + u32(0xFFFFFFF0),
       "Malformed circuit data: truncated"},
      {"unknown gate", header() + u32(0) + '\x01' + '\0' + '\x03' + '\0' +
                           '\xC8',
       "Malformed circuit data: unknown gate"},
      {"invalid operation", header() + u32(0) + '\x03' + '\0' + '\x04' +
                                u32(1) + u32(0) + u32(0) + '\0',
       "Malformed circuit data: Qubit QubitId(0) not found in circuit (gate: h)"},
      {"operator without operands",
       header() + u32(0) + '\x01' + '\0' + '\x03' + '\0' + '\x0B' + u32(1) +
           '\x04',
       "Malformed circuit data: parameter operator without its operands"},
      {"unknown parameter node",
       header() + u32(0) + '\x01' + '\0' + '\x03' + '\0' + '\x0B' + u32(1) +
           '\x09',
       "Malformed circuit data: unknown parameter node"},
      // Operations are checked in order, each before anything read after it.
      {"invalid operation before a truncated one",
       header() + u32(0) + '\x01' + '\0' + '\x03' + '\0' + '\x04' + u32(1) +
           u32(5) + u32(0) + '\x03' + '\0' + '\x04' + u32(1),
       "Malformed circuit data: Qubit QubitId(5) not found in circuit (gate: h)"},
      {"the first of two invalid operations",
       header() + u32(0) + '\x01' + '\0' + '\x03' + '\0' + '\x05' + u32(1) +
           u32(7) + u32(0) + '\x03' + '\0' + '\x04' + u32(1) + u32(3) +
           u32(0) + '\0',
       "Malformed circuit data: Qubit QubitId(7) not found in circuit (gate: s)"},
      {"invalid operation before bits are added",
       header() + u32(0) + '\x03' + '\0' + '\x04' + u32(1) + u32(0) +
           u32(0) + '\x01' + '\0' + '\0',
       "Malformed circuit data: Qubit QubitId(0) not found in circuit (gate: h)"},
  };
  for (const Malformed& t : cases) {
    auto read = from_bytes(t.bytes);
    ASSERT_FALSE(read) << t.name;
    EXPECT_EQ(to_string(read.error()), t.message) << t.name;
  }
}

}  // namespace
}  // namespace qelto::ir
