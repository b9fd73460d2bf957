/*
 * The simulator's battery: remaining charge and estimated time left.
 */
#ifndef ARGOS_CI_BATTERY_SENSOR_H
#define ARGOS_CI_BATTERY_SENSOR_H

#include <argos3/core/control_interface/ci_sensor.h>

namespace argos {

class CCI_BatterySensor : public CCI_Sensor {
public:
  struct SReading {
    Real AvailableCharge; // 0..1
    Real TimeLeft;        // seconds
    SReading() : AvailableCharge(0), TimeLeft(0) {}
    SReading(Real f_available_charge, Real f_time_left)
        : AvailableCharge(f_available_charge), TimeLeft(f_time_left) {}
  };

  virtual ~CCI_BatterySensor() {}
  const SReading &GetReading() const { return m_sReading; }

protected:
  SReading m_sReading;
};

} // namespace argos

#endif
