/*
 * Simulated extended foot-bot devices of the headless world.
 */
#include "sim_efootbot_devices.h"

#include "sim_robot.h"

#include <algorithm>

namespace vesksim {

void CEFootBotProximitySensor::SetValue(size_t un_index, Real f_value) {
  if (un_index >= m_tReadings.size())
    THROW_ARGOSEXCEPTION("Proximity reading " << un_index
                                              << " does not exist (the sensor has "
                                              << m_tReadings.size() << ")");
  m_tReadings[un_index].Value = f_value;
}

void CEFootBotProximitySensor::SetValues(const std::vector<Real> &vec_values) {
  if (vec_values.size() != m_tReadings.size())
    THROW_ARGOSEXCEPTION("Expected " << m_tReadings.size() << " proximity values, got "
                                     << vec_values.size());
  for (size_t i = 0; i < vec_values.size(); ++i)
    m_tReadings[i].Value = vec_values[i];
}

void CEFootBotProximitySensor::Reset() {
  for (SReading &sReading : m_tReadings)
    sReading.Value = 0;
}

void CEFootBotBatterySensor::Init(TConfigurationNode &t_node) {
  GetNodeAttributeOrDefault(t_node, "soc", m_fInitialSoc, m_fInitialSoc);
  GetNodeAttributeOrDefault(t_node, "charge_rate", m_fChargeRate, m_fChargeRate);
  GetNodeAttributeOrDefault(t_node, "idle_drain", m_fIdleDrain, m_fIdleDrain);
  GetNodeAttributeOrDefault(t_node, "processing_drain", m_fProcessingDrain,
                            m_fProcessingDrain);
  Reset();
}

void CEFootBotBatterySensor::Reset() {
  m_fSoc = m_fInitialSoc;
  m_bCharging = false;
  m_bProcessing = false;
}

void CEFootBotBatterySensor::Update() {
  if (m_bCharging)
    m_fSoc += m_fChargeRate;
  else
    m_fSoc -= m_fIdleDrain + (m_bProcessing ? m_fProcessingDrain : 0.0);
  m_fSoc = std::clamp<Real>(m_fSoc, 0.0, 1.0);
}

void RegisterEFootBotDevices() {
  CDeviceRegistry::RegisterSensor("efootbot_proximity", [](const SDeviceContext &) {
    return new CEFootBotProximitySensor;
  });
  CDeviceRegistry::RegisterSensor(
      "battery", [](const SDeviceContext &) { return new CEFootBotBatterySensor; });
}

} // namespace vesksim
