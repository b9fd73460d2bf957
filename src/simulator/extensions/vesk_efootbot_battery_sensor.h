/*
 * CVeskEFootBotBatterySensor: the extended foot-bot's battery in ARGoS
 * (sensor "battery", implementation "efootbot"; ARGoS's own "battery",
 * implementation "default", is another device). It holds the charge model
 * of efootbot_battery_model.h and advances it once per control step; it
 * needs nothing from the robot entity.
 */
#ifndef VESK_EFOOTBOT_BATTERY_SENSOR_H
#define VESK_EFOOTBOT_BATTERY_SENSOR_H

#include <argos3/core/simulator/sensor.h>

#include "ci_efootbot_battery_sensor.h"
#include "efootbot_battery_model.h"

class CVeskEFootBotBatterySensor : public argos::CCI_EFootBotBatterySensor,
                                   public argos::CSimulatedSensor {
public:
  void SetRobot(argos::CComposableEntity &) override {}
  /* The model's XML attributes; throws CARGoSException for bad values. */
  void Init(argos::TConfigurationNode &t_node) override;
  /* One step of the model. */
  void Update() override { m_sModel.Step(); }
  /* Back to the initial charge, neither charging nor processing. */
  void Reset() override { m_sModel.Reset(); }

  argos::Real GetSoc() const override { return m_sModel.Soc; }
  void StartCharging() override { m_sModel.Charging = true; }
  void StopCharging() override { m_sModel.Charging = false; }
  void StartProcessing() override { m_sModel.Processing = true; }
  void StopProcessing() override { m_sModel.Processing = false; }

private:
  SVeskEFootBotBatteryModel m_sModel;
};

#endif
