/*
 * Simulated extended foot-bot devices of the headless world: the extension
 * interfaces' proximity ring and battery, for vesksim and the controller
 * tests. Controllers use only the CCI_ interfaces.
 */
#ifndef VESKSIM_EFOOTBOT_DEVICES_H
#define VESKSIM_EFOOTBOT_DEVICES_H

#include "extensions/ci_efootbot_battery_sensor.h"
#include "extensions/ci_efootbot_proximity_sensor.h"
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

/* Battery with a simple charge model, advanced once per step by Update():
   while charging the state of charge rises by "charge_rate", otherwise it
   falls by "idle_drain", plus "processing_drain" while processing; it
   stays within [0, 1]. XML attributes (all optional) on the device node:
   "soc" (initial, default 1), "charge_rate" (0.01), "idle_drain" (0.0001),
   "processing_drain" (0.001). */
class CEFootBotBatterySensor : public CCI_EFootBotBatterySensor, public CUpdatableSensor {
public:
  void Init(TConfigurationNode &t_node) override;
  /* Back to the initial charge, neither charging nor processing. */
  void Reset() override;
  void Update() override;

  Real GetSoc() const override { return m_fSoc; }
  void StartCharging() override { m_bCharging = true; }
  void StopCharging() override { m_bCharging = false; }
  void StartProcessing() override { m_bProcessing = true; }
  void StopProcessing() override { m_bProcessing = false; }

  void SetSoc(Real f_soc) { m_fSoc = f_soc; }
  bool IsCharging() const { return m_bCharging; }
  bool IsProcessing() const { return m_bProcessing; }

private:
  Real m_fInitialSoc = 1.0;
  Real m_fSoc = 1.0;
  Real m_fChargeRate = 0.01;
  Real m_fIdleDrain = 0.0001;
  Real m_fProcessingDrain = 0.001;
  bool m_bCharging = false;
  bool m_bProcessing = false;
};

/* Enters "efootbot_proximity" and "battery" (the extension's battery, in
   place of ARGoS's) into the stand-in's device registry. */
void RegisterEFootBotDevices();

} // namespace vesksim

#endif
