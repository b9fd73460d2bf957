/*
 * The spiri quad-rotor entity.
 */
#ifndef ARGOS_SPIRI_ENTITY_H
#define ARGOS_SPIRI_ENTITY_H

#include <argos3/core/simulator/entity/composable_entity.h>
#include <argos3/core/simulator/entity/embodied_entity.h>

namespace argos {

// Only declared here: include controllable_entity.h to use the controller.
class CControllableEntity;

class CSpiriEntity : public CComposableEntity {
public:
  ENABLE_VTABLE();

  CSpiriEntity();
  explicit CSpiriEntity(const std::string &str_id);
  virtual ~CSpiriEntity() {}

  CControllableEntity &GetControllableEntity() { return *m_pcControllableEntity; }
  CEmbodiedEntity &GetEmbodiedEntity() { return *m_pcEmbodiedEntity; }
  virtual std::string GetTypeDescription() const { return "spiri"; }

private:
  CControllableEntity *m_pcControllableEntity; // components, owned by the base
  CEmbodiedEntity *m_pcEmbodiedEntity;
};

} // namespace argos

#endif
