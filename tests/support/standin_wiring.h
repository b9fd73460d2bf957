/*
 * Test-side access to the ARGoS stand-in's entities and space: attaching a
 * controller to a robot entity and entering entities into the simulated
 * space, which the simulator itself does in ARGoS. Not part of the ARGoS
 * API; the stand-in's entity and space classes let this class in (it keeps
 * the name they befriend). Built only where the stand-in is.
 */
#ifndef VESK_TEST_STANDIN_WIRING_H
#define VESK_TEST_STANDIN_WIRING_H

#include <argos3/core/simulator/entity/composable_entity.h>
#include <argos3/core/simulator/entity/controllable_entity.h>
#include <argos3/core/simulator/simulator.h>

namespace argos {
namespace standin {

class CEntityWiring {
public:
  // The entity does not take ownership; null detaches.
  static void SetController(CControllableEntity &c_entity, CCI_Controller *pc_controller);
  // Enters a robot into CSimulator's space: under its type description
  // ("foot-bot", "spiri") and, if it has a controller component, its
  // CControllableEntity under "controller"; both keyed by the robot's id.
  // The robot map holds ROBOT* (e.g. CFootBotEntity*). Throws
  // CARGoSException for an id already in use.
  template <class ROBOT> static void AddRobot(ROBOT &c_robot) {
    AddRobot(c_robot, CAny(&c_robot));
  }
  // Removes what AddRobot entered; robots not in the space are ignored.
  static void RemoveRobot(CComposableEntity &c_robot);

private:
  static void AddRobot(CComposableEntity &c_robot, const CAny &c_handle);
};

} // namespace standin
} // namespace argos

#endif
