/*
 * Unit quaternions for 3-D orientations, with Z-Y-X (yaw, pitch, roll)
 * Euler-angle conversion.
 */
#ifndef ARGOS_QUATERNION_H
#define ARGOS_QUATERNION_H

#include <argos3/core/utility/math/vector3.h>
#include <iosfwd>

namespace argos {

class CQuaternion {
public:
  CQuaternion() : m_fW(1), m_fX(0), m_fY(0), m_fZ(0) {}
  CQuaternion(Real f_real, Real f_img1, Real f_img2, Real f_img3)
      : m_fW(f_real), m_fX(f_img1), m_fY(f_img2), m_fZ(f_img3) {}
  CQuaternion(const CRadians &c_radians, const CVector3 &c_axis) {
    FromAngleAxis(c_radians, c_axis);
  }

  Real GetW() const { return m_fW; }
  Real GetX() const { return m_fX; }
  Real GetY() const { return m_fY; }
  Real GetZ() const { return m_fZ; }
  void SetW(Real f_w) { m_fW = f_w; }
  void SetX(Real f_x) { m_fX = f_x; }
  void SetY(Real f_y) { m_fY = f_y; }
  void SetZ(Real f_z) { m_fZ = f_z; }
  void Set(Real f_w, Real f_x, Real f_y, Real f_z) {
    m_fW = f_w;
    m_fX = f_x;
    m_fY = f_y;
    m_fZ = f_z;
  }

  // Rotation about Z, then Y, then X (all in the rotated frame).
  CQuaternion &FromEulerAngles(const CRadians &c_z_angle, const CRadians &c_y_angle,
                               const CRadians &c_x_angle);
  // Inverse of FromEulerAngles. At a pitch of +-90 degrees only the
  // difference of yaw and roll is defined; roll is then reported as 0.
  void ToEulerAngles(CRadians &c_z_angle, CRadians &c_y_angle, CRadians &c_x_angle) const;
  // The axis must be normalised.
  CQuaternion &FromAngleAxis(const CRadians &c_angle, const CVector3 &c_axis);
  void ToAngleAxis(CRadians &c_angle, CVector3 &c_axis) const;

  Real SquareLength() const {
    return m_fW * m_fW + m_fX * m_fX + m_fY * m_fY + m_fZ * m_fZ;
  }
  Real Length() const;
  CQuaternion &Normalize();
  // For unit quaternions the inverse and the conjugate coincide.
  CQuaternion Conjugate() const { return CQuaternion(m_fW, -m_fX, -m_fY, -m_fZ); }
  CQuaternion Inverse() const { return Conjugate(); }

  CQuaternion operator*(const CQuaternion &c_other) const;
  CQuaternion &operator*=(const CQuaternion &c_other) { return *this = *this * c_other; }
  CQuaternion operator+(const CQuaternion &c_other) const {
    return CQuaternion(m_fW + c_other.m_fW, m_fX + c_other.m_fX, m_fY + c_other.m_fY,
                       m_fZ + c_other.m_fZ);
  }
  bool operator==(const CQuaternion &c_other) const {
    return m_fW == c_other.m_fW && m_fX == c_other.m_fX && m_fY == c_other.m_fY &&
           m_fZ == c_other.m_fZ;
  }
  bool operator!=(const CQuaternion &c_other) const { return !(*this == c_other); }

private:
  Real m_fW;
  Real m_fX;
  Real m_fY;
  Real m_fZ;
};

// Text form: the Euler angles "z,y,x" in degrees, read as CVector3 reads.
std::ostream &operator<<(std::ostream &c_os, const CQuaternion &c_quaternion);
std::istream &operator>>(std::istream &c_is, CQuaternion &c_quaternion);

} // namespace argos

#endif
