/*
 * Angles in radians and degrees. The two types never convert implicitly into
 * each other or from a plain number, so a unit mix-up is a compile error.
 */
#ifndef ARGOS_ANGLES_H
#define ARGOS_ANGLES_H

#include <argos3/core/utility/math/general.h>
#include <iosfwd>

namespace argos {

class CDegrees;

// Shared arithmetic of CRadians and CDegrees: one value, compared and
// combined only with values of the same unit. Derived types name the period.
template <class ANGLE> class CAngleBase {
public:
  CAngleBase() : m_fValue(0) {}
  explicit CAngleBase(Real f_value) : m_fValue(f_value) {}

  Real GetValue() const { return m_fValue; }
  Real GetAbsoluteValue() const { return m_fValue < 0 ? -m_fValue : m_fValue; }
  void SetValue(Real f_value) { m_fValue = f_value; }

  ANGLE &Negate() {
    m_fValue = -m_fValue;
    return Self();
  }
  ANGLE operator-() const { return ANGLE(-m_fValue); }
  ANGLE operator+() const { return ANGLE(m_fValue); }

  ANGLE &operator+=(const ANGLE &c_other) {
    m_fValue += c_other.m_fValue;
    return Self();
  }
  ANGLE &operator-=(const ANGLE &c_other) {
    m_fValue -= c_other.m_fValue;
    return Self();
  }
  ANGLE &operator*=(Real f_value) {
    m_fValue *= f_value;
    return Self();
  }
  ANGLE &operator/=(Real f_value) {
    m_fValue /= f_value;
    return Self();
  }
  ANGLE operator+(const ANGLE &c_other) const {
    return ANGLE(m_fValue + c_other.m_fValue);
  }
  ANGLE operator-(const ANGLE &c_other) const {
    return ANGLE(m_fValue - c_other.m_fValue);
  }
  ANGLE operator*(Real f_value) const { return ANGLE(m_fValue * f_value); }
  ANGLE operator/(Real f_value) const { return ANGLE(m_fValue / f_value); }
  Real operator/(const ANGLE &c_other) const { return m_fValue / c_other.m_fValue; }
  friend ANGLE operator*(Real f_value, const ANGLE &c_angle) {
    return ANGLE(f_value * c_angle.m_fValue);
  }

  bool operator<(const ANGLE &c_other) const { return m_fValue < c_other.m_fValue; }
  bool operator<=(const ANGLE &c_other) const { return m_fValue <= c_other.m_fValue; }
  bool operator>(const ANGLE &c_other) const { return m_fValue > c_other.m_fValue; }
  bool operator>=(const ANGLE &c_other) const { return m_fValue >= c_other.m_fValue; }
  bool operator==(const ANGLE &c_other) const { return m_fValue == c_other.m_fValue; }
  bool operator!=(const ANGLE &c_other) const { return m_fValue != c_other.m_fValue; }

protected:
  ANGLE &Self() { return static_cast<ANGLE &>(*this); }
  // Wraps the value into [f_min, f_min + f_span]; values already inside the
  // closed range are left untouched, so both ends survive.
  void Wrap(Real f_min, Real f_span);

  Real m_fValue;
};

class CRadians : public CAngleBase<CRadians> {
public:
  static const CRadians PI;
  static const CRadians TWO_PI;
  static const CRadians PI_OVER_TWO;
  static const CRadians PI_OVER_THREE;
  static const CRadians PI_OVER_FOUR;
  static const CRadians PI_OVER_SIX;
  static const CRadians ZERO;
  static const Real RADIANS_TO_DEGREES;

  CRadians() {}
  explicit CRadians(Real f_value) : CAngleBase(f_value) {}

  void FromValueInDegrees(Real f_value);
  CRadians &SignedNormalize();   // into [-PI, PI]
  CRadians &UnsignedNormalize(); // into [0, 2PI]
};

class CDegrees : public CAngleBase<CDegrees> {
public:
  static const Real DEGREES_TO_RADIANS;

  CDegrees() {}
  explicit CDegrees(Real f_value) : CAngleBase(f_value) {}

  void FromValueInRadians(Real f_value);
  CDegrees &SignedNormalize();   // into [-180, 180]
  CDegrees &UnsignedNormalize(); // into [0, 360]
};

CDegrees ToDegrees(const CRadians &c_radians);
CRadians ToRadians(const CDegrees &c_degrees);

// a - b wrapped into [-PI, PI]: the shortest turn from b to a.
CRadians NormalizedDifference(const CRadians &c_angle1, const CRadians &c_angle2);

Real Sin(const CRadians &c_radians);
Real Cos(const CRadians &c_radians);
Real Tan(const CRadians &c_radians);
CRadians ASin(Real f_value);
CRadians ACos(Real f_value);
CRadians ATan2(Real f_y, Real f_x);

// Output "CRadians(1.5 -> 85.9437 degrees)" and "CDegrees(30)"; input is a
// plain number (XML attributes in degrees are read into a CDegrees and
// converted with ToRadians).
std::ostream &operator<<(std::ostream &c_os, const CRadians &c_radians);
std::istream &operator>>(std::istream &c_is, CRadians &c_radians);
std::ostream &operator<<(std::ostream &c_os, const CDegrees &c_degrees);
std::istream &operator>>(std::istream &c_is, CDegrees &c_degrees);

} // namespace argos

#define ARGOS_PI 3.14159265358979323846264338327950288

#endif
