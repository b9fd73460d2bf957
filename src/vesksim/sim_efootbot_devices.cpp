/*
 * Simulated extended foot-bot devices of the headless world.
 */
#include "sim_efootbot_devices.h"

#include "sim_robot.h"

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
  try {
    m_sModel.Init(t_node);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Initialization error in the efootbot battery sensor",
                                ex);
  }
}

void RegisterEFootBotDevices() {
  CDeviceRegistry::RegisterSensor("efootbot_proximity", [](const SDeviceContext &) {
    return new CEFootBotProximitySensor;
  });
  CDeviceRegistry::RegisterSensor(
      "battery", [](const SDeviceContext &) { return new CEFootBotBatterySensor; });
}

} // namespace vesksim
