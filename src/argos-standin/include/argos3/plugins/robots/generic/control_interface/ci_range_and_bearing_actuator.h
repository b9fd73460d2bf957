/*
 * Range-and-bearing radio, sending side: a fixed-size payload broadcast to
 * nearby robots every step until it is changed.
 */
#ifndef ARGOS_CI_RANGE_AND_BEARING_ACTUATOR_H
#define ARGOS_CI_RANGE_AND_BEARING_ACTUATOR_H

#include <argos3/core/control_interface/ci_actuator.h>
#include <argos3/core/utility/datatypes/byte_array.h>

namespace argos {

class CCI_RangeAndBearingActuator : public CCI_Actuator {
public:
  virtual ~CCI_RangeAndBearingActuator() {}

  // Payload size in bytes, fixed by the robot's configuration.
  size_t GetSize() const { return m_cData.Size(); }
  // Replaces the whole payload; throws CARGoSException unless c_data has
  // exactly GetSize() bytes.
  void SetData(const CByteArray &c_data);
  // Sets one byte; throws for an index past the payload.
  void SetData(size_t un_idx, UInt8 un_value);
  // Zeroes the payload, keeping its size.
  void ClearData() { m_cData.Zero(); }

protected:
  CByteArray m_cData;
};

} // namespace argos

#endif
