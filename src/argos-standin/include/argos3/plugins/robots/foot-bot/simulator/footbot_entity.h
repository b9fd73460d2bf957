/*
 * The foot-bot robot entity.
 */
#ifndef ARGOS_FOOTBOT_ENTITY_H
#define ARGOS_FOOTBOT_ENTITY_H

#include <argos3/core/simulator/entity/composable_entity.h>
#include <argos3/core/simulator/entity/embodied_entity.h>

namespace argos {

// Only declared here: include controllable_entity.h to use the controller.
class CControllableEntity;

class CFootBotEntity : public CComposableEntity {
public:
  ENABLE_VTABLE();

  CFootBotEntity();
  explicit CFootBotEntity(const std::string &str_id);
  virtual ~CFootBotEntity() {}

  CControllableEntity &GetControllableEntity() { return *m_pcControllableEntity; }
  const CControllableEntity &GetControllableEntity() const {
    return *m_pcControllableEntity;
  }
  CEmbodiedEntity &GetEmbodiedEntity() { return *m_pcEmbodiedEntity; }
  const CEmbodiedEntity &GetEmbodiedEntity() const { return *m_pcEmbodiedEntity; }
  virtual std::string GetTypeDescription() const { return "foot-bot"; }

private:
  CControllableEntity *m_pcControllableEntity; // components, owned by the base
  CEmbodiedEntity *m_pcEmbodiedEntity;
};

} // namespace argos

#endif
