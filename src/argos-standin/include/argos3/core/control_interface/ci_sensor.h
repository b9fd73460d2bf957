/*
 * Base of every robot sensor a controller reads.
 */
#ifndef ARGOS_CI_SENSOR_H
#define ARGOS_CI_SENSOR_H

#include <argos3/core/utility/configuration/base_configurable_resource.h>
#include <functional>
#include <map>
#include <string>

namespace argos {

class CCI_Sensor : public CBaseConfigurableResource {
public:
  typedef std::map<std::string, CCI_Sensor *, std::less<std::string>> TMap;

  virtual ~CCI_Sensor() {}
  virtual void Init(TConfigurationNode &) {}
  virtual void Reset() {}
  virtual void Destroy() {}

  // A plain flag, false until Enable(); devices that can be switched off
  // override both.
  virtual void Enable() { m_bEnabled = true; }
  virtual void Disable() { m_bEnabled = false; }
  bool IsEnabled() const { return m_bEnabled; }
  bool IsDisabled() const { return !m_bEnabled; }

private:
  bool m_bEnabled = false;
};

} // namespace argos

#endif
