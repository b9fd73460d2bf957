/*
 * Interface of everything the simulator configures from XML and drives
 * through Init / Reset / Destroy.
 */
#ifndef ARGOS_BASE_CONFIGURABLE_RESOURCE_H
#define ARGOS_BASE_CONFIGURABLE_RESOURCE_H

#include <argos3/core/utility/configuration/argos_configuration.h>

namespace argos {

class CBaseConfigurableResource {
public:
  virtual ~CBaseConfigurableResource() {}
  virtual void Init(TConfigurationNode &t_tree) = 0;
  virtual void Reset() = 0;
  virtual void Destroy() = 0;
};

} // namespace argos

#endif
