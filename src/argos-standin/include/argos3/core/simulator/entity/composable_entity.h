/*
 * An entity made of component entities, found by their type description.
 */
#ifndef ARGOS_COMPOSABLE_ENTITY_H
#define ARGOS_COMPOSABLE_ENTITY_H

#include <argos3/core/simulator/entity/entity.h>
#include <argos3/core/utility/configuration/argos_exception.h>
#include <map>
#include <memory>
#include <string>

namespace argos {

class CComposableEntity : public CEntity {
public:
  ENABLE_VTABLE();

  explicit CComposableEntity(CComposableEntity *pc_parent) : CEntity(pc_parent) {}
  CComposableEntity(CComposableEntity *pc_parent, const std::string &str_id)
      : CEntity(pc_parent, str_id) {}
  virtual ~CComposableEntity();

  // Takes ownership of the component (allocated with new); it is found
  // under its type description.
  virtual void AddComponent(CEntity &c_component);
  bool HasComponent(const std::string &str_component) const;
  // Throws CARGoSException when there is no such component.
  CEntity &GetComponent(const std::string &str_component);
  // Also throws when the component has another type.
  template <class E> E &GetComponent(const std::string &str_component) {
    E *pcComponent = dynamic_cast<E *>(&GetComponent(str_component));
    if (pcComponent == nullptr)
      THROW_ARGOSEXCEPTION("Component \"" << str_component << "\" of entity \"" << GetId()
                                          << "\" has another type");
    return *pcComponent;
  }
  virtual std::string GetTypeDescription() const { return "composite"; }

private:
  std::multimap<std::string, std::unique_ptr<CEntity>> m_mapComponents;
};

} // namespace argos

#endif
