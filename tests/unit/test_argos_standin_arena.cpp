// ARGoS stand-in: the headless arena (packet delivery, timing, motion).
#include <gtest/gtest.h>

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/core/utility/string_utilities.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_quadrotor_position_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_sensor.h>

#include "sim/standin_arena.h"

#include <cmath>
#include <vector>

namespace testarena {

// Announces its numeric id from Init on, drives at the speeds given in its
// parameters, and records who it heard at each step.
class CEchoController : public argos::CCI_Controller {
public:
  void Init(argos::TConfigurationNode &t_node) override {
    argos::GetNodeAttributeOrDefault(t_node, "left", m_fLeft, 0.0);
    argos::GetNodeAttributeOrDefault(t_node, "right", m_fRight, 0.0);
    m_pcRABAct = GetActuator<argos::CCI_RangeAndBearingActuator>("range_and_bearing");
    m_pcRABSens = GetSensor<argos::CCI_RangeAndBearingSensor>("range_and_bearing");
    if (HasActuator("differential_steering"))
      m_pcWheels =
          GetActuator<argos::CCI_DifferentialSteeringActuator>("differential_steering");
    Announce(0);
  }
  void ControlStep() override {
    ++m_unStep;
    std::vector<Heard> vecHeard;
    for (const auto &sPacket : m_pcRABSens->GetReadings()) {
      argos::CByteArray cData = sPacket.Data;
      const argos::UInt16 unSender = cData.PopFront<argos::UInt16>();
      const argos::UInt16 unStep = cData.PopFront<argos::UInt16>();
      vecHeard.push_back({unSender, unStep, sPacket.Range,
                          sPacket.HorizontalBearing.GetValue(),
                          sPacket.VerticalBearing.GetValue()});
    }
    History.push_back(vecHeard);
    if (m_pcWheels) m_pcWheels->SetLinearVelocity(m_fLeft, m_fRight);
    Announce(m_unStep);
  }
  void Reset() override {
    m_unStep = 0;
    History.clear();
    Announce(0);
  }

  struct Heard {
    argos::UInt16 Sender;
    argos::UInt16 SenderStep; // the step in which the sender set the data
    double Range;
    double Horizontal;
    double Vertical;
  };
  std::vector<std::vector<Heard>> History;

private:
  void Announce(argos::UInt16 un_step) {
    argos::CByteArray cData;
    cData << argos::FromString<argos::UInt16>(GetId().substr(2)) << un_step;
    while (cData.Size() < m_pcRABAct->GetSize())
      cData << static_cast<argos::UInt8>(0);
    m_pcRABAct->SetData(cData);
  }

  double m_fLeft = 0, m_fRight = 0;
  argos::UInt16 m_unStep = 0;
  argos::CCI_RangeAndBearingActuator *m_pcRABAct = nullptr;
  argos::CCI_RangeAndBearingSensor *m_pcRABSens = nullptr;
  argos::CCI_DifferentialSteeringActuator *m_pcWheels = nullptr;
};

// Flies to (1, 0, 2) at start.
class CClimbController : public argos::CCI_Controller {
public:
  void Init(argos::TConfigurationNode &) override {
    GetActuator<argos::CCI_QuadRotorPositionActuator>("quadrotor_position")
        ->SetAbsolutePosition(argos::CVector3(1, 0, 2));
  }
};

} // namespace testarena

using testarena::CClimbController;
using testarena::CEchoController;
REGISTER_CONTROLLER(CEchoController, "test_echo_controller")
REGISTER_CONTROLLER(CClimbController, "test_climb_controller")

using namespace argos;
using namespace argos::standin;

namespace {

class ArgosArena : public testing::Test {
protected:
  TConfigurationNode &Echo(const std::string &str_params) {
    m_cDocument.Parse("<test_echo_controller><actuators><range_and_bearing/>"
                      "<differential_steering/></actuators><sensors><range_and_bearing/>"
                      "</sensors><params " +
                      str_params + "/></test_echo_controller>");
    return *m_cDocument.FirstChildElement();
  }
  static SPose Pose(Real f_x, Real f_y, Real f_z, Real f_yaw_degrees) {
    SPose sPose;
    sPose.Position.Set(f_x, f_y, f_z);
    sPose.Orientation.FromEulerAngles(ToRadians(CDegrees(f_yaw_degrees)), CRadians::ZERO,
                                      CRadians::ZERO);
    return sPose;
  }
  static CEchoController &Echo(CRobot &c_robot) {
    return dynamic_cast<CEchoController &>(c_robot.GetController());
  }
  ticpp::Document m_cDocument;
};

} // namespace

TEST_F(ArgosArena, PacketsCarryRangeAndBearingInTheReceiversFrame) {
  CArena cArena;
  CRobot &cA = cArena.AddRobot("fb1", Echo(""), SRobotSettings(), Pose(0, 0, 0, 0));
  CRobot &cB = cArena.AddRobot("fb2", Echo(""), SRobotSettings(), Pose(1, 0, 0, 90));
  CRobot &cC = cArena.AddRobot("fb3", Echo(""), SRobotSettings(), Pose(0, 0, 1, 0));
  cArena.Step();
  ASSERT_EQ(Echo(cA).History.size(), 1u);
  const auto &vecHeardByA = Echo(cA).History[0];
  ASSERT_EQ(vecHeardByA.size(), 2u);
  EXPECT_EQ(vecHeardByA[0].Sender, 2);
  EXPECT_NEAR(vecHeardByA[0].Range, 100, 1e-9);
  EXPECT_NEAR(vecHeardByA[0].Horizontal, 0, 1e-9);
  EXPECT_EQ(vecHeardByA[1].Sender, 3);
  EXPECT_NEAR(vecHeardByA[1].Vertical, ARGOS_PI / 2, 1e-9);
  // B faces +Y, so A (towards -X) is on its left.
  const auto &vecHeardByB = Echo(cB).History[0];
  ASSERT_EQ(vecHeardByB.size(), 2u);
  EXPECT_EQ(vecHeardByB[0].Sender, 1);
  EXPECT_NEAR(vecHeardByB[0].Horizontal, ARGOS_PI / 2, 1e-9);
  EXPECT_NEAR(vecHeardByB[1].Range, std::sqrt(2.0) * 100, 1e-9);
  EXPECT_NEAR(vecHeardByB[1].Vertical, ARGOS_PI / 4, 1e-9);
  EXPECT_EQ(Echo(cC).History[0].size(), 2u);
}

TEST_F(ArgosArena, DataSetInStepTArrivesInStepTPlusOne) {
  CArena cArena;
  CRobot &cA = cArena.AddRobot("fb1", Echo(""));
  cArena.AddRobot("fb2", Echo(""));
  for (int i = 0; i < 3; ++i)
    cArena.Step();
  ASSERT_EQ(Echo(cA).History.size(), 3u);
  // What fb2 set in Init is heard at step 1, what it set at step 1 at step 2.
  for (UInt16 unStep = 0; unStep < 3; ++unStep) {
    ASSERT_EQ(Echo(cA).History[unStep].size(), 1u);
    EXPECT_EQ(Echo(cA).History[unStep][0].SenderStep, unStep);
  }
  EXPECT_EQ(cArena.GetClock(), 3u);
}

TEST_F(ArgosArena, RangeIsTheSendersAndPayloadsAreWhole) {
  CArena cArena;
  SRobotSettings sShort;
  sShort.RABRange = 0.5;
  sShort.RABDataSize = 16;
  CRobot &cA = cArena.AddRobot("fb1", Echo(""), sShort, Pose(0, 0, 0, 0));
  CRobot &cB = cArena.AddRobot("fb2", Echo(""), SRobotSettings(), Pose(1, 0, 0, 0));
  cArena.Step();
  EXPECT_EQ(Echo(cA).History[0].size(), 1u);
  EXPECT_TRUE(Echo(cB).History[0].empty());
  EXPECT_EQ(
      cA.Sensor<CRangeAndBearingSensor>("range_and_bearing").GetReadings()[0].Data.Size(),
      10u);
}

TEST_F(ArgosArena, FootBotsDriveWithUnicycleKinematics) {
  CArena cArena(10);
  CRobot &cStraight = cArena.AddRobot("fb1", Echo("left=\"10\" right=\"10\""));
  CRobot &cSpin = cArena.AddRobot("fb2", Echo("left=\"-7\" right=\"7\""),
                                  SRobotSettings(), Pose(5, 5, 0, 0));
  for (int i = 0; i < 11; ++i)
    cArena.Step();
  // Speeds set at step 1 take effect from step 2: ten steps of 0.1 s at 0.1 m/s.
  EXPECT_NEAR(cStraight.GetPose().Position.GetX(), 0.1, 1e-9);
  EXPECT_NEAR(cStraight.GetPose().Position.GetY(), 0, 1e-9);
  // (7 + 7) cm/s over a 14 cm axis is 1 rad/s, for one second.
  EXPECT_NEAR(cSpin.GetPose().Yaw().GetValue(), 1.0, 1e-9);
  EXPECT_NEAR(Distance(cSpin.GetPose().Position, CVector3(5, 5, 0)), 0, 1e-9);
  cArena.Reset();
  EXPECT_EQ(cStraight.GetPose().Position, CVector3());
  EXPECT_EQ(cArena.GetClock(), 0u);
  EXPECT_TRUE(Echo(cStraight).History.empty());
}

TEST_F(ArgosArena, QuadRotorApproachesItsTarget) {
  CArena cArena(10);
  m_cDocument.Parse("<test_climb_controller><actuators><quadrotor_position/></actuators>"
                    "<sensors><positioning/></sensors><params/></test_climb_controller>");
  SRobotSettings sSpiri;
  sSpiri.EntityType = "spiri";
  CRobot &cSpiri = cArena.AddRobot("sp1", *m_cDocument.FirstChildElement(), sSpiri);
  for (int i = 0; i < 20; ++i)
    cArena.Step();
  const Real fZ =
      cSpiri.Sensor<CPositioningSensor>("positioning").GetReading().Position.GetZ();
  EXPECT_NEAR(fZ, 2 * (1 - std::exp(-0.44 * 2)), 1e-9);
  EXPECT_NEAR(cSpiri.GetPose().Position.GetX(), fZ / 2, 1e-9);
  EXPECT_THROW(cArena.GetRobot("sp2"), CARGoSException);
  EXPECT_EQ(&cArena.GetRobot("sp1"), &cSpiri);
}
