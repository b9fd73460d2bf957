/*
 * Where the robot is: position in metres (world frame) and orientation.
 */
#ifndef ARGOS_CI_POSITIONING_SENSOR_H
#define ARGOS_CI_POSITIONING_SENSOR_H

#include <argos3/core/control_interface/ci_sensor.h>
#include <argos3/core/utility/math/quaternion.h>
#include <argos3/core/utility/math/vector3.h>

namespace argos {

class CCI_PositioningSensor : public CCI_Sensor {
public:
  struct SReading {
    CVector3 Position;
    CQuaternion Orientation;
  };

  virtual ~CCI_PositioningSensor() {}
  const SReading &GetReading() const { return m_sReading; }

protected:
  SReading m_sReading;
  CRadians m_cAngle;
  CVector3 m_cAxis;
};

} // namespace argos

#endif
