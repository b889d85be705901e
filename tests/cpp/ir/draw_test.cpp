#include "ir/draw.hpp"

#include <gtest/gtest.h>

#include "ir/draw_label.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;

QubitId q(std::uint32_t i) { return QubitId{i}; }

struct DrawCase {
  const char* name;
  Circuit (*build)();
  std::int64_t fold;
  const char* text;
};

TEST(DrawTest, draws_small_circuits_exactly) {
  const DrawCase cases[] = {
      {"bell", [] { return *Circuit::bell(); }, 80,
       "     ┌───┐     ┌─┐\n"
       "q_0: ┤ H ├──■──┤M├───\n"
       "     └───┘┌─┴─┐└╥┘┌─┐\n"
       "q_1: ─────┤ X ├─╫─┤M├\n"
       "          └───┘ ║ └╥┘\n"
       "c_0: ═══════════╩══╬═\n"
       "                   ║\n"
       "c_1: ══════════════╩═"},
      {"registers, control below, measure crossing",
       [] {
         Circuit c("r");
         c.add_qreg("a", 2);
         c.add_qubit();
         c.add_creg("m", 1);
         (void)c.rz(PE::div(PE::pi(), PE::constant(2)), q(0));
         (void)c.cz(q(2), q(0));
         (void)c.measure(q(1), ClbitId{0});
         return c;
       },
       80,
       "     ┌─────────┐┌───┐\n"
       "a_0: ┤ Rz(π/2) ├┤ Z ├\n"
       "     └───┬─┬───┘└─┬─┘\n"
       "a_1: ────┤M├──────┼──\n"
       "         └╥┘      │\n"
       "q_2: ─────╫───────■──\n"
       "          ║\n"
       "m_0: ═════╩══════════"},
      {"barrier, swap, symbolic and rounded parameters",
       [] {
         Circuit c = Circuit::with_size("x", 3, 0);
         (void)c.rx(PE::mul(PE::constant(-1), PE::symbol("t")), q(0));
         (void)c.rx(PE::constant(0.1234567), q(1));
         (void)c.barrier_all();
         (void)c.swap(q(0), q(2));
         return c;
       },
       80,
       "      ┌──────────┐\n"
       "q_0: ─┤ Rx(-1*t) ├───░──X─\n"
       "     ┌┴──────────┴─┐ ░  │\n"
       "q_1: ┤ Rx(0.12346) ├─░──┼─\n"
       "     └─────────────┘ ░  │\n"
       "q_2: ────────────────░──X─"},
      {"multi-qubit box marks operand positions",
       [] {
         Circuit c = Circuit::with_size("x", 3, 0);
         (void)c.iswap(q(2), q(0));
         return c;
       },
       80,
       "     ┌─────────┐\n"
       "q_0: ┤1 Iswap  ├\n"
       "     │         │\n"
       "q_1: │         │\n"
       "     │         │\n"
       "q_2: ┤0        ├\n"
       "     └─────────┘"},
      {"folded",
       [] {
         Circuit c = Circuit::with_size("w", 1, 0);
         for (int i = 0; i < 5; ++i) {
           (void)c.h(q(0));
         }
         return c;
       },
       20,
       "     ┌───┐┌───┐\n"
       "q_0: ┤ H ├┤ H ├»\n"
       "     └───┘└───┘\n"
       "\n"
       "      ┌───┐┌───┐\n"
       "q_0: «┤ H ├┤ H ├»\n"
       "      └───┘└───┘\n"
       "\n"
       "      ┌───┐\n"
       "q_0: «┤ H ├\n"
       "      └───┘"},
      {"no operations", [] { return Circuit::with_size("e", 2, 0); }, 80,
       "q_0: ─\n\nq_1: ─"},
      {"no bits", [] { return Circuit("e"); }, 80, ""},
  };
  for (const DrawCase& t : cases) {
    EXPECT_EQ(draw(t.build(), t.fold), t.text) << t.name;
  }
}

TEST(DrawTest, folding_off_keeps_one_part) {
  Circuit c = Circuit::with_size("w", 1, 0);
  for (int i = 0; i < 100; ++i) {
    (void)c.h(q(0));
  }
  EXPECT_EQ(draw(c, 0).find("»"), std::string::npos);
  EXPECT_NE(draw(c, 80).find("»"), std::string::npos);
}

TEST(DrawLabelTest, shows_parameters_compactly) {
  struct Case {
    PE (*make)();
    const char* text;
  };
  const Case cases[] = {
      {[] { return PE::constant(3.141592653589793 / 2); }, "π/2"},
      {[] { return PE::constant(-3 * 3.141592653589793 / 4); }, "-3π/4"},
      {[] { return PE::mul(PE::constant(2), PE::pi()); }, "2π"},
      {[] { return PE::constant(0.0); }, "0"},
      {[] { return PE::constant(1e-7); }, "1e-07"},
      {[] { return PE::constant(12345.678); }, "12346"},
      {[] { return PE::sub(PE::symbol("a"), PE::sub(PE::symbol("b"), PE::pi())); },
       "a - (b - π)"},
      {[] { return PE::mul(PE::add(PE::symbol("a"), PE::constant(1)), PE::symbol("b")); },
       "(a + 1)*b"},
      {[] { return PE::div(PE::symbol("a"), PE::mul(PE::symbol("b"), PE::symbol("c"))); },
       "a/(b*c)"},
      {[] { return PE::neg(PE::add(PE::symbol("a"), PE::symbol("b"))); },
       "-(a + b)"},
      {[] { return PE::symbol("a_very_long_parameter_name_indeed"); },
       "a_very_long_parameter_n…"},
  };
  for (const Case& t : cases) {
    EXPECT_EQ(compact_param(t.make()), t.text);
  }
}

}  // namespace
}  // namespace qelto::ir
