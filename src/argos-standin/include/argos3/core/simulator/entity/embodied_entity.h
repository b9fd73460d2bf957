/*
 * The physical body of an entity. The stand-in keeps no geometry in it.
 */
#ifndef ARGOS_EMBODIED_ENTITY_H
#define ARGOS_EMBODIED_ENTITY_H

#include <argos3/core/simulator/entity/entity.h>

namespace argos {

class CEmbodiedEntity : public CEntity {
public:
  ENABLE_VTABLE();

  explicit CEmbodiedEntity(CComposableEntity *pc_parent) : CEntity(pc_parent, "body") {}
  virtual ~CEmbodiedEntity() {}
  virtual std::string GetTypeDescription() const { return "body"; }
};

} // namespace argos

#endif
