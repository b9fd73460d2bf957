/*
 * The ARGoS stand-in's entities and space: robot entities with their
 * components, and the test-side wiring that enters robots into the space
 * the way the simulator does.
 */
#include <gtest/gtest.h>

#include "thrown_text.h"

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/core/simulator/entity/controllable_entity.h>
#include <argos3/core/simulator/simulator.h>
#include <argos3/plugins/robots/foot-bot/simulator/footbot_entity.h>
#include <argos3/plugins/robots/spiri/simulator/spiri_entity.h>

#include "standin_wiring.h"

using namespace argos;
using namespace argos::standin;

namespace {

class CIdleController : public CCI_Controller {};

} // namespace

TEST(ArgosEntities, RobotEntitiesHaveBodyAndControllerComponents) {
  CFootBotEntity cFootBot("fb7");
  EXPECT_EQ(cFootBot.GetTypeDescription(), "foot-bot");
  CControllableEntity &cControllable = cFootBot.GetControllableEntity();
  EXPECT_EQ(&cControllable, &cFootBot.GetComponent<CControllableEntity>("controller"));
  EXPECT_EQ(&cControllable.GetParent(), &cFootBot);
  EXPECT_EQ(&cFootBot.GetEmbodiedEntity().GetRootEntity(), &cFootBot);
  EXPECT_EQ(ThrownText([&] { cControllable.GetController(); }),
            "[FATAL] Entity \"fb7\" has no controller");
  EXPECT_THROW(cFootBot.GetComponent("camera"), CARGoSException);
  EXPECT_THROW(cFootBot.GetComponent<CControllableEntity>("body"), CARGoSException);
  EXPECT_THROW(cFootBot.GetParent(), CARGoSException);
  CSpiriEntity cSpiri("sp1");
  EXPECT_EQ(cSpiri.GetTypeDescription(), "spiri");
  EXPECT_EQ(cSpiri.GetControllableEntity().GetTypeDescription(), "controller");
}

TEST(ArgosEntities, RobotsAreInTheSpaceWhileWired) {
  CSpace &cSpace = CSimulator::GetInstance().GetSpace();
  EXPECT_THROW(cSpace.GetEntitiesByType("controller"), CARGoSException);
  CIdleController cFootBotBrain, cSpiriBrain;
  CFootBotEntity cFootBot("fb3");
  CSpiriEntity cSpiri("sp100");
  CEntityWiring::SetController(cFootBot.GetControllableEntity(), &cFootBotBrain);
  CEntityWiring::SetController(cSpiri.GetControllableEntity(), &cSpiriBrain);
  CEntityWiring::AddRobot(cFootBot);
  CEntityWiring::AddRobot(cSpiri);
  EXPECT_THROW(CEntityWiring::AddRobot(cFootBot), CARGoSException);

  CSpace::TMapPerType &tControllers = cSpace.GetEntitiesByType("controller");
  ASSERT_EQ(tControllers.size(), 2u);
  for (auto &tEntry : tControllers) {
    CControllableEntity *pcEntity = any_cast<CControllableEntity *>(tEntry.second);
    EXPECT_EQ(pcEntity->GetRootEntity().GetId(), tEntry.first);
  }
  CFootBotEntity *pcFootBot =
      any_cast<CFootBotEntity *>(cSpace.GetEntitiesByType("foot-bot").at("fb3"));
  EXPECT_EQ(&pcFootBot->GetControllableEntity().GetController(), &cFootBotBrain);
  EXPECT_EQ(&cSpiri,
            any_cast<CSpiriEntity *>(cSpace.GetEntitiesByType("spiri").at("sp100")));

  CEntityWiring::RemoveRobot(cFootBot);
  CEntityWiring::RemoveRobot(cSpiri);
  EXPECT_THROW(cSpace.GetEntitiesByType("controller"), CARGoSException);
  EXPECT_THROW(cSpace.GetEntitiesByType("foot-bot"), CARGoSException);
}
