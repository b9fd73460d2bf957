/*
 * Entities, the space and the simulator singleton.
 */
#include <argos3/core/simulator/entity/composable_entity.h>
#include <argos3/core/simulator/entity/controllable_entity.h>
#include <argos3/core/simulator/entity/embodied_entity.h>
#include <argos3/core/simulator/simulator.h>
#include <argos3/plugins/robots/foot-bot/simulator/footbot_entity.h>
#include <argos3/plugins/robots/spiri/simulator/spiri_entity.h>

namespace argos {

/* Entity tree */

CComposableEntity &CEntity::GetParent() {
  if (m_pcParent == nullptr)
    THROW_ARGOSEXCEPTION("Entity \"" << m_strId << "\" has no parent");
  return *m_pcParent;
}

const CComposableEntity &CEntity::GetParent() const {
  if (m_pcParent == nullptr)
    THROW_ARGOSEXCEPTION("Entity \"" << m_strId << "\" has no parent");
  return *m_pcParent;
}

CEntity &CEntity::GetRootEntity() {
  return m_pcParent == nullptr ? *this : m_pcParent->GetRootEntity();
}

const CEntity &CEntity::GetRootEntity() const {
  return m_pcParent == nullptr ? *this : m_pcParent->GetRootEntity();
}

CComposableEntity::~CComposableEntity() {}

void CComposableEntity::AddComponent(CEntity &c_component) {
  m_mapComponents.emplace(c_component.GetTypeDescription(),
                          std::unique_ptr<CEntity>(&c_component));
}

bool CComposableEntity::HasComponent(const std::string &str_component) const {
  return m_mapComponents.find(str_component) != m_mapComponents.end();
}

CEntity &CComposableEntity::GetComponent(const std::string &str_component) {
  auto it = m_mapComponents.find(str_component);
  if (it == m_mapComponents.end())
    THROW_ARGOSEXCEPTION("Component \"" << str_component << "\" not found in entity \""
                                        << GetId() << "\"");
  return *it->second;
}

const CCI_Controller &CControllableEntity::GetController() const {
  if (m_pcController == nullptr)
    THROW_ARGOSEXCEPTION("Entity \"" << GetRootEntity().GetId()
                                     << "\" has no controller");
  return *m_pcController;
}

CCI_Controller &CControllableEntity::GetController() {
  if (m_pcController == nullptr)
    THROW_ARGOSEXCEPTION("Entity \"" << GetRootEntity().GetId()
                                     << "\" has no controller");
  return *m_pcController;
}

/* Robots */

namespace {

// Creates the body and controller components of a robot entity.
template <class ROBOT>
void AddRobotComponents(ROBOT &c_robot, CControllableEntity *&pc_controllable,
                        CEmbodiedEntity *&pc_embodied) {
  pc_embodied = new CEmbodiedEntity(&c_robot);
  c_robot.AddComponent(*pc_embodied);
  pc_controllable = new CControllableEntity(&c_robot);
  c_robot.AddComponent(*pc_controllable);
}

} // namespace

CFootBotEntity::CFootBotEntity() : CFootBotEntity(std::string()) {}

CFootBotEntity::CFootBotEntity(const std::string &str_id)
    : CComposableEntity(nullptr, str_id) {
  AddRobotComponents(*this, m_pcControllableEntity, m_pcEmbodiedEntity);
}

CSpiriEntity::CSpiriEntity() : CSpiriEntity(std::string()) {}

CSpiriEntity::CSpiriEntity(const std::string &str_id)
    : CComposableEntity(nullptr, str_id) {
  AddRobotComponents(*this, m_pcControllableEntity, m_pcEmbodiedEntity);
}

/* Space and simulator */

CSpace::TMapPerType &CSpace::GetEntitiesByType(const std::string &str_type) {
  auto it = m_mapEntitiesPerTypePerId.find(str_type);
  if (it == m_mapEntitiesPerTypePerId.end())
    THROW_ARGOSEXCEPTION("Entity map for type \"" << str_type << "\" not found.");
  return it->second;
}

CSimulator &CSimulator::GetInstance() {
  static CSimulator cInstance;
  return cInstance;
}

} // namespace argos
