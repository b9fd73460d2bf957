/*
 * CVeskControllerEFootBot: the Vesk controller of the extended foot-bot
 * (label "vesk_controller_efootbot"). Like the foot-bot's, with the
 * extension's proximity ring ("efootbot_proximity") and battery
 * ("battery"): the global `robot_type` (99), the float `soc` and the natives
 * `start_charging`, `stop_charging`, `start_processing`, `stop_processing`
 * when the battery exists. On a plain foot-bot entity the extension devices
 * are absent and only wheels and LEDs remain.
 */
#ifndef VESK_CONTROLLER_EFOOTBOT_H
#define VESK_CONTROLLER_EFOOTBOT_H

#include <argos3/core/utility/datatypes/color.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_leds_actuator.h>

#include "extensions/ci_efootbot_battery_sensor.h"
#include "extensions/ci_efootbot_proximity_sensor.h"
#include "vesk_controller.h"
#include "vesk_controller_ground.h"

class CVeskControllerEFootBot : public CVeskController {
public:
  typedef SVeskWheelTurningParams SWheelTurningParams;
  /* Value of the global robot_type. */
  static const int ROBOT_TYPE = 99;

  CVeskControllerEFootBot();
  void Init(argos::TConfigurationNode &t_node) override;
  void UpdateSensors() override;
  int RegisterFunctions() override;

  void SetWheelSpeedsFromVector(const argos::CVector2 &c_heading);
  /* Writes the debug line "SetWheels(left, right)" on standard error, then
     sets the speeds. */
  void SetWheels(double f_left, double f_right);
  void SetLEDs(const argos::CColor &c_color);
  void StartCharging();
  void StopCharging();
  void StartProcessing();
  void StopProcessing();

  const SWheelTurningParams &GetWheelTurningParams() const {
    return m_sWheelTurningParams;
  }

protected:
  argos::CCI_DifferentialSteeringActuator *m_pcWheels;
  argos::CCI_LEDsActuator *m_pcLEDs;
  argos::CCI_EFootBotProximitySensor *m_pcProximity;
  argos::CCI_EFootBotBatterySensor *m_pcBattery;
  SWheelTurningParams m_sWheelTurningParams;
};

int VeskSetWheelsFb(veskvm_t t_vm);
int VeskSetLEDsFb(veskvm_t t_vm);
int VeskStartCharging(veskvm_t t_vm);
int VeskStopCharging(veskvm_t t_vm);
int VeskStartProcessing(veskvm_t t_vm);
int VeskStopProcessing(veskvm_t t_vm);

#endif
