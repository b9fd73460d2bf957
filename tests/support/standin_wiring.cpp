/*
 * Test-side wiring of entities and the simulated space.
 */
#include "standin_wiring.h"

namespace argos {
namespace standin {

void CEntityWiring::SetController(CControllableEntity &c_entity,
                                  CCI_Controller *pc_controller) {
  c_entity.m_pcController = pc_controller;
}

namespace {

// A space map with no entry left is dropped, as if the type never existed.
void EraseEntry(CSpace::TMapPerTypePerId &t_map, const std::string &str_type,
                const std::string &str_id) {
  auto it = t_map.find(str_type);
  if (it == t_map.end()) return;
  it->second.erase(str_id);
  if (it->second.empty()) t_map.erase(it);
}

} // namespace

void CEntityWiring::AddRobot(CComposableEntity &c_robot, const CAny &c_handle) {
  CSpace::TMapPerTypePerId &tMap =
      CSimulator::GetInstance().GetSpace().m_mapEntitiesPerTypePerId;
  const std::string &strId = c_robot.GetId();
  for (const std::string &strType :
       {c_robot.GetTypeDescription(), std::string("controller")}) {
    auto it = tMap.find(strType);
    if (it != tMap.end() && it->second.count(strId) != 0)
      THROW_ARGOSEXCEPTION("An entity with id \"" << strId
                                                  << "\" already exists in the space");
  }
  tMap[c_robot.GetTypeDescription()][strId] = c_handle;
  if (c_robot.HasComponent("controller"))
    tMap["controller"][strId] =
        CAny(&c_robot.GetComponent<CControllableEntity>("controller"));
}

void CEntityWiring::RemoveRobot(CComposableEntity &c_robot) {
  CSpace::TMapPerTypePerId &tMap =
      CSimulator::GetInstance().GetSpace().m_mapEntitiesPerTypePerId;
  // Only this very robot is removed, not another one with the same id.
  auto itController = tMap.find("controller");
  if (itController == tMap.end() || !c_robot.HasComponent("controller")) return;
  auto itEntry = itController->second.find(c_robot.GetId());
  if (itEntry == itController->second.end() ||
      any_cast<CControllableEntity *>(itEntry->second) !=
          &c_robot.GetComponent<CControllableEntity>("controller"))
    return;
  EraseEntry(tMap, c_robot.GetTypeDescription(), c_robot.GetId());
  EraseEntry(tMap, "controller", c_robot.GetId());
}

} // namespace standin
} // namespace argos
