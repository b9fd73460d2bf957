/*
 * Base of robot controllers: owns the robot's sensors and actuators, looked
 * up by their XML names, and is driven by the simulator once per step.
 */
#ifndef ARGOS_CI_CONTROLLER_H
#define ARGOS_CI_CONTROLLER_H

#include <argos3/core/control_interface/ci_actuator.h>
#include <argos3/core/control_interface/ci_sensor.h>
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/logging/argos_log.h>
#include <argos3/core/utility/plugins/factory.h>
#include <string>
#include <typeinfo>

namespace argos {

// Readable name of a type, for error messages.
std::string DemangleTypeName(const std::type_info &c_type);

class CCI_Controller : public CBaseConfigurableResource {
public:
  // Deletes every sensor and actuator in its maps.
  virtual ~CCI_Controller();
  virtual void Init(TConfigurationNode &) {}
  virtual void Reset() {}
  virtual void Destroy() {}
  virtual void ControlStep() {}

  // The robot's id ("fb12"); empty until the simulator sets it, which it
  // does after construction and before Init.
  inline const std::string &GetId() const { return m_strId; }
  inline void SetId(const std::string &str_id) { m_strId = str_id; }

  // The device configured under the given XML name, cast to the requested
  // interface. Never null: throws CARGoSException when the device is not
  // configured or has another type.
  template <typename ACTUATOR_IMPL>
  ACTUATOR_IMPL *GetActuator(const std::string &str_actuator_type) {
    CCI_Actuator::TMap::iterator it = m_mapActuators.find(str_actuator_type);
    if (it == m_mapActuators.end())
      THROW_ARGOSEXCEPTION(
          "Unknown actuator type "
          << str_actuator_type
          << " requested in controller. Did you add it to the XML file?");
    ACTUATOR_IMPL *pcActuator = dynamic_cast<ACTUATOR_IMPL *>(it->second);
    if (pcActuator == nullptr)
      THROW_ARGOSEXCEPTION("Actuator type " << str_actuator_type
                                            << " cannot be cast to type "
                                            << DemangleTypeName(typeid(ACTUATOR_IMPL)));
    return pcActuator;
  }
  template <typename SENSOR_IMPL>
  SENSOR_IMPL *GetSensor(const std::string &str_sensor_type) {
    CCI_Sensor::TMap::iterator it = m_mapSensors.find(str_sensor_type);
    if (it == m_mapSensors.end())
      THROW_ARGOSEXCEPTION(
          "Unknown sensor type "
          << str_sensor_type
          << " requested in controller. Did you add it to the XML file?");
    SENSOR_IMPL *pcSensor = dynamic_cast<SENSOR_IMPL *>(it->second);
    if (pcSensor == nullptr)
      THROW_ARGOSEXCEPTION("Sensor type " << str_sensor_type << " cannot be cast to type "
                                          << DemangleTypeName(typeid(SENSOR_IMPL)));
    return pcSensor;
  }

  bool HasActuator(const std::string &str_actuator_type) const {
    return m_mapActuators.find(str_actuator_type) != m_mapActuators.end();
  }
  bool HasSensor(const std::string &str_sensor_type) const {
    return m_mapSensors.find(str_sensor_type) != m_mapSensors.end();
  }
  CCI_Actuator::TMap &GetAllActuators() { return m_mapActuators; }
  CCI_Sensor::TMap &GetAllSensors() { return m_mapSensors; }

  // The controller takes ownership. A device added under a name already in
  // use replaces the earlier one, which is not deleted: the caller keeps it.
  void AddActuator(const std::string &str_actuator_type, CCI_Actuator *pc_actuator) {
    m_mapActuators[str_actuator_type] = pc_actuator;
  }
  void AddSensor(const std::string &str_sensor_type, CCI_Sensor *pc_sensor) {
    m_mapSensors[str_sensor_type] = pc_sensor;
  }

protected:
  CCI_Actuator::TMap m_mapActuators;
  CCI_Sensor::TMap m_mapSensors;
  std::string m_strId;
};

// One registry of controller classes, shared by every library.
extern template class CFactory<CCI_Controller>;

} // namespace argos

// Enters a controller class under a label; author, version, descriptions and
// status are all "undefined". Use at global scope only.
#define REGISTER_CONTROLLER(CLASSNAME, LABEL)                                            \
  REGISTER_SYMBOL(CCI_Controller, CLASSNAME, LABEL, "undefined", "undefined",            \
                  "undefined", "undefined", "undefined")

#endif
