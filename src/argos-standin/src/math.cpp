/*
 * Angles, vectors and quaternions.
 */
#include <argos3/core/utility/math/angles.h>
#include <argos3/core/utility/math/quaternion.h>
#include <argos3/core/utility/math/vector2.h>
#include <argos3/core/utility/math/vector3.h>
#include <argos3/core/utility/string_utilities.h>
#include <cmath>
#include <istream>
#include <ostream>

namespace argos {

/* Angles */

template <class ANGLE> void CAngleBase<ANGLE>::Wrap(Real f_min, Real f_span) {
  if (m_fValue >= f_min && m_fValue <= f_min + f_span) return;
  // fmod instead of repeated subtraction: huge values would take forever.
  Real fWrapped = std::fmod(m_fValue - f_min, f_span);
  if (fWrapped < 0) fWrapped += f_span;
  m_fValue = fWrapped + f_min;
}
template class CAngleBase<CRadians>;
template class CAngleBase<CDegrees>;

const CRadians CRadians::PI(ARGOS_PI);
const CRadians CRadians::TWO_PI(2.0 * ARGOS_PI);
const CRadians CRadians::PI_OVER_TWO(ARGOS_PI / 2.0);
const CRadians CRadians::PI_OVER_THREE(ARGOS_PI / 3.0);
const CRadians CRadians::PI_OVER_FOUR(ARGOS_PI / 4.0);
const CRadians CRadians::PI_OVER_SIX(ARGOS_PI / 6.0);
const CRadians CRadians::ZERO(0.0);
const Real CRadians::RADIANS_TO_DEGREES(180.0 / ARGOS_PI);
const Real CDegrees::DEGREES_TO_RADIANS(ARGOS_PI / 180.0);

void CRadians::FromValueInDegrees(Real f_value) {
  m_fValue = f_value / RADIANS_TO_DEGREES;
}

CRadians &CRadians::SignedNormalize() {
  Wrap(-ARGOS_PI, 2.0 * ARGOS_PI);
  return *this;
}

CRadians &CRadians::UnsignedNormalize() {
  Wrap(0.0, 2.0 * ARGOS_PI);
  return *this;
}

void CDegrees::FromValueInRadians(Real f_value) {
  m_fValue = f_value / DEGREES_TO_RADIANS;
}

CDegrees &CDegrees::SignedNormalize() {
  Wrap(-180.0, 360.0);
  return *this;
}

CDegrees &CDegrees::UnsignedNormalize() {
  Wrap(0.0, 360.0);
  return *this;
}

CDegrees ToDegrees(const CRadians &c_radians) {
  return CDegrees(c_radians.GetValue() * CRadians::RADIANS_TO_DEGREES);
}

CRadians ToRadians(const CDegrees &c_degrees) {
  return CRadians(c_degrees.GetValue() * CDegrees::DEGREES_TO_RADIANS);
}

CRadians NormalizedDifference(const CRadians &c_angle1, const CRadians &c_angle2) {
  CRadians cDifference = c_angle1 - c_angle2;
  return cDifference.SignedNormalize();
}

Real Sin(const CRadians &c_radians) {
  return std::sin(c_radians.GetValue());
}
Real Cos(const CRadians &c_radians) {
  return std::cos(c_radians.GetValue());
}
Real Tan(const CRadians &c_radians) {
  return std::tan(c_radians.GetValue());
}
CRadians ASin(Real f_value) {
  return CRadians(std::asin(f_value));
}
CRadians ACos(Real f_value) {
  return CRadians(std::acos(f_value));
}
CRadians ATan2(Real f_y, Real f_x) {
  return CRadians(std::atan2(f_y, f_x));
}

std::ostream &operator<<(std::ostream &c_os, const CRadians &c_radians) {
  return c_os << "CRadians(" << c_radians.GetValue() << " -> "
              << c_radians.GetValue() * CRadians::RADIANS_TO_DEGREES << " degrees)";
}

namespace {

// Reads a number straight into the angle, as operator>> does into a Real: a
// failed read on a good stream leaves 0.
template <class ANGLE> std::istream &ReadAngle(std::istream &c_is, ANGLE &c_angle) {
  Real fValue = c_angle.GetValue();
  c_is >> fValue;
  c_angle.SetValue(fValue);
  return c_is;
}

} // namespace

std::istream &operator>>(std::istream &c_is, CRadians &c_radians) {
  return ReadAngle(c_is, c_radians);
}

std::ostream &operator<<(std::ostream &c_os, const CDegrees &c_degrees) {
  return c_os << "CDegrees(" << c_degrees.GetValue() << ")";
}

std::istream &operator>>(std::istream &c_is, CDegrees &c_degrees) {
  return ReadAngle(c_is, c_degrees);
}

/* Two-dimensional vectors */

const CVector2 CVector2::X(1.0, 0.0);
const CVector2 CVector2::Y(0.0, 1.0);
const CVector2 CVector2::ZERO;

Real CVector2::Length() const {
  return std::sqrt(SquareLength());
}

CVector2 &CVector2::Normalize() {
  return *this /= Length();
}

CVector2 &CVector2::Rotate(const CRadians &c_angle) {
  const Real fSin = Sin(c_angle), fCos = Cos(c_angle);
  Set(m_fX * fCos - m_fY * fSin, m_fX * fSin + m_fY * fCos);
  return *this;
}

std::ostream &operator<<(std::ostream &c_os, const CVector2 &c_vector) {
  return c_os << c_vector.GetX() << "," << c_vector.GetY();
}

std::istream &operator>>(std::istream &c_is, CVector2 &c_vector) {
  Real pfValues[2];
  ParseValues<Real>(c_is, 2, pfValues, ',');
  c_vector.Set(pfValues[0], pfValues[1]);
  return c_is;
}

Real SquareDistance(const CVector2 &c_v1, const CVector2 &c_v2) {
  return (c_v1 - c_v2).SquareLength();
}

Real Distance(const CVector2 &c_v1, const CVector2 &c_v2) {
  return (c_v1 - c_v2).Length();
}

/* Three-dimensional vectors */

const CVector3 CVector3::X(1.0, 0.0, 0.0);
const CVector3 CVector3::Y(0.0, 1.0, 0.0);
const CVector3 CVector3::Z(0.0, 0.0, 1.0);
const CVector3 CVector3::ZERO;

CVector3::CVector3(Real f_length, const CRadians &c_inclination,
                   const CRadians &c_azimuth)
    : m_fX(f_length * Sin(c_inclination) * Cos(c_azimuth)),
      m_fY(f_length * Sin(c_inclination) * Sin(c_azimuth)),
      m_fZ(f_length * Cos(c_inclination)) {}

Real CVector3::Length() const {
  return std::sqrt(SquareLength());
}

CVector3 &CVector3::Normalize() {
  return *this /= Length();
}

CVector3 &CVector3::Rotate(const CQuaternion &c_quaternion) {
  // q * (0, v) * q^-1, keeping the vector part.
  CQuaternion cResult =
      c_quaternion * CQuaternion(0.0, m_fX, m_fY, m_fZ) * c_quaternion.Inverse();
  Set(cResult.GetX(), cResult.GetY(), cResult.GetZ());
  return *this;
}

CVector3 &CVector3::RotateZ(const CRadians &c_angle) {
  const Real fSin = Sin(c_angle), fCos = Cos(c_angle);
  Set(m_fX * fCos - m_fY * fSin, m_fX * fSin + m_fY * fCos, m_fZ);
  return *this;
}

CVector3 &CVector3::CrossProduct(const CVector3 &c_other) {
  Set(m_fY * c_other.m_fZ - m_fZ * c_other.m_fY,
      m_fZ * c_other.m_fX - m_fX * c_other.m_fZ,
      m_fX * c_other.m_fY - m_fY * c_other.m_fX);
  return *this;
}

std::ostream &operator<<(std::ostream &c_os, const CVector3 &c_vector) {
  return c_os << c_vector.GetX() << "," << c_vector.GetY() << "," << c_vector.GetZ();
}

std::istream &operator>>(std::istream &c_is, CVector3 &c_vector) {
  Real pfValues[3];
  ParseValues<Real>(c_is, 3, pfValues, ',');
  c_vector.Set(pfValues[0], pfValues[1], pfValues[2]);
  return c_is;
}

Real SquareDistance(const CVector3 &c_v1, const CVector3 &c_v2) {
  return (c_v1 - c_v2).SquareLength();
}

Real Distance(const CVector3 &c_v1, const CVector3 &c_v2) {
  return (c_v1 - c_v2).Length();
}

/* Quaternions */

CQuaternion &CQuaternion::FromEulerAngles(const CRadians &c_z_angle,
                                          const CRadians &c_y_angle,
                                          const CRadians &c_x_angle) {
  const Real fCZ = Cos(c_z_angle * 0.5), fSZ = Sin(c_z_angle * 0.5);
  const Real fCY = Cos(c_y_angle * 0.5), fSY = Sin(c_y_angle * 0.5);
  const Real fCX = Cos(c_x_angle * 0.5), fSX = Sin(c_x_angle * 0.5);
  m_fW = fCX * fCY * fCZ + fSX * fSY * fSZ;
  m_fX = fSX * fCY * fCZ - fCX * fSY * fSZ;
  m_fY = fCX * fSY * fCZ + fSX * fCY * fSZ;
  m_fZ = fCX * fCY * fSZ - fSX * fSY * fCZ;
  return *this;
}

void CQuaternion::ToEulerAngles(CRadians &c_z_angle, CRadians &c_y_angle,
                                CRadians &c_x_angle) const {
  const Real fSinPitch = 2.0 * (m_fW * m_fY - m_fZ * m_fX);
  // Within this distance of +-1 the pitch is taken as +-90 degrees: yaw and
  // roll then turn about the same axis and only their difference counts.
  constexpr Real GIMBAL_LOCK_MARGIN = 1e-9;
  if (fSinPitch >= 1.0 - GIMBAL_LOCK_MARGIN) {
    c_y_angle = CRadians::PI_OVER_TWO;
    c_z_angle = CRadians(-2.0 * std::atan2(m_fX, m_fW));
    c_x_angle = CRadians::ZERO;
  } else if (fSinPitch <= -1.0 + GIMBAL_LOCK_MARGIN) {
    c_y_angle = -CRadians::PI_OVER_TWO;
    c_z_angle = CRadians(2.0 * std::atan2(m_fX, m_fW));
    c_x_angle = CRadians::ZERO;
  } else {
    c_y_angle = CRadians(std::asin(fSinPitch));
    c_z_angle = CRadians(std::atan2(2.0 * (m_fW * m_fZ + m_fX * m_fY),
                                    1.0 - 2.0 * (m_fY * m_fY + m_fZ * m_fZ)));
    c_x_angle = CRadians(std::atan2(2.0 * (m_fW * m_fX + m_fY * m_fZ),
                                    1.0 - 2.0 * (m_fX * m_fX + m_fY * m_fY)));
    return;
  }
  c_z_angle.SignedNormalize();
}

CQuaternion &CQuaternion::FromAngleAxis(const CRadians &c_angle, const CVector3 &c_axis) {
  const Real fSin = Sin(c_angle * 0.5);
  m_fW = Cos(c_angle * 0.5);
  m_fX = c_axis.GetX() * fSin;
  m_fY = c_axis.GetY() * fSin;
  m_fZ = c_axis.GetZ() * fSin;
  return *this;
}

void CQuaternion::ToAngleAxis(CRadians &c_angle, CVector3 &c_axis) const {
  const Real fImaginaryLength = std::sqrt(m_fX * m_fX + m_fY * m_fY + m_fZ * m_fZ);
  if (fImaginaryLength > 0.0) {
    c_angle = CRadians(2.0 * std::atan2(fImaginaryLength, m_fW));
    c_axis.Set(m_fX / fImaginaryLength, m_fY / fImaginaryLength, m_fZ / fImaginaryLength);
  } else {
    // No rotation: any axis will do.
    c_angle = CRadians::ZERO;
    c_axis = CVector3::X;
  }
}

Real CQuaternion::Length() const {
  return std::sqrt(SquareLength());
}

CQuaternion &CQuaternion::Normalize() {
  const Real fLength = Length();
  m_fW /= fLength;
  m_fX /= fLength;
  m_fY /= fLength;
  m_fZ /= fLength;
  return *this;
}

CQuaternion CQuaternion::operator*(const CQuaternion &c_other) const {
  return CQuaternion(m_fW * c_other.m_fW - m_fX * c_other.m_fX - m_fY * c_other.m_fY -
                         m_fZ * c_other.m_fZ,
                     m_fW * c_other.m_fX + m_fX * c_other.m_fW + m_fY * c_other.m_fZ -
                         m_fZ * c_other.m_fY,
                     m_fW * c_other.m_fY - m_fX * c_other.m_fZ + m_fY * c_other.m_fW +
                         m_fZ * c_other.m_fX,
                     m_fW * c_other.m_fZ + m_fX * c_other.m_fY - m_fY * c_other.m_fX +
                         m_fZ * c_other.m_fW);
}

std::ostream &operator<<(std::ostream &c_os, const CQuaternion &c_quaternion) {
  CRadians cZ, cY, cX;
  c_quaternion.ToEulerAngles(cZ, cY, cX);
  return c_os << ToDegrees(cZ).GetValue() << "," << ToDegrees(cY).GetValue() << ","
              << ToDegrees(cX).GetValue();
}

std::istream &operator>>(std::istream &c_is, CQuaternion &c_quaternion) {
  Real pfDegrees[3];
  ParseValues<Real>(c_is, 3, pfDegrees, ',');
  c_quaternion.FromEulerAngles(ToRadians(CDegrees(pfDegrees[0])),
                               ToRadians(CDegrees(pfDegrees[1])),
                               ToRadians(CDegrees(pfDegrees[2])));
  return c_is;
}

} // namespace argos
