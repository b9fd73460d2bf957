/*
 * Two-dimensional vector with Cartesian and polar construction.
 */
#ifndef ARGOS_VECTOR2_H
#define ARGOS_VECTOR2_H

#include <argos3/core/utility/math/angles.h>
#include <iosfwd>

namespace argos {

class CVector2 {
public:
  static const CVector2 X;
  static const CVector2 Y;
  static const CVector2 ZERO;

  CVector2() : m_fX(0), m_fY(0) {}
  CVector2(Real f_x, Real f_y) : m_fX(f_x), m_fY(f_y) {}
  // Polar form: length and angle from the X axis.
  CVector2(Real f_length, const CRadians &c_angle)
      : m_fX(f_length * Cos(c_angle)), m_fY(f_length * Sin(c_angle)) {}

  Real GetX() const { return m_fX; }
  Real GetY() const { return m_fY; }
  void SetX(Real f_x) { m_fX = f_x; }
  void SetY(Real f_y) { m_fY = f_y; }
  void Set(Real f_x, Real f_y) {
    m_fX = f_x;
    m_fY = f_y;
  }
  void FromPolarCoordinates(Real f_length, const CRadians &c_angle) {
    *this = CVector2(f_length, c_angle);
  }

  Real SquareLength() const { return m_fX * m_fX + m_fY * m_fY; }
  Real Length() const;
  // Divides by the length in place; a zero vector becomes NaN.
  CVector2 &Normalize();
  // Angle from the X axis, in (-PI, PI].
  CRadians Angle() const { return ATan2(m_fY, m_fX); }
  CVector2 &Rotate(const CRadians &c_angle);
  Real DotProduct(const CVector2 &c_other) const {
    return m_fX * c_other.m_fX + m_fY * c_other.m_fY;
  }
  Real CrossProduct(const CVector2 &c_other) const {
    return m_fX * c_other.m_fY - m_fY * c_other.m_fX;
  }

  CVector2 &operator+=(const CVector2 &c_other) {
    m_fX += c_other.m_fX;
    m_fY += c_other.m_fY;
    return *this;
  }
  CVector2 &operator-=(const CVector2 &c_other) {
    m_fX -= c_other.m_fX;
    m_fY -= c_other.m_fY;
    return *this;
  }
  CVector2 &operator*=(Real f_value) {
    m_fX *= f_value;
    m_fY *= f_value;
    return *this;
  }
  CVector2 &operator/=(Real f_value) {
    m_fX /= f_value;
    m_fY /= f_value;
    return *this;
  }
  CVector2 operator+(const CVector2 &c_other) const { return CVector2(*this) += c_other; }
  CVector2 operator-(const CVector2 &c_other) const { return CVector2(*this) -= c_other; }
  CVector2 operator*(Real f_value) const { return CVector2(*this) *= f_value; }
  CVector2 operator/(Real f_value) const { return CVector2(*this) /= f_value; }
  CVector2 operator-() const { return CVector2(-m_fX, -m_fY); }
  friend CVector2 operator*(Real f_value, const CVector2 &c_vector) {
    return c_vector * f_value;
  }
  bool operator==(const CVector2 &c_other) const {
    return m_fX == c_other.m_fX && m_fY == c_other.m_fY;
  }
  bool operator!=(const CVector2 &c_other) const { return !(*this == c_other); }

private:
  Real m_fX;
  Real m_fY;
};

// Text form "x,y". Input reads the fields with ParseValues (throws
// CARGoSException when fewer than two are found).
std::ostream &operator<<(std::ostream &c_os, const CVector2 &c_vector);
std::istream &operator>>(std::istream &c_is, CVector2 &c_vector);

Real Distance(const CVector2 &c_v1, const CVector2 &c_v2);
Real SquareDistance(const CVector2 &c_v1, const CVector2 &c_v2);

} // namespace argos

#endif
