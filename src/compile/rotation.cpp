#include "compile/rotation.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qelto::compile {
namespace {

using Kind = ir::StandardGate::Kind;
using std::numbers::pi;

// A rotation angle this small is rounding noise, not a gate.
constexpr double kAngleTolerance = 1e-9;

Rotation about_x(double theta) {
  return {std::cos(theta / 2), std::sin(theta / 2), 0, 0};
}
Rotation about_y(double theta) {
  return {std::cos(theta / 2), 0, std::sin(theta / 2), 0};
}
Rotation about_z(double theta) {
  return {std::cos(theta / 2), 0, 0, std::sin(theta / 2)};
}

// The angle in (-pi, pi]; equal to the input modulo 2 pi.
double wrap(double angle) {
  double wrapped = std::remainder(angle, 2 * pi);
  if (wrapped <= -pi) {
    wrapped += 2 * pi;
  }
  return wrapped;
}

bool is_zero_angle(double angle) {
  return std::abs(wrap(angle)) < kAngleTolerance;
}

void add(std::vector<FlatOp>& out, Kind kind, std::uint32_t qubit,
         std::initializer_list<double> params = {}) {
  const std::uint32_t qubits[1] = {qubit};
  out.push_back(make_gate(kind, qubits, {params.begin(), params.size()}));
}

void add_z(std::vector<FlatOp>& out, Kind z_gate, std::uint32_t qubit,
           double angle) {
  if (!is_zero_angle(angle)) {
    add(out, z_gate, qubit, {wrap(angle)});
  }
}

// r = P(theta2, phi2) applied after P(theta1, phi1): the second factor is
// chosen so that what remains turns about an axis in the xy plane.
void synthesize_prx(const Rotation& r, std::uint32_t qubit,
                    std::vector<FlatOp>& out) {
  const auto add_prx = [&](const Rotation& p) {
    const double s = std::hypot(p.x, p.y);
    add(out, Kind::Prx, qubit,
        {wrap(2 * std::atan2(s, p.w)), std::atan2(p.y, p.x)});
  };
  if (std::abs(r.z) < kAngleTolerance) {
    add_prx(r);
    return;
  }
  const double radius = std::hypot(r.x, r.y);
  // First factor: a turn about n = (-y, x) / radius by 2 atan2(z, radius),
  // or a half turn about x for a pure z rotation; then r · first^-1 has no
  // z part.
  Rotation first;
  if (radius > kAngleTolerance) {
    const double half = std::atan2(r.z, radius);
    first = {std::cos(half), -std::sin(half) * r.y / radius,
             std::sin(half) * r.x / radius, 0};
  } else {
    first = {0, 1, 0, 0};
  }
  const Rotation inverse{first.w, -first.x, -first.y, -first.z};
  add_prx(first);
  add_prx(r * inverse);
}

// r = Rz(a) Rx(theta) Rz(b) written with h: Rx(theta) = H Rz(theta) H.
void synthesize_zh(const ZyzAngles& zyz, Kind z_gate, std::uint32_t qubit,
                   std::vector<FlatOp>& out) {
  // Rz(a) Ry(t) Rz(b) = Rz(a + pi/2) Rx(t) Rz(b - pi/2).
  add_z(out, z_gate, qubit, zyz.b - pi / 2);
  add(out, Kind::H, qubit);
  add_z(out, z_gate, qubit, zyz.theta);
  add(out, Kind::H, qubit);
  add_z(out, z_gate, qubit, zyz.a + pi / 2);
}

void synthesize_zsx(const ZyzAngles& zyz, const OneQubitBasis& basis,
                    std::uint32_t qubit, std::vector<FlatOp>& out) {
  const Kind z = basis.z_gate;
  // Ry(pi/2) = Rz(pi/2) SX Rz(-pi/2).
  if (std::abs(zyz.theta - pi / 2) < kAngleTolerance) {
    add_z(out, z, qubit, zyz.b - pi / 2);
    add(out, Kind::Sx, qubit);
    add_z(out, z, qubit, zyz.a + pi / 2);
    return;
  }
  // Ry(pi) = Rz(pi/2) X Rz(-pi/2).
  if (basis.has_x && std::abs(zyz.theta - pi) < kAngleTolerance) {
    add_z(out, z, qubit, zyz.b - pi / 2);
    add(out, Kind::X, qubit);
    add_z(out, z, qubit, zyz.a + pi / 2);
    return;
  }
  // Ry(t) = Rx(-pi/2) Rz(t) Rx(pi/2) and Rx(-pi/2) = Rz(pi) SX Rz(-pi).
  add_z(out, z, qubit, zyz.b);
  add(out, Kind::Sx, qubit);
  add_z(out, z, qubit, zyz.theta - pi);
  add(out, Kind::Sx, qubit);
  add_z(out, z, qubit, zyz.a + pi);
}

}  // namespace

Rotation operator*(const Rotation& a, const Rotation& b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
          a.w * b.x + b.w * a.x + a.y * b.z - a.z * b.y,
          a.w * b.y + b.w * a.y + a.z * b.x - a.x * b.z,
          a.w * b.z + b.w * a.z + a.x * b.y - a.y * b.x};
}

std::optional<Rotation> rotation_of(Kind kind, const double* params) {
  const double r = 1 / std::numbers::sqrt2;
  switch (kind) {
    case Kind::Id:
      return Rotation{};
    case Kind::X:
      return Rotation{0, 1, 0, 0};
    case Kind::Y:
      return Rotation{0, 0, 1, 0};
    case Kind::Z:
      return Rotation{0, 0, 0, 1};
    case Kind::H:
      return Rotation{0, r, 0, r};
    case Kind::S:
      return about_z(pi / 2);
    case Kind::Sdg:
      return about_z(-pi / 2);
    case Kind::T:
      return about_z(pi / 4);
    case Kind::Tdg:
      return about_z(-pi / 4);
    case Kind::Sx:
      return about_x(pi / 2);
    case Kind::Sxdg:
      return about_x(-pi / 2);
    case Kind::Rx:
      return about_x(params[0]);
    case Kind::Ry:
      return about_y(params[0]);
    case Kind::Rz:
    case Kind::P:
      return about_z(params[0]);
    case Kind::U:
      return about_z(params[1]) * about_y(params[0]) * about_z(params[2]);
    case Kind::Prx: {
      const double s = std::sin(params[0] / 2);
      return Rotation{std::cos(params[0] / 2), s * std::cos(params[1]),
                      s * std::sin(params[1]), 0};
    }
    default:
      return std::nullopt;
  }
}

bool is_identity(const Rotation& r) {
  return std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z) < kAngleTolerance;
}

double distance_from_identity(const Rotation& r) {
  // The eigenvalues are w +- i |(x, y, z)|, both at distance
  // sqrt(2 - 2 |w|) from the nearer of 1 and -1.
  return std::sqrt(std::max(0.0, 2 - 2 * std::abs(r.w)));
}

ZyzAngles zyz_angles(const Rotation& r) {
  // Rz(a) Ry(t) Rz(b) = (cos(t/2) cos(s), -sin(t/2) sin(d), sin(t/2) cos(d),
  // cos(t/2) sin(s)) with s = (a + b) / 2 and d = (a - b) / 2.
  const double half = std::atan2(std::hypot(r.x, r.y), std::hypot(r.w, r.z));
  const double s = std::atan2(r.z, r.w);
  const double d = std::atan2(-r.x, r.y);
  return {s + d, 2 * half, s - d};
}

std::optional<OneQubitBasis> one_qubit_basis(const BasisGates& basis) {
  using Family = OneQubitBasis::Family;
  if (basis.contains("u")) {
    return OneQubitBasis{Family::U};
  }
  if (basis.contains("prx")) {
    return OneQubitBasis{Family::Prx};
  }
  Kind z;
  if (basis.contains("rz")) {
    z = Kind::Rz;
  } else if (basis.contains("p")) {
    z = Kind::P;
  } else {
    return std::nullopt;
  }
  const bool has_x = basis.contains("x");
  if (basis.contains("ry")) {
    return OneQubitBasis{Family::Zyz, z, has_x};
  }
  if (basis.contains("rx")) {
    return OneQubitBasis{Family::Zxz, z, has_x};
  }
  if (basis.contains("sx")) {
    return OneQubitBasis{Family::Zsx, z, has_x};
  }
  if (basis.contains("h")) {
    return OneQubitBasis{Family::Zh, z, has_x};
  }
  return std::nullopt;
}

void synthesize(const Rotation& r, const OneQubitBasis& basis,
                std::uint32_t qubit, std::vector<FlatOp>& out) {
  using Family = OneQubitBasis::Family;
  if (is_identity(r)) {
    return;
  }
  if (basis.family == Family::Prx) {
    synthesize_prx(r, qubit, out);
    return;
  }
  const ZyzAngles zyz = zyz_angles(r);
  if (basis.family == Family::U) {
    add(out, Kind::U, qubit, {zyz.theta, wrap(zyz.a), wrap(zyz.b)});
    return;
  }
  // A pure z rotation is one gate in every remaining family.
  if (std::abs(zyz.theta) < kAngleTolerance) {
    add_z(out, basis.z_gate, qubit, zyz.a + zyz.b);
    return;
  }
  switch (basis.family) {
    case Family::Zyz:
      add_z(out, basis.z_gate, qubit, zyz.b);
      add(out, Kind::Ry, qubit, {zyz.theta});
      add_z(out, basis.z_gate, qubit, zyz.a);
      return;
    case Family::Zxz:
      // Rz(a) Ry(t) Rz(b) = Rz(a + pi/2) Rx(t) Rz(b - pi/2).
      add_z(out, basis.z_gate, qubit, zyz.b - pi / 2);
      add(out, Kind::Rx, qubit, {zyz.theta});
      add_z(out, basis.z_gate, qubit, zyz.a + pi / 2);
      return;
    case Family::Zsx:
      synthesize_zsx(zyz, basis, qubit, out);
      return;
    default:
      synthesize_zh(zyz, basis.z_gate, qubit, out);
      return;
  }
}

}  // namespace qelto::compile
