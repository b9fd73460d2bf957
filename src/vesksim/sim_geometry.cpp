/*
 * Plane geometry of the headless world.
 */
#include "sim_geometry.h"
#include <algorithm>
#include <cmath>

namespace vesksim {

Real WrappedAngle(Real f_angle) {
  return std::remainder(f_angle, 2 * 3.14159265358979323846);
}

CVector2 SWall::ToLocal(const CVector2 &c_point) const {
  const Real fDx = c_point.GetX() - Center.GetX();
  const Real fDy = c_point.GetY() - Center.GetY();
  const Real fCos = std::cos(Yaw), fSin = std::sin(Yaw);
  return CVector2(fDx * fCos + fDy * fSin, -fDx * fSin + fDy * fCos);
}

Real SignedDistance(const SWall &s_wall, const CVector2 &c_point) {
  const CVector2 cLocal = s_wall.ToLocal(c_point);
  const Real fQx = std::abs(cLocal.GetX()) - s_wall.HalfSize.GetX();
  const Real fQy = std::abs(cLocal.GetY()) - s_wall.HalfSize.GetY();
  const Real fOutside = std::hypot(std::max(fQx, 0.0), std::max(fQy, 0.0));
  return fOutside + std::min(std::max(fQx, fQy), 0.0);
}

Real RayToWall(const SWall &s_wall, const CVector2 &c_origin, const CVector2 &c_dir,
               Real f_max) {
  // Slab test in the box's frame.
  const CVector2 cO = s_wall.ToLocal(c_origin);
  const Real fCos = std::cos(s_wall.Yaw), fSin = std::sin(s_wall.Yaw);
  const Real afDir[2] = {c_dir.GetX() * fCos + c_dir.GetY() * fSin,
                         -c_dir.GetX() * fSin + c_dir.GetY() * fCos};
  const Real afO[2] = {cO.GetX(), cO.GetY()};
  const Real afHalf[2] = {s_wall.HalfSize.GetX(), s_wall.HalfSize.GetY()};
  Real fEnter = -INFINITY, fLeave = INFINITY;
  for (int i = 0; i < 2; ++i) {
    if (std::abs(afDir[i]) < 1e-12) {
      if (std::abs(afO[i]) > afHalf[i]) return -1;
      continue;
    }
    Real fT1 = (-afHalf[i] - afO[i]) / afDir[i];
    Real fT2 = (afHalf[i] - afO[i]) / afDir[i];
    if (fT1 > fT2) std::swap(fT1, fT2);
    fEnter = std::max(fEnter, fT1);
    fLeave = std::min(fLeave, fT2);
  }
  if (fEnter > fLeave || fLeave < 0) return -1;
  const Real fHit = fEnter >= 0 ? fEnter : 0;
  return fHit <= f_max ? fHit : -1;
}

Real RayToDisc(const CVector2 &c_center, Real f_radius, const CVector2 &c_origin,
               const CVector2 &c_dir, Real f_max) {
  const Real fOx = c_origin.GetX() - c_center.GetX();
  const Real fOy = c_origin.GetY() - c_center.GetY();
  const Real fB = fOx * c_dir.GetX() + fOy * c_dir.GetY();
  const Real fC = fOx * fOx + fOy * fOy - f_radius * f_radius;
  if (fC <= 0) return 0; // the origin is inside the disc
  const Real fDisc = fB * fB - fC;
  if (fDisc < 0) return -1;
  const Real fT = -fB - std::sqrt(fDisc);
  return fT >= 0 && fT <= f_max ? fT : -1;
}

} // namespace vesksim
