/*
 * Control interface of the extended foot-bot's battery (device "battery"),
 * a simulator extension of the Vesk project. Named apart from ARGoS's own
 * CCI_BatterySensor, whose interface differs, so both can live in one
 * simulator process.
 *
 * GetSoc() is the state of charge, from 0 (empty) to 1 (full). Charging and
 * processing are switched on and off by the four commands; how they change
 * the charge is up to the implementation.
 */
#ifndef VESK_CI_EFOOTBOT_BATTERY_SENSOR_H
#define VESK_CI_EFOOTBOT_BATTERY_SENSOR_H

#include <argos3/core/config.h>
#include <argos3/core/control_interface/ci_sensor.h>

namespace argos {

class CCI_EFootBotBatterySensor : public CCI_Sensor {
public:
  virtual ~CCI_EFootBotBatterySensor() {}

  virtual Real GetSoc() const = 0;
  virtual void StartCharging() = 0;
  virtual void StopCharging() = 0;
  virtual void StartProcessing() = 0;
  virtual void StopProcessing() = 0;

#ifdef ARGOS_WITH_LUA
  /* Vesk scripts do not use ARGoS's Lua binding. */
  virtual void CreateLuaState(lua_State *) {}
  virtual void ReadingsToLuaState(lua_State *) {}
#endif
};

} // namespace argos

#endif
