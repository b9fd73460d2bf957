/*
 * The component of a robot that holds its controller.
 */
#ifndef ARGOS_CONTROLLABLE_ENTITY_H
#define ARGOS_CONTROLLABLE_ENTITY_H

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/core/simulator/entity/entity.h>

namespace argos {

class CControllableEntity : public CEntity {
public:
  ENABLE_VTABLE();

  explicit CControllableEntity(CComposableEntity *pc_parent)
      : CEntity(pc_parent, "controller") {}
  virtual ~CControllableEntity() {}

  // Both throw CARGoSException when no controller is attached.
  const CCI_Controller &GetController() const;
  CCI_Controller &GetController();
  virtual std::string GetTypeDescription() const { return "controller"; }

private:
  friend class standin::CEntityWiring;
  CCI_Controller *m_pcController = nullptr; // not owned in the stand-in
};

} // namespace argos

#endif
