/*
 * Base of every robot actuator a controller drives.
 */
#ifndef ARGOS_CI_ACTUATOR_H
#define ARGOS_CI_ACTUATOR_H

#include <argos3/core/utility/configuration/base_configurable_resource.h>
#include <functional>
#include <map>
#include <string>

namespace argos {

class CCI_Actuator : public CBaseConfigurableResource {
public:
  typedef std::map<std::string, CCI_Actuator *, std::less<std::string>> TMap;

  virtual ~CCI_Actuator() {}
  virtual void Init(TConfigurationNode &) {}
  virtual void Reset() {}
  virtual void Destroy() {}
};

} // namespace argos

#endif
