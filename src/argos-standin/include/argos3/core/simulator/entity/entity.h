/*
 * Base of everything that exists in the simulated space. Entities form a
 * tree: a robot is a composable entity whose components (body, controller,
 * ...) are entities too.
 */
#ifndef ARGOS_ENTITY_H
#define ARGOS_ENTITY_H

#include <argos3/core/utility/configuration/base_configurable_resource.h>
#include <string>

// Marks a class that takes part in the simulator's per-type dispatch. The
// stand-in has no such dispatch; the macro only keeps class bodies valid.
#define ENABLE_VTABLE() static_assert(true, "")

namespace argos {

class CComposableEntity;

namespace standin {
class CEntityWiring;
}

class CEntity : public CBaseConfigurableResource {
public:
  ENABLE_VTABLE();

  explicit CEntity(CComposableEntity *pc_parent) : m_pcParent(pc_parent) {}
  CEntity(CComposableEntity *pc_parent, const std::string &str_id)
      : m_strId(str_id), m_pcParent(pc_parent) {}
  virtual ~CEntity() {}

  virtual void Init(TConfigurationNode &) {}
  virtual void Reset() {}
  virtual void Destroy() {}

  const std::string &GetId() const { return m_strId; }
  bool HasParent() const { return m_pcParent != nullptr; }
  // Both throw CARGoSException for an entity without parent.
  CComposableEntity &GetParent();
  const CComposableEntity &GetParent() const;
  // The top of the tree this entity belongs to (itself when it has no parent).
  CEntity &GetRootEntity();
  const CEntity &GetRootEntity() const;
  virtual std::string GetTypeDescription() const { return "entity"; }

  bool IsEnabled() const { return m_bEnabled; }
  void SetEnabled(bool b_enabled) { m_bEnabled = b_enabled; }

protected:
  std::string m_strId;
  CComposableEntity *m_pcParent;
  bool m_bEnabled = true;
};

} // namespace argos

#endif
