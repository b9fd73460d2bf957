/*
 * Simulated extended foot-bot devices of the headless world: the extension
 * interfaces' proximity ring and battery, for vesksim and the controller
 * tests. Controllers use only the CCI_ interfaces.
 */
#ifndef VESKSIM_EFOOTBOT_DEVICES_H
#define VESKSIM_EFOOTBOT_DEVICES_H

#include "extensions/ci_efootbot_battery_sensor.h"
#include "extensions/ci_efootbot_proximity_sensor.h"
#include "extensions/efootbot_battery_model.h"
#include "sim_robot_devices.h"

#include <vector>

namespace vesksim {

/* Proximity ring whose values a test sets. */
class CEFootBotProximitySensor : public CCI_EFootBotProximitySensor {
public:
  /* Throws CARGoSException for a bad index or a count other than 24. */
  void SetValue(size_t un_index, Real f_value);
  void SetValues(const std::vector<Real> &vec_values);
  void Reset() override;
};

/* The battery, with the charge model the ARGoS device uses too
   (extensions/efootbot_battery_model.h, which lists the XML attributes),
   advanced once per step by Update(). */
class CEFootBotBatterySensor : public CCI_EFootBotBatterySensor, public CUpdatableSensor {
public:
  /* Throws CARGoSException for bad attribute values. */
  void Init(TConfigurationNode &t_node) override;
  /* Back to the initial charge, neither charging nor processing. */
  void Reset() override { m_sModel.Reset(); }
  void Update() override { m_sModel.Step(); }

  Real GetSoc() const override { return m_sModel.Soc; }
  void StartCharging() override { m_sModel.Charging = true; }
  void StopCharging() override { m_sModel.Charging = false; }
  void StartProcessing() override { m_sModel.Processing = true; }
  void StopProcessing() override { m_sModel.Processing = false; }

  void SetSoc(Real f_soc) { m_sModel.Soc = f_soc; }
  bool IsCharging() const { return m_sModel.Charging; }
  bool IsProcessing() const { return m_sModel.Processing; }

private:
  SVeskEFootBotBatteryModel m_sModel;
};

/* Enters "efootbot_proximity" and "battery" (the extension's battery, in
   place of ARGoS's, whatever the implementation) into the robot harness's
   device registry. */
void RegisterEFootBotDevices();

} // namespace vesksim

#endif
