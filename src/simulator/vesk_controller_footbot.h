/*
 * CVeskControllerFootBot: the Vesk controller of the ARGoS foot-bot
 * (label "vesk_controller_footbot"). Adds to the base controller the
 * natives `set_wheels`, `goto` (with the wheels) and `setleds` (with the
 * LEDs), and the table `proximity` (with the proximity ring), all optional
 * with their devices. XML: optional <wheel_turning> under <params>.
 */
#ifndef VESK_CONTROLLER_FOOTBOT_H
#define VESK_CONTROLLER_FOOTBOT_H

#include <argos3/core/utility/datatypes/color.h>
#include <argos3/plugins/robots/foot-bot/control_interface/ci_footbot_proximity_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_leds_actuator.h>

#include "vesk_controller.h"
#include "vesk_controller_ground.h"

class CVeskControllerFootBot : public CVeskController {
public:
  typedef SVeskWheelTurningParams SWheelTurningParams;

  CVeskControllerFootBot();
  void Init(argos::TConfigurationNode &t_node) override;
  void UpdateSensors() override;
  int RegisterFunctions() override;

  /* Steers along the heading (see SVeskWheelTurningParams::WheelSpeeds). */
  void SetWheelSpeedsFromVector(const argos::CVector2 &c_heading);
  /* Wheel speeds in the differential-steering actuator's unit (cm/s). */
  void SetWheels(double f_left, double f_right);
  void SetLEDs(const argos::CColor &c_color);

  const SWheelTurningParams &GetWheelTurningParams() const {
    return m_sWheelTurningParams;
  }

protected:
  argos::CCI_DifferentialSteeringActuator *m_pcWheels;
  argos::CCI_LEDsActuator *m_pcLEDs;
  argos::CCI_FootBotProximitySensor *m_pcProximity;
  SWheelTurningParams m_sWheelTurningParams;
};

int VeskSetWheels(veskvm_t t_vm);
int VeskGoTo(veskvm_t t_vm);
int VeskSetLEDs(veskvm_t t_vm);

#endif
