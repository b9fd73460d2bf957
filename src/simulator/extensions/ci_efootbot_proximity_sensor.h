/*
 * Control interface of the extended foot-bot's proximity ring (device
 * "efootbot_proximity"), a simulator extension of the Vesk project. Same
 * readings as the foot-bot's ring: a value (0 = nothing near, up to 1 at
 * contact) and an angle in radians in the robot's frame, 24 of them,
 * reading i looking at (i + 0.5) * PI / 12, signed-normalised.
 * Implementations fill m_tReadings.
 */
#ifndef VESK_CI_EFOOTBOT_PROXIMITY_SENSOR_H
#define VESK_CI_EFOOTBOT_PROXIMITY_SENSOR_H

#include <argos3/core/config.h>
#include <argos3/core/control_interface/ci_sensor.h>
#include <argos3/core/utility/math/angles.h>

#include <vector>

namespace argos {

class CCI_EFootBotProximitySensor : public CCI_Sensor {
public:
  static constexpr size_t NUM_READINGS = 24;

  struct SReading {
    Real Value;
    CRadians Angle;
    SReading() : Value(0) {}
    SReading(Real f_value, const CRadians &c_angle) : Value(f_value), Angle(c_angle) {}
  };
  typedef std::vector<SReading> TReadings;

  CCI_EFootBotProximitySensor() : m_tReadings(NUM_READINGS) {
    for (size_t i = 0; i < NUM_READINGS; ++i) {
      m_tReadings[i].Angle = CRadians::PI * ((static_cast<Real>(i) + 0.5) / 12.0);
      m_tReadings[i].Angle.SignedNormalize();
    }
  }
  virtual ~CCI_EFootBotProximitySensor() {}

  const TReadings &GetReadings() const { return m_tReadings; }

#ifdef ARGOS_WITH_LUA
  /* Vesk scripts do not use ARGoS's Lua binding. */
  virtual void CreateLuaState(lua_State *) {}
  virtual void ReadingsToLuaState(lua_State *) {}
#endif

protected:
  TReadings m_tReadings;
};

} // namespace argos

#endif
