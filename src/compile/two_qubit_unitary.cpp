#include "compile/two_qubit_unitary.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "compile/decompose.hpp"

namespace qelto::compile {
namespace {

using Complex = std::complex<double>;
using Kind = ir::StandardGate::Kind;

// The SU(2) matrix w I - i (x X + y Y + z Z) of a rotation.
std::array<Complex, 4> matrix_of(const Rotation& r) {
  return {Complex(r.w, -r.z), Complex(-r.y, -r.x), Complex(r.y, -r.x),
          Complex(r.w, r.z)};
}

bool apply(Matrix4& u, const FlatOp& op, std::uint32_t first) {
  const auto kind = gate_kind(op.code);
  if (op.num_qubits == 1) {
    const auto rotation = rotation_of(kind, op.params);
    if (!rotation) {
      return false;
    }
    then_one_qubit(u, *rotation, op.q[0] == first ? 0 : 1);
    return true;
  }
  if (kind == Kind::Cx) {
    then_cx(u, op.q[0] == first ? 0 : 1);
    return true;
  }
  return false;
}

}  // namespace

Matrix4 Matrix4::identity() {
  Matrix4 u;
  for (int i = 0; i < 4; ++i) {
    u(i, i) = 1;
  }
  return u;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
  Matrix4 c;
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 4; ++k) {
      const Complex aik = a(i, k);
      for (int j = 0; j < 4; ++j) {
        c(i, j) += aik * b(k, j);
      }
    }
  }
  return c;
}

Matrix4 adjoint(const Matrix4& a) {
  Matrix4 c;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      c(i, j) = std::conj(a(j, i));
    }
  }
  return c;
}

Matrix4 transpose(const Matrix4& a) {
  Matrix4 c;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      c(i, j) = a(j, i);
    }
  }
  return c;
}

Complex determinant(const Matrix4& a) {
  // Gaussian elimination with partial pivoting on a copy.
  Matrix4 m = a;
  Complex det = 1;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int row = col + 1; row < 4; ++row) {
      if (std::abs(m(row, col)) > std::abs(m(pivot, col))) {
        pivot = row;
      }
    }
    if (m(pivot, col) == Complex(0)) {
      return 0;
    }
    if (pivot != col) {
      for (int j = 0; j < 4; ++j) {
        std::swap(m(pivot, j), m(col, j));
      }
      det = -det;
    }
    det *= m(col, col);
    for (int row = col + 1; row < 4; ++row) {
      const Complex f = m(row, col) / m(col, col);
      for (int j = col; j < 4; ++j) {
        m(row, j) -= f * m(col, j);
      }
    }
  }
  return det;
}

void then_one_qubit(Matrix4& u, const Rotation& r, int k) {
  const auto g = matrix_of(r);
  // Rows that differ only in bit k mix.
  const int step = k == 0 ? 1 : 2;
  for (int row = 0; row < 4; ++row) {
    if ((row & step) != 0) {
      continue;
    }
    for (int col = 0; col < 4; ++col) {
      const Complex low = u(row, col);
      const Complex high = u(row + step, col);
      u(row, col) = g[0] * low + g[1] * high;
      u(row + step, col) = g[2] * low + g[3] * high;
    }
  }
}

void then_cx(Matrix4& u, int control) {
  // The rows where the control is 1 swap their target bit.
  const int a = control == 0 ? 1 : 2;
  for (int col = 0; col < 4; ++col) {
    std::swap(u(a, col), u(3, col));
  }
}

double distance_up_to_phase(const Matrix4& a, const Matrix4& b) {
  Complex overlap = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    overlap += std::conj(b.m[i]) * a.m[i];
  }
  const double size = std::abs(overlap);
  const Complex phase = size > 0 ? overlap / size : Complex(1);
  double worst = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    worst = std::max(worst, std::abs(a.m[i] - phase * b.m[i]));
  }
  return worst;
}

std::optional<Matrix4> unitary_of(std::span<const FlatOp> ops,
                                  std::uint32_t first,
                                  std::vector<FlatOp>& scratch) {
  Matrix4 u = Matrix4::identity();
  for (const FlatOp& op : ops) {
    if (!is_standard(op.code)) {
      return std::nullopt;
    }
    if (apply(u, op, first)) {
      continue;
    }
    scratch.clear();
    if (!decompose_to_cx(op, scratch)) {
      return std::nullopt;
    }
    for (const FlatOp& step : scratch) {
      if (!apply(u, step, first)) {
        return std::nullopt;
      }
    }
  }
  return u;
}

}  // namespace qelto::compile
