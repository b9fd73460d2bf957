/*
 * Flight commands of a quad-rotor: a target position (metres) and yaw
 * (radians) that the robot flies towards over several steps.
 */
#ifndef ARGOS_CI_QUADROTOR_POSITION_ACTUATOR_H
#define ARGOS_CI_QUADROTOR_POSITION_ACTUATOR_H

#include <argos3/core/control_interface/ci_actuator.h>
#include <argos3/core/utility/math/angles.h>
#include <argos3/core/utility/math/vector3.h>

namespace argos {

class CCI_QuadRotorPositionActuator : public CCI_Actuator {
public:
  virtual ~CCI_QuadRotorPositionActuator() {}
  // World-frame target; the yaw target is kept.
  virtual void SetAbsolutePosition(const CVector3 &c_pos) = 0;
  // Current position plus c_pos rotated by the current orientation (body
  // frame, x forward); replaces any earlier target.
  virtual void SetRelativePosition(const CVector3 &c_pos) = 0;
  virtual void SetAbsoluteYaw(const CRadians &c_yaw) = 0;
  // Current yaw plus c_yaw.
  virtual void SetRelativeYaw(const CRadians &c_yaw) = 0;
};

} // namespace argos

#endif
