/*
 * Two-wheel drive: linear speeds of the left and right wheels in cm/s.
 */
#ifndef ARGOS_CI_DIFFERENTIAL_STEERING_ACTUATOR_H
#define ARGOS_CI_DIFFERENTIAL_STEERING_ACTUATOR_H

#include <argos3/core/control_interface/ci_actuator.h>

namespace argos {

class CCI_DifferentialSteeringActuator : public CCI_Actuator {
public:
  CCI_DifferentialSteeringActuator() : m_fCurrentVelocity{0, 0} {}
  virtual ~CCI_DifferentialSteeringActuator() {}
  virtual void SetLinearVelocity(Real f_left_velocity, Real f_right_velocity) = 0;

protected:
  Real m_fCurrentVelocity[2]; // left, right
};

} // namespace argos

#endif
