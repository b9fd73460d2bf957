/*
 * Three-dimensional vector with Cartesian and spherical construction.
 */
#ifndef ARGOS_VECTOR3_H
#define ARGOS_VECTOR3_H

#include <argos3/core/utility/math/angles.h>
#include <iosfwd>

namespace argos {

class CQuaternion;

class CVector3 {
public:
  static const CVector3 X;
  static const CVector3 Y;
  static const CVector3 Z;
  static const CVector3 ZERO;

  CVector3() : m_fX(0), m_fY(0), m_fZ(0) {}
  CVector3(Real f_x, Real f_y, Real f_z) : m_fX(f_x), m_fY(f_y), m_fZ(f_z) {}
  // Spherical form: inclination from the Z axis, azimuth from the X axis.
  CVector3(Real f_length, const CRadians &c_inclination, const CRadians &c_azimuth);

  Real GetX() const { return m_fX; }
  Real GetY() const { return m_fY; }
  Real GetZ() const { return m_fZ; }
  void SetX(const Real f_x) { m_fX = f_x; }
  void SetY(const Real f_y) { m_fY = f_y; }
  void SetZ(const Real f_z) { m_fZ = f_z; }
  void Set(Real f_x, Real f_y, Real f_z) {
    m_fX = f_x;
    m_fY = f_y;
    m_fZ = f_z;
  }

  Real SquareLength() const { return m_fX * m_fX + m_fY * m_fY + m_fZ * m_fZ; }
  Real Length() const;
  // Divides by the length in place; a zero vector becomes NaN.
  CVector3 &Normalize();
  CVector3 &Rotate(const CQuaternion &c_quaternion);
  CVector3 &RotateZ(const CRadians &c_angle);
  Real DotProduct(const CVector3 &c_other) const {
    return m_fX * c_other.m_fX + m_fY * c_other.m_fY + m_fZ * c_other.m_fZ;
  }
  CVector3 &CrossProduct(const CVector3 &c_other);

  CVector3 &operator+=(const CVector3 &c_other) {
    m_fX += c_other.m_fX;
    m_fY += c_other.m_fY;
    m_fZ += c_other.m_fZ;
    return *this;
  }
  CVector3 &operator-=(const CVector3 &c_other) {
    m_fX -= c_other.m_fX;
    m_fY -= c_other.m_fY;
    m_fZ -= c_other.m_fZ;
    return *this;
  }
  CVector3 &operator*=(Real f_value) {
    m_fX *= f_value;
    m_fY *= f_value;
    m_fZ *= f_value;
    return *this;
  }
  CVector3 &operator/=(Real f_value) {
    m_fX /= f_value;
    m_fY /= f_value;
    m_fZ /= f_value;
    return *this;
  }
  CVector3 operator+(const CVector3 &c_other) const { return CVector3(*this) += c_other; }
  CVector3 operator-(const CVector3 &c_other) const { return CVector3(*this) -= c_other; }
  CVector3 operator*(Real f_value) const { return CVector3(*this) *= f_value; }
  CVector3 operator/(Real f_value) const { return CVector3(*this) /= f_value; }
  CVector3 operator-() const { return CVector3(-m_fX, -m_fY, -m_fZ); }
  friend CVector3 operator*(Real f_value, const CVector3 &c_vector) {
    return c_vector * f_value;
  }
  bool operator==(const CVector3 &c_other) const {
    return m_fX == c_other.m_fX && m_fY == c_other.m_fY && m_fZ == c_other.m_fZ;
  }
  bool operator!=(const CVector3 &c_other) const { return !(*this == c_other); }

private:
  Real m_fX;
  Real m_fY;
  Real m_fZ;
};

// Text form "x,y,z". Input reads the fields with ParseValues (throws
// CARGoSException when fewer than three are found).
std::ostream &operator<<(std::ostream &c_os, const CVector3 &c_vector);
std::istream &operator>>(std::istream &c_is, CVector3 &c_vector);

Real Distance(const CVector3 &c_v1, const CVector3 &c_v2);
Real SquareDistance(const CVector3 &c_v1, const CVector3 &c_v2);

} // namespace argos

#endif
