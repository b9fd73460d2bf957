/*
 * Plane geometry of the headless world: walls as rotated rectangles, and the
 * overlap and ray tests that collisions and the proximity ring need. Robots
 * are discs seen from above; heights only matter for flying robots.
 */
#ifndef VESKSIM_GEOMETRY_H
#define VESKSIM_GEOMETRY_H

#include <argos3/core/utility/math/vector2.h>
#include <string>

namespace vesksim {

using argos::CVector2;
using argos::Real;

// The angle wrapped into [-pi, pi] in one step, however large (ARGoS's
// normalisation subtracts 2 pi until it gets there, which a script's wheel
// speeds or yaw could make last for ever). Not finite stays not finite.
Real WrappedAngle(Real f_angle);

// A wall: a box of the experiment, seen from above.
struct SWall {
  std::string Id;
  CVector2 Center;   // metres, world frame
  CVector2 HalfSize; // half the box's x and y sizes, in the box's own frame
  Real Yaw = 0;      // radians, rotation of the box about Z
  Real Height = 0;   // metres, for drawing only

  // A world point in the box's frame (origin at its centre, axes along its sides).
  CVector2 ToLocal(const CVector2 &c_point) const;
};

// Distance from a point to the wall's outline; negative inside the wall.
Real SignedDistance(const SWall &s_wall, const CVector2 &c_point);

// Distance along a ray (origin, unit direction) to the first point where it
// enters the wall, or where it leaves it when the origin is inside; negative
// when the ray misses it within f_max.
Real RayToWall(const SWall &s_wall, const CVector2 &c_origin, const CVector2 &c_dir,
               Real f_max);

// The same for a disc.
Real RayToDisc(const CVector2 &c_center, Real f_radius, const CVector2 &c_origin,
               const CVector2 &c_dir, Real f_max);

} // namespace vesksim

#endif
