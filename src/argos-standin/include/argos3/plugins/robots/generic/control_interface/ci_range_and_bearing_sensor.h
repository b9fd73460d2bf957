/*
 * Range-and-bearing radio, receiving side: one packet per robot in range,
 * with where it is relative to this robot.
 */
#ifndef ARGOS_CI_RANGE_AND_BEARING_SENSOR_H
#define ARGOS_CI_RANGE_AND_BEARING_SENSOR_H

#include <argos3/core/control_interface/ci_sensor.h>
#include <argos3/core/utility/datatypes/byte_array.h>
#include <argos3/core/utility/math/angles.h>
#include <vector>

namespace argos {

class CCI_RangeAndBearingSensor : public CCI_Sensor {
public:
  struct SPacket {
    Real Range;                 // centimetres
    CRadians HorizontalBearing; // [-PI, PI] in the receiver's frame, 0 = its front
    CRadians VerticalBearing;   // [-PI/2, PI/2], 0 = same height
    CByteArray Data;            // the sender's whole payload
    SPacket() : Range(0) {}
  };
  typedef std::vector<SPacket> TReadings;

  virtual ~CCI_RangeAndBearingSensor() {}
  const TReadings &GetReadings() const { return m_tReadings; }

protected:
  TReadings m_tReadings;
};

} // namespace argos

#endif
