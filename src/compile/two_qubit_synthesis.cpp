#include "compile/two_qubit_synthesis.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

namespace qelto::compile {
namespace {

using Complex = std::complex<double>;
using Real4 = std::array<double, 16>;
using std::numbers::pi;

// Coordinates this close to a value that needs fewer cx count as it.
constexpr double kCoordinateTolerance = 1e-10;
// The most an entry of the written circuit's matrix may differ from the
// input's (the coordinate rounding above, plus arithmetic).
constexpr double kAcceptance = 1e-9;

// The magic basis: Bell states, with phases such that local operators
// become real orthogonal matrices and exp(i (a XX + b YY + c ZZ)) becomes
// diagonal, with entries exp(i theta_k), theta = (a - b + c, a + b - c,
// -a - b - c, -a + b + c).
Matrix4 magic_basis() {
  const double s = 1 / std::numbers::sqrt2;
  const Complex i(0, s);
  Matrix4 m;
  m(0, 0) = s;
  m(0, 3) = i;
  m(1, 1) = i;
  m(1, 2) = s;
  m(2, 1) = i;
  m(2, 2) = -s;
  m(3, 0) = s;
  m(3, 3) = -i;
  return m;
}

Rotation about(int axis, double theta) {
  Rotation r{std::cos(theta / 2), 0, 0, 0};
  const double s = std::sin(theta / 2);
  (axis == 0 ? r.x : axis == 1 ? r.y : r.z) = s;
  return r;
}

// The Pauli X, Y or Z as a rotation (a half turn, up to phase).
Rotation pauli(int axis) { return about(axis, pi); }

constexpr Rotation kHadamard{0, 1 / std::numbers::sqrt2, 0,
                             1 / std::numbers::sqrt2};

Rotation inverse(const Rotation& r) { return {r.w, -r.x, -r.y, -r.z}; }

// Eigenvectors (the columns) of a real symmetric matrix, by cyclic Jacobi
// rotations; each sweep at least squares the off-diagonal size once it is
// small, so a handful of sweeps reach rounding.
Real4 eigenvectors(Real4 a) {
  Real4 v{};
  for (int i = 0; i < 4; ++i) {
    v[static_cast<std::size_t>(5 * i)] = 1;
  }
  const auto at = [](Real4& m, int r, int c) -> double& {
    return m[static_cast<std::size_t>(4 * r + c)];
  };
  for (int sweep = 0; sweep < 32; ++sweep) {
    double off = 0;
    for (int p = 0; p < 4; ++p) {
      for (int q = p + 1; q < 4; ++q) {
        off += at(a, p, q) * at(a, p, q);
      }
    }
    if (off < 1e-32) {
      break;
    }
    for (int p = 0; p < 4; ++p) {
      for (int q = p + 1; q < 4; ++q) {
        const double apq = at(a, p, q);
        if (std::abs(apq) < 1e-300) {
          continue;
        }
        const double theta = (at(a, q, q) - at(a, p, p)) / (2 * apq);
        const double t = (theta >= 0 ? 1.0 : -1.0) /
                         (std::abs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1);
        const double s = t * c;
        for (int k = 0; k < 4; ++k) {
          const double kp = at(a, k, p);
          const double kq = at(a, k, q);
          at(a, k, p) = c * kp - s * kq;
          at(a, k, q) = s * kp + c * kq;
        }
        for (int k = 0; k < 4; ++k) {
          const double pk = at(a, p, k);
          const double qk = at(a, q, k);
          at(a, p, k) = c * pk - s * qk;
          at(a, q, k) = s * pk + c * qk;
          const double vp = at(v, k, p);
          const double vq = at(v, k, q);
          at(v, k, p) = c * vp - s * vq;
          at(v, k, q) = s * vp + c * vq;
        }
      }
    }
  }
  return v;
}

double real_determinant(const Real4& p) {
  Matrix4 m;
  for (std::size_t i = 0; i < 16; ++i) {
    m.m[i] = p[i];
  }
  return determinant(m).real();
}

// The rotation of a 2x2 unitary (up to phase).
Rotation from_matrix(Complex m00, Complex m01, Complex m10, Complex m11) {
  const Complex root = std::sqrt(m00 * m11 - m01 * m10);
  m00 /= root;
  m01 /= root;
  m10 /= root;
  m11 /= root;
  // m = [[w - iz, -y - ix], [y - ix, w + iz]].
  Rotation r{(m00.real() + m11.real()) / 2, -(m01.imag() + m10.imag()) / 2,
             (m10.real() - m01.real()) / 2, (m11.imag() - m00.imag()) / 2};
  const double norm = std::sqrt(r.w * r.w + r.x * r.x + r.y * r.y + r.z * r.z);
  return {r.w / norm, r.x / norm, r.y / norm, r.z / norm};
}

// The factors of a local operator k = (on qubit 1) x (on qubit 0), as
// {on qubit 0, on qubit 1}.
std::array<Rotation, 2> factor_local(const Matrix4& k) {
  // The 2x2 block of qubit 1's entry (i, j) is that entry times qubit 0's
  // matrix; the largest block gives qubit 0's matrix most accurately.
  const auto block_norm = [&](int i, int j) {
    double n = 0;
    for (int r = 0; r < 2; ++r) {
      for (int c = 0; c < 2; ++c) {
        n += std::norm(k(2 * i + r, 2 * j + c));
      }
    }
    return n;
  };
  int bi = 0;
  int bj = 0;
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      if (block_norm(i, j) > block_norm(bi, bj)) {
        bi = i;
        bj = j;
      }
    }
  }
  const Rotation low =
      from_matrix(k(2 * bi, 2 * bj), k(2 * bi, 2 * bj + 1),
                  k(2 * bi + 1, 2 * bj), k(2 * bi + 1, 2 * bj + 1));
  // Qubit 1's entry (i, j) is tr(low^dagger block(i, j)) / 2.
  Matrix4 low_matrix = Matrix4::identity();
  then_one_qubit(low_matrix, low, 0);
  std::array<Complex, 4> high{};
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      Complex trace = 0;
      for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
          trace += std::conj(low_matrix(r, c)) * k(2 * i + r, 2 * j + c);
        }
      }
      high[static_cast<std::size_t>(2 * i + j)] = trace / 2.0;
    }
  }
  return {low, from_matrix(high[0], high[1], high[2], high[3])};
}

// u = (after[0] on 0, after[1] on 1) exp(i (c0 XX + c1 YY + c2 ZZ))
//     (before[0] on 0, before[1] on 1), up to phase.
struct Canonical {
  std::array<Rotation, 2> before;
  std::array<double, 3> coords{};
  std::array<Rotation, 2> after;
};

// Real symmetric combinations of the real and imaginary parts tried in
// turn: both parts commute, so a combination that keeps their distinct
// joint eigenvalues apart diagonalises both; a fixed list keeps the result
// reproducible.
constexpr std::array<double, 6> kMixes = {0.5,    0.3183, 0.7071,
                                          0.1234, 0.9,    0.6180};

std::optional<Canonical> canonical(const Matrix4& u) {
  const Complex det = determinant(u);
  if (std::abs(std::abs(det) - 1) > 1e-6) {
    return std::nullopt;
  }
  Matrix4 special = u;
  const Complex scale = 1.0 / std::pow(det, 0.25);
  for (Complex& e : special.m) {
    e *= scale;
  }
  const Matrix4 magic = magic_basis();
  const Matrix4 in_magic = adjoint(magic) * special * magic;
  const Matrix4 squared = transpose(in_magic) * in_magic;

  Matrix4 p;
  Matrix4 diagonal;
  bool found = false;
  for (const double mix : kMixes) {
    Real4 a{};
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        const Complex e = (squared(r, c) + squared(c, r)) / 2.0;
        a[static_cast<std::size_t>(4 * r + c)] =
            mix * e.real() + (1 - mix) * e.imag();
      }
    }
    Real4 v = eigenvectors(a);
    if (real_determinant(v) < 0) {
      for (int r = 0; r < 4; ++r) {
        v[static_cast<std::size_t>(4 * r)] *= -1;
      }
    }
    for (std::size_t i = 0; i < 16; ++i) {
      p.m[i] = v[i];
    }
    diagonal = transpose(p) * squared * p;
    double off = 0;
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        off = r == c ? off : std::max(off, std::abs(diagonal(r, c)));
      }
    }
    if (off < 1e-11) {
      found = true;
      break;
    }
  }
  if (!found) {
    return std::nullopt;
  }
  std::array<double, 4> theta{};
  double sum = 0;
  for (int k = 0; k < 4; ++k) {
    theta[static_cast<std::size_t>(k)] = std::arg(diagonal(k, k)) / 2;
    sum += theta[static_cast<std::size_t>(k)];
  }
  // The angles sum to a multiple of pi (the determinant is 1); a multiple
  // of 2 pi makes the middle factor exactly the canonical operator.
  if (std::cos(sum) < 0) {
    theta[0] += pi;
  }
  // u = M (in_magic P D*) M^dagger . M D M^dagger . M P^T M^dagger, where
  // the outer factors are real orthogonal in the magic basis, so local.
  Matrix4 left = in_magic * p;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      left(r, c) *= std::polar(1.0, -theta[static_cast<std::size_t>(c)]);
    }
  }
  Canonical out;
  out.after = factor_local(magic * left * adjoint(magic));
  out.before = factor_local(magic * transpose(p) * adjoint(magic));
  out.coords = {(theta[0] + theta[1]) / 2, (theta[1] + theta[3]) / 2,
                (theta[0] + theta[3]) / 2};
  return out;
}

class StepWriter {
 public:
  explicit StepWriter(std::vector<TwoQubitStep>& out) : out_(out) {}
  void one(int qubit, const Rotation& r) {
    out_.push_back({TwoQubitStep::Kind::OneQubit,
                    static_cast<std::uint8_t>(qubit), r});
  }
  void both(const Rotation& r) {
    one(0, r);
    one(1, r);
  }
  void cx(int control) {
    out_.push_back(
        {TwoQubitStep::Kind::Cx, static_cast<std::uint8_t>(control), {}});
  }

 private:
  std::vector<TwoQubitStep>& out_;
};

// exp(i pi/4 XX) with one cx: cx = exp(i pi/4 (I - Z0)(I - X1)), so
// exp(i pi/4 Z0 X1) is cx with z and x quarter turns, and H on qubit 0
// turns Z0 X1 into X0 X1.
void quarter_xx(StepWriter& w) {
  w.one(0, kHadamard);
  w.cx(0);
  w.one(0, about(2, -pi / 2));
  w.one(1, about(0, -pi / 2));
  w.one(0, kHadamard);
}

// exp(i (x XX + z ZZ)) with two cx: cx conjugates X0 into X0 X1 and Z1
// into Z0 Z1.
void xx_zz(StepWriter& w, double x, double z) {
  w.cx(0);
  w.one(0, about(0, -2 * x));
  w.one(1, about(2, -2 * z));
  w.cx(0);
}

// exp(i (a XX + b YY + c ZZ)) with three cx (Vatan and Williams, 2004).
void general(StepWriter& w, double a, double b, double c) {
  w.one(1, about(2, -pi / 2));
  w.cx(1);
  w.one(0, about(2, -2 * c + pi / 2));
  w.one(1, about(1, 2 * a - pi / 2));
  w.cx(0);
  w.one(1, about(1, -2 * b + pi / 2));
  w.cx(1);
  w.one(0, about(2, pi / 2));
}

// The canonical operator of reduced coordinates (each in [-pi/4, pi/4]),
// with local gates on both qubits that move the coordinates into the slots
// the circuits above fill (L exp(i t P) L^dagger = exp(i t L P L^dagger)).
int write_canonical(StepWriter& w, std::array<double, 3> co, double snap) {
  std::array<int, 3> nonzero{};
  int count = 0;
  for (int n = 0; n < 3; ++n) {
    if (std::abs(co[static_cast<std::size_t>(n)]) > snap) {
      nonzero[static_cast<std::size_t>(count++)] = n;
    }
  }
  if (count == 0) {
    return 0;
  }
  if (count == 1) {
    const int n = nonzero[0];
    double& x = co[static_cast<std::size_t>(n)];
    if (std::abs(std::abs(x) - pi / 4) < snap) {
      if (x < 0) {
        // exp(-i pi/4 PP) = exp(i pi/4 PP) (PP) up to phase.
        w.both(pauli(n));
      }
      // Each turns XX into the slot's operator.
      const Rotation to_slot[3] = {Rotation{}, about(2, pi / 2),
                                   about(1, -pi / 2)};
      w.both(inverse(to_slot[n]));
      quarter_xx(w);
      w.both(to_slot[n]);
      return 1;
    }
  }
  if (count < 3) {
    const auto [a, b, c] = co;
    if (std::abs(b) <= snap) {
      xx_zz(w, a, c);
    } else if (std::abs(c) <= snap) {
      // Rx(pi/2) on both turns ZZ into YY.
      w.both(about(0, -pi / 2));
      xx_zz(w, a, b);
      w.both(about(0, pi / 2));
    } else {
      // Rz(pi/2) on both turns XX into YY.
      w.both(about(2, -pi / 2));
      xx_zz(w, b, c);
      w.both(about(2, pi / 2));
    }
    return 2;
  }
  general(w, co[0], co[1], co[2]);
  return 3;
}

Matrix4 matrix_of(std::span<const TwoQubitStep> steps) {
  Matrix4 u = Matrix4::identity();
  for (const TwoQubitStep& step : steps) {
    if (step.kind == TwoQubitStep::Kind::Cx) {
      then_cx(u, step.qubit);
    } else {
      then_one_qubit(u, step.rotation, step.qubit);
    }
  }
  return u;
}

// u in the magic basis, M^dagger u M, from the basis's two entries per
// column (see magic_basis).
Matrix4 in_magic_basis(const Matrix4& u) {
  const double s = 1 / std::numbers::sqrt2;
  const Complex i(0, 1);
  Matrix4 um;
  for (int r = 0; r < 4; ++r) {
    um(r, 0) = s * (u(r, 0) + u(r, 3));
    um(r, 1) = s * i * (u(r, 1) + u(r, 2));
    um(r, 2) = s * (u(r, 1) - u(r, 2));
    um(r, 3) = s * i * (u(r, 0) - u(r, 3));
  }
  Matrix4 out;
  for (int c = 0; c < 4; ++c) {
    out(0, c) = s * (um(0, c) + um(3, c));
    out(1, c) = -s * i * (um(1, c) + um(2, c));
    out(2, c) = s * (um(1, c) - um(2, c));
    out(3, c) = -s * i * (um(0, c) - um(3, c));
  }
  return out;
}

// min over phases of |a - e^(i phi) b| in Frobenius norm, for unitary a
// and b: sqrt(8 - 2 |tr(a^dagger b)|).
double frobenius_distance_up_to_phase(const Matrix4& a, const Matrix4& b) {
  Complex overlap = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    overlap += std::conj(a.m[i]) * b.m[i];
  }
  return std::sqrt(std::max(0.0, 8 - 2 * std::abs(overlap)));
}

// Writes the canonical decomposition with coordinates within `snap` of a
// cheaper value counted as it; keeps the steps (returning the cx count)
// when `accept` takes their matrix, else appends nothing.
template <class Accept>
std::optional<int> write_from(const Canonical& parts, double snap,
                              const Accept& accept,
                              std::vector<TwoQubitStep>& out) {
  // exp(i (t + k pi/2) PP) = exp(i t PP) (i PP)^k, and PP commutes with the
  // canonical operator: odd k leave a P on both qubits.
  std::array<double, 3> co = parts.coords;
  Rotation paulis{};
  for (int n = 0; n < 3; ++n) {
    double& x = co[static_cast<std::size_t>(n)];
    const double k = std::round(x / (pi / 2));
    x -= k * (pi / 2);
    if (std::fmod(std::abs(k), 2.0) == 1.0) {
      paulis = pauli(n) * paulis;
    }
  }
  const std::size_t start = out.size();
  StepWriter w(out);
  w.one(0, paulis * parts.before[0]);
  w.one(1, paulis * parts.before[1]);
  const int cx = write_canonical(w, co, snap);
  w.one(0, parts.after[0]);
  w.one(1, parts.after[1]);
  const std::span<const TwoQubitStep> written(out.data() + start,
                                              out.size() - start);
  if (!accept(matrix_of(written))) {
    out.resize(start);
    return std::nullopt;
  }
  return cx;
}

}  // namespace

bool may_need_fewer_cx(const Matrix4& u, int cx, double tolerance) {
  // Looser than the synthesis's own tolerance: a borderline run goes on to
  // the synthesis, which decides. Moving the coordinates by up to
  // `tolerance` moves each phase below by at most a few times as much.
  const double loose = 1e-6 + 32 * tolerance;
  const Complex det = determinant(u);
  if (std::abs(std::abs(det) - 1) > 1e-6) {
    return false;
  }
  const Matrix4 up = in_magic_basis(u);
  // With M2 = up^T up (up scaled to determinant 1, which scales M2 by
  // 1/sqrt(det)), tr M2 is the sum of exp(2 i theta_k): real when some
  // coordinate is zero (two cx do), of size 4 when all are (none do), and
  // zero with tr M2^2 = -4 for the cx class.
  Complex trace = 0;
  for (const Complex& e : up.m) {
    trace += e * e;
  }
  trace /= std::sqrt(det);
  if (cx >= 4) {
    return true;
  }
  if (cx == 3) {
    return std::abs(trace.imag()) <= loose;
  }
  if (std::abs(std::abs(trace) - 4) <= loose) {
    return true;
  }
  if (cx == 1 || std::abs(trace) > loose) {
    return false;
  }
  const Matrix4 m2 = transpose(up) * up;
  Complex square = 0;
  for (const Complex& e : m2.m) {
    square += e * e;
  }
  square /= det;
  return std::abs(square + 4.0) <= loose;
}

std::optional<int> synthesize_two_qubit(const Matrix4& u,
                                        std::vector<TwoQubitStep>& out,
                                        double tolerance) {
  const auto parts = canonical(u);
  if (!parts) {
    return std::nullopt;
  }
  if (tolerance > 0) {
    const auto close_enough = [&](const Matrix4& written) {
      return frobenius_distance_up_to_phase(u, written) <= tolerance;
    };
    const double snap = std::max(kCoordinateTolerance, tolerance / 2);
    if (const auto cx = write_from(*parts, snap, close_enough, out)) {
      return cx;
    }
  }
  const auto exact = [&](const Matrix4& written) {
    return distance_up_to_phase(u, written) <= kAcceptance;
  };
  return write_from(*parts, kCoordinateTolerance, exact, out);
}

}  // namespace qelto::compile
