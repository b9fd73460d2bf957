/*
 * The foot-bot's ring of 24 infrared proximity sensors.
 */
#ifndef ARGOS_CI_FOOTBOT_PROXIMITY_SENSOR_H
#define ARGOS_CI_FOOTBOT_PROXIMITY_SENSOR_H

#include <argos3/core/control_interface/ci_sensor.h>
#include <argos3/core/utility/math/angles.h>
#include <iosfwd>
#include <vector>

namespace argos {

class CCI_FootBotProximitySensor : public CCI_Sensor {
public:
  struct SReading {
    Real Value;     // 0 = nothing near, up to 1 at contact
    CRadians Angle; // robot frame, counter-clockwise from the front
    SReading() : Value(0) {}
    SReading(Real f_value, const CRadians &c_angle) : Value(f_value), Angle(c_angle) {}
  };
  typedef std::vector<SReading> TReadings;

  // Creates the 24 readings, all 0: reading i looks at (i + 0.5) * PI / 12,
  // normalised into [-PI, PI]. The sensor starts disabled, as every sensor.
  CCI_FootBotProximitySensor();
  virtual ~CCI_FootBotProximitySensor() {}
  const TReadings &GetReadings() const { return m_tReadings; }

protected:
  TReadings m_tReadings;
};

// "Value=<v>, Angle=<a>"; the readings as "{ v } { v } ..." and a new line,
// every brace holding the first reading's value, as ARGoS prints them.
std::ostream &operator<<(std::ostream &c_os,
                         const CCI_FootBotProximitySensor::SReading &s_reading);
std::ostream &operator<<(std::ostream &c_os,
                         const CCI_FootBotProximitySensor::TReadings &t_readings);

} // namespace argos

#endif
