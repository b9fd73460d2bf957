/*
 * The wheeled controllers on the ARGoS stand-in: steering, the natives of
 * the foot-bot, the extended foot-bot and the base station with their
 * argument checks, and the sensor tables present or absent with their
 * devices.
 */
#include "controller_test_util.h"

#include <argos3/core/utility/math/angles.h>
#include <argos3/core/utility/math/vector2.h>

#include "sim_efootbot_devices.h"
#include "vesk_controller_base_station.h"
#include "vesk_controller_efootbot.h"
#include "vesk_controller_footbot.h"

using namespace argos;
using namespace vesksim;
using namespace ctrl_test;

namespace {

const char WHEELS[] = "<differential_steering implementation=\"default\"/>";
const char LEDS[] = "<leds implementation=\"default\" medium=\"leds\"/>";
const char PROXIMITY[] = "<footbot_proximity implementation=\"default\"/>";
const char EPROXIMITY[] = "<efootbot_proximity implementation=\"default\"/>";
const char BATTERY[] = "<battery implementation=\"default\" soc=\"0.75\"/>";

std::string Xml(const std::string &str_label, const std::string &str_actuators,
                const std::string &str_sensors, const std::string &str_params_body = "") {
  return ControllerXml(str_label, std::string(RAB_ACTUATOR) + str_actuators,
                       std::string(RAB_SENSOR) + str_sensors, ScriptParams(EmptyScript()),
                       str_params_body);
}

CVector2 Heading(Real f_length, Real f_degrees) {
  return CVector2(f_length, ToRadians(CDegrees(f_degrees)));
}

struct SSpeeds {
  Real Left, Right;
};

SSpeeds Steer(SVeskWheelTurningParams &s_params, const CVector2 &c_heading) {
  SSpeeds sSpeeds;
  s_params.WheelSpeeds(c_heading, sSpeeds.Left, sSpeeds.Right);
  return sSpeeds;
}

/* Registers the extension devices before any e-foot-bot is built. */
class EFootBot : public testing::Test {
protected:
  static void SetUpTestSuite() { RegisterEFootBotDevices(); }
};

} // namespace

/****************************************/
/* Steering                             */
/****************************************/

TEST(Steering, StraightAheadUsesTheHeadingLengthUpToTheMaximum) {
  SVeskWheelTurningParams sParams;
  SSpeeds sSpeeds = Steer(sParams, CVector2(10.0, 0.0));
  EXPECT_DOUBLE_EQ(sSpeeds.Left, 10.0);
  EXPECT_DOUBLE_EQ(sSpeeds.Right, 10.0);
  sSpeeds = Steer(sParams, CVector2(3.0, 0.0));
  EXPECT_DOUBLE_EQ(sSpeeds.Left, 3.0);
  sSpeeds = Steer(sParams, CVector2(50.0, 0.0));
  EXPECT_DOUBLE_EQ(sSpeeds.Right, 10.0);
  sSpeeds = Steer(sParams, CVector2(0.0, 0.0));
  EXPECT_DOUBLE_EQ(sSpeeds.Left, 0.0);
  EXPECT_DOUBLE_EQ(sSpeeds.Right, 0.0);
}

TEST(Steering, SoftTurnSlowsTheInnerWheel) {
  SVeskWheelTurningParams sParams;
  SSpeeds sSpeeds = Steer(sParams, Heading(20.0, 80.0));
  EXPECT_EQ(sParams.TurningMechanism, SVeskWheelTurningParams::SOFT_TURN);
  EXPECT_NEAR(sSpeeds.Left, 10.0 - 10.0 * 80.0 / 90.0, 1e-9);
  EXPECT_NEAR(sSpeeds.Right, 10.0 + 10.0 * 80.0 / 90.0, 1e-9);
  /* To the right the wheels swap. */
  sSpeeds = Steer(sParams, Heading(20.0, -80.0));
  EXPECT_NEAR(sSpeeds.Left, 18.888888888, 1e-6);
  EXPECT_NEAR(sSpeeds.Right, 1.111111111, 1e-6);
}

TEST(Steering, HardTurnSpinsOnTheSpot) {
  SVeskWheelTurningParams sParams;
  SSpeeds sSpeeds = Steer(sParams, Heading(5.0, 100.0));
  EXPECT_EQ(sParams.TurningMechanism, SVeskWheelTurningParams::HARD_TURN);
  EXPECT_DOUBLE_EQ(sSpeeds.Left, -10.0);
  EXPECT_DOUBLE_EQ(sSpeeds.Right, 10.0);
  sSpeeds = Steer(sParams, Heading(5.0, -100.0));
  EXPECT_DOUBLE_EQ(sSpeeds.Left, 10.0);
  EXPECT_DOUBLE_EQ(sSpeeds.Right, -10.0);
}

TEST(Steering, HardTurnLastsUntilTheNoTurnThreshold) {
  SVeskWheelTurningParams sParams;
  Steer(sParams, Heading(10.0, 100.0));
  SSpeeds sSpeeds = Steer(sParams, Heading(10.0, 50.0));
  EXPECT_EQ(sParams.TurningMechanism, SVeskWheelTurningParams::HARD_TURN);
  EXPECT_DOUBLE_EQ(sSpeeds.Left, -10.0);
  sSpeeds = Steer(sParams, Heading(10.0, 5.0));
  EXPECT_EQ(sParams.TurningMechanism, SVeskWheelTurningParams::NO_TURN);
  EXPECT_DOUBLE_EQ(sSpeeds.Left, 10.0);
  EXPECT_DOUBLE_EQ(sSpeeds.Right, 10.0);
  /* 50 degrees is below the soft-turn threshold: still straight. */
  Steer(sParams, Heading(10.0, 50.0));
  EXPECT_EQ(sParams.TurningMechanism, SVeskWheelTurningParams::NO_TURN);
  /* A soft turn keeps going down to the no-turn threshold too. */
  Steer(sParams, Heading(10.0, 75.0));
  Steer(sParams, Heading(10.0, 30.0));
  EXPECT_EQ(sParams.TurningMechanism, SVeskWheelTurningParams::SOFT_TURN);
}

TEST(Steering, WheelTurningNodeSetsTheParameters) {
  ticpp::Document cDocument;
  cDocument.Parse("<wheel_turning hard_turn_angle_threshold=\"45\" "
                  "soft_turn_angle_threshold=\"30\" no_turn_angle_threshold=\"5\" "
                  "max_speed=\"4\"/>");
  SVeskWheelTurningParams sParams;
  sParams.TurningMechanism = SVeskWheelTurningParams::HARD_TURN;
  sParams.Init(*cDocument.FirstChildElement());
  EXPECT_EQ(sParams.TurningMechanism, SVeskWheelTurningParams::NO_TURN);
  EXPECT_NEAR(sParams.HardTurnOnAngleThreshold.GetValue(), ARGOS_PI / 4, 1e-12);
  EXPECT_NEAR(sParams.SoftTurnOnAngleThreshold.GetValue(), ARGOS_PI / 6, 1e-12);
  EXPECT_NEAR(sParams.NoTurnAngleThreshold.GetValue(), ARGOS_PI / 36, 1e-12);
  EXPECT_DOUBLE_EQ(sParams.MaxSpeed, 4.0);
  SSpeeds sSpeeds = Steer(sParams, Heading(10.0, 50.0));
  EXPECT_DOUBLE_EQ(sSpeeds.Left, -4.0);
}

TEST(Steering, AnIncompleteNodeKeepsWhatWasReadBeforeTheGap) {
  ticpp::Document cDocument;
  cDocument.Parse("<wheel_turning hard_turn_angle_threshold=\"45\" max_speed=\"4\"/>");
  SVeskWheelTurningParams sParams;
  const std::string strText =
      ThrownText([&] { sParams.Init(*cDocument.FirstChildElement()); });
  EXPECT_EQ(
      strText.find("[FATAL] Error initializing controller wheel turning parameters.\n"
                   "[FATAL] Error parsing attribute \"soft_turn_angle_threshold\""),
      0u)
      << strText;
  EXPECT_NEAR(sParams.HardTurnOnAngleThreshold.GetValue(), ARGOS_PI / 4, 1e-12);
  EXPECT_NEAR(sParams.SoftTurnOnAngleThreshold.GetValue(), ARGOS_PI * 70 / 180, 1e-12);
  EXPECT_DOUBLE_EQ(sParams.MaxSpeed, 10.0);
}

/****************************************/
/* Foot-bot                             */
/****************************************/

TEST(FootBot, NativesAndTablesFollowTheDevices) {
  CTestRobot cBare("fb1", Xml("vesk_controller_footbot", "", ""));
  for (const char *pchName : {"set_wheels", "goto", "setleds", "proximity", "robot_type"})
    EXPECT_TRUE(veskobj_isnil(Global(cBare.VM(), pchName))) << pchName;
  CTestRobot cFull("fb2",
                   Xml("vesk_controller_footbot", std::string(WHEELS) + LEDS, PROXIMITY));
  for (const char *pchName : {"set_wheels", "goto", "setleds"})
    EXPECT_TRUE(veskobj_isclosure(Global(cFull.VM(), pchName))) << pchName;
  EXPECT_TRUE(veskobj_istable(Global(cFull.VM(), "proximity")));
  EXPECT_TRUE(veskobj_isnil(Global(cFull.VM(), "robot_type")));
  CTestRobot cLedsOnly("fb3", Xml("vesk_controller_footbot", LEDS, ""));
  EXPECT_TRUE(veskobj_isnil(Global(cLedsOnly.VM(), "goto")));
  EXPECT_TRUE(veskobj_isclosure(Global(cLedsOnly.VM(), "setleds")));
}

TEST(FootBot, WheelTurningIsReadOnlyWithWheels) {
  const std::string strTurning =
      "<wheel_turning hard_turn_angle_threshold=\"45\" soft_turn_angle_threshold=\"30\" "
      "no_turn_angle_threshold=\"5\" max_speed=\"4\"/>";
  CTestRobot cWheels("fb1", Xml("vesk_controller_footbot", WHEELS, "", strTurning));
  EXPECT_DOUBLE_EQ(cWheels.As<CVeskControllerFootBot>().GetWheelTurningParams().MaxSpeed,
                   4.0);
  CTestRobot cNoWheels("fb2", Xml("vesk_controller_footbot", "", "", strTurning));
  EXPECT_DOUBLE_EQ(
      cNoWheels.As<CVeskControllerFootBot>().GetWheelTurningParams().MaxSpeed, 10.0);
}

TEST(FootBot, SetWheelsChecksCountThenTypes) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_footbot", WHEELS, ""));
  CDifferentialSteeringActuator &cWheels =
      cRobot.Actuator<CDifferentialSteeringActuator>("differential_steering");
  ASSERT_EQ(Call(cRobot.VM(), "set_wheels", {1.5f, -2.0f}), VESKVM_STATE_READY);
  EXPECT_DOUBLE_EQ(cWheels.GetLeftVelocity(), 1.5);
  EXPECT_DOUBLE_EQ(cWheels.GetRightVelocity(), -2.0);

  const std::vector<std::pair<std::vector<TArg>, std::string>> vecCases = {
      {{1, 2}, "type mismatch: expected float, got integer"},
      {{1.0f, 2}, "type mismatch: expected float, got integer"},
      {{1.0f}, "wrong number of local variables: expected 2 parameters, got 1"},
      {{1.0f, 2.0f, 3.0f},
       "wrong number of local variables: expected 2 parameters, got 3"},
      {{std::string("a"), 2.0f}, "type mismatch: expected float, got string"}};
  for (const auto &tCase : vecCases) {
    CTestRobot cFresh("fb2", Xml("vesk_controller_footbot", WHEELS, ""));
    EXPECT_EQ(Call(cFresh.VM(), "set_wheels", tCase.first), VESKVM_STATE_ERROR);
    EXPECT_EQ(ErrorText(cFresh.VM()), tCase.second);
    EXPECT_EQ(cFresh.Actuator<CDifferentialSteeringActuator>("differential_steering")
                  .GetCommandCount(),
              0u);
  }
}

TEST(FootBot, GoToSteersAndAcceptsIntegers) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_footbot", WHEELS, ""));
  CDifferentialSteeringActuator &cWheels =
      cRobot.Actuator<CDifferentialSteeringActuator>("differential_steering");
  ASSERT_EQ(Call(cRobot.VM(), "goto", {3, 0}), VESKVM_STATE_READY);
  EXPECT_DOUBLE_EQ(cWheels.GetLeftVelocity(), 3.0);
  EXPECT_DOUBLE_EQ(cWheels.GetRightVelocity(), 3.0);
  /* +100 degrees: hard turn to the left. */
  ASSERT_EQ(Call(cRobot.VM(), "goto", {-1.0f, 5.67f}), VESKVM_STATE_READY);
  EXPECT_DOUBLE_EQ(cWheels.GetLeftVelocity(), -10.0);
  EXPECT_DOUBLE_EQ(cWheels.GetRightVelocity(), 10.0);

  CTestRobot cBad("fb2", Xml("vesk_controller_footbot", WHEELS, ""));
  EXPECT_EQ(Call(cBad.VM(), "goto", {1.0f, std::string("y")}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(cBad.VM()), "type mismatch: expected float, got string");
  CTestRobot cShort("fb3", Xml("vesk_controller_footbot", WHEELS, ""));
  EXPECT_EQ(Call(cShort.VM(), "goto", {1.0f}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(cShort.VM()),
            "wrong number of local variables: expected 2 parameters, got 1");
}

TEST(FootBot, SetLEDsKeepsTheLowEightBits) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_footbot", LEDS, ""));
  ASSERT_EQ(Call(cRobot.VM(), "setleds", {300, 0, 511}), VESKVM_STATE_READY);
  for (const CColor &cColor : cRobot.Actuator<CLEDsActuator>("leds").GetSettings())
    EXPECT_EQ(cColor, CColor(44, 0, 255, 255));
  CTestRobot cBad("fb2", Xml("vesk_controller_footbot", LEDS, ""));
  EXPECT_EQ(Call(cBad.VM(), "setleds", {1, 2.0f, 3}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(cBad.VM()), "type mismatch: expected integer, got float");
  CTestRobot cShort("fb3", Xml("vesk_controller_footbot", LEDS, ""));
  EXPECT_EQ(Call(cShort.VM(), "setleds", {1, 2}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(cShort.VM()),
            "wrong number of local variables: expected 3 parameters, got 2");
}

TEST(FootBot, ProximityTableMirrorsTheReadingsEveryStep) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_footbot", "", PROXIMITY));
  CFootBotProximitySensor &cSensor =
      cRobot.Sensor<CFootBotProximitySensor>("footbot_proximity");
  cSensor.SetValue(0, 0.5);
  cSensor.SetValue(23, 0.25);
  cRobot.Robot().Step();
  veskvm_t tVM = cRobot.VM();
  veskobj_t tTable = Global(tVM, "proximity");
  ASSERT_TRUE(veskobj_istable(tTable));
  EXPECT_EQ(veskdict_size(tTable->t.value), 24u);
  EXPECT_FLOAT_EQ(FloatField(tVM, Field(tVM, tTable, 0), std::string("value")), 0.5f);
  EXPECT_FLOAT_EQ(FloatField(tVM, Field(tVM, tTable, 0), std::string("angle")),
                  static_cast<float>(ARGOS_PI / 24));
  EXPECT_FLOAT_EQ(FloatField(tVM, Field(tVM, tTable, 23), std::string("value")), 0.25f);
  EXPECT_FLOAT_EQ(FloatField(tVM, Field(tVM, tTable, 23), std::string("angle")),
                  static_cast<float>(-ARGOS_PI / 24));
  cSensor.SetValue(0, 0.0);
  cRobot.Robot().Step();
  EXPECT_FLOAT_EQ(
      FloatField(tVM, Field(tVM, Global(tVM, "proximity"), 0), std::string("value")),
      0.0f);
}

TEST(FootBot, NativesRefuseAControllerGlobalThatIsNotUserData) {
  CTestRobot cRobot("fb1",
                    Xml("vesk_controller_footbot", std::string(WHEELS) + LEDS, ""));
  cRobot.Controller().Register("controller", 2.5);
  EXPECT_EQ(Call(cRobot.VM(), "set_wheels", {1.0f, 1.0f}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(cRobot.VM()), "type mismatch: expected userdata, got float");
}

/****************************************/
/* Extended foot-bot                    */
/****************************************/

TEST_F(EFootBot, BatteryNativesAndStateOfCharge) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_efootbot", WHEELS, BATTERY));
  veskvm_t tVM = cRobot.VM();
  EXPECT_EQ(Global(tVM, "robot_type")->i.value, 99);
  EXPECT_FLOAT_EQ(Global(tVM, "soc")->f.value, 0.75f);
  CEFootBotBatterySensor &cBattery = cRobot.Sensor<CEFootBotBatterySensor>("battery");
  ASSERT_EQ(Call(tVM, "start_charging", {}), VESKVM_STATE_READY);
  EXPECT_TRUE(cBattery.IsCharging());
  ASSERT_EQ(Call(tVM, "stop_charging", {}), VESKVM_STATE_READY);
  EXPECT_FALSE(cBattery.IsCharging());
  ASSERT_EQ(Call(tVM, "start_processing", {1, 2}), VESKVM_STATE_READY);
  EXPECT_TRUE(cBattery.IsProcessing());
  ASSERT_EQ(Call(tVM, "stop_processing", {}), VESKVM_STATE_READY);
  EXPECT_FALSE(cBattery.IsProcessing());
  cBattery.SetSoc(0.5);
  cRobot.Robot().Step();
  EXPECT_LT(Global(tVM, "soc")->f.value, 0.5f);
}

TEST_F(EFootBot, WithoutBatteryThereIsNoSocButARobotType) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_efootbot", WHEELS, EPROXIMITY));
  veskvm_t tVM = cRobot.VM();
  EXPECT_EQ(Global(tVM, "robot_type")->i.value, 99);
  for (const char *pchName :
       {"soc", "start_charging", "stop_charging", "start_processing", "stop_processing"})
    EXPECT_TRUE(veskobj_isnil(Global(tVM, pchName))) << pchName;
  EXPECT_TRUE(veskobj_istable(Global(tVM, "proximity")));
}

TEST_F(EFootBot, TheFootBotProximityRingIsNotTheExtensionsRing) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_efootbot", "", PROXIMITY));
  EXPECT_TRUE(veskobj_isnil(Global(cRobot.VM(), "proximity")));
  CTestRobot cExtended("fb2", Xml("vesk_controller_efootbot", "", EPROXIMITY));
  cExtended.Sensor<CEFootBotProximitySensor>("efootbot_proximity").SetValue(5, 0.75);
  cExtended.Robot().Step();
  veskvm_t tVM = cExtended.VM();
  EXPECT_FLOAT_EQ(
      FloatField(tVM, Field(tVM, Global(tVM, "proximity"), 5), std::string("value")),
      0.75f);
}

TEST_F(EFootBot, SetWheelsPrintsADebugLineButGoToDoesNot) {
  CTestRobot cRobot("fb1", Xml("vesk_controller_efootbot", WHEELS, ""));
  testing::internal::CaptureStderr();
  ASSERT_EQ(Call(cRobot.VM(), "set_wheels", {1.0f, 2.0f}), VESKVM_STATE_READY);
  ASSERT_EQ(Call(cRobot.VM(), "goto", {1.0f, 0.0f}), VESKVM_STATE_READY);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[DEBUG] SetWheels(1.000000, 2.000000)\n");
  EXPECT_EQ(Call(cRobot.VM(), "set_wheels", {1, 2.0f}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(cRobot.VM()), "type mismatch: expected float, got integer");
}

/****************************************/
/* Base station                         */
/****************************************/

TEST(BaseStation, IgnoredNativesSucceedAndChangeNothing) {
  CTestRobot cRobot("bs1", Xml("vesk_controller_base_station", "", ""));
  veskvm_t tVM = cRobot.VM();
  EXPECT_EQ(Global(tVM, "robot_type")->i.value, 89);
  EXPECT_TRUE(veskobj_isnil(Global(tVM, "set_wheels_base_station")));
  EXPECT_EQ(Call(tVM, "setleds", {255, 0, 0}), VESKVM_STATE_READY);
  EXPECT_EQ(Call(tVM, "start_charging", {}), VESKVM_STATE_READY);
  EXPECT_EQ(Call(tVM, "stop_charging", {std::string("x")}), VESKVM_STATE_READY);
  EXPECT_EQ(Call(tVM, "start_processing", {}), VESKVM_STATE_READY);
  EXPECT_EQ(Call(tVM, "stop_processing", {}), VESKVM_STATE_READY);
  /* goto without wheels does nothing, but still checks its arguments. */
  EXPECT_EQ(Call(tVM, "goto", {1.0f, 2}), VESKVM_STATE_READY);
  EXPECT_EQ(Call(tVM, "goto", {1.0f}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(tVM),
            "wrong number of local variables: expected 2 parameters, got 1");
}

TEST(BaseStation, WheelsAreSteeredLikeAFootBots) {
  CTestRobot cRobot("bs1", Xml("vesk_controller_base_station", WHEELS, ""));
  veskvm_t tVM = cRobot.VM();
  CDifferentialSteeringActuator &cWheels =
      cRobot.Actuator<CDifferentialSteeringActuator>("differential_steering");
  testing::internal::CaptureStderr();
  ASSERT_EQ(Call(tVM, "set_wheels_base_station", {0.5f, 0.25f}), VESKVM_STATE_READY);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[DEBUG] SetWheels(0.500000, 0.250000)\n");
  EXPECT_DOUBLE_EQ(cWheels.GetRightVelocity(), 0.25);
  ASSERT_EQ(Call(tVM, "goto", {-2.0f, -20.0f}), VESKVM_STATE_READY);
  EXPECT_DOUBLE_EQ(cWheels.GetLeftVelocity(), 10.0);
  EXPECT_DOUBLE_EQ(cWheels.GetRightVelocity(), -10.0);
  EXPECT_EQ(Call(tVM, "set_wheels_base_station", {1, 1}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(tVM), "type mismatch: expected float, got integer");
}

TEST(BaseStation, GraphNativesReturnTheLibrarysText) {
  CTestRobot cRobot("bs1", Xml("vesk_controller_base_station", "", ""));
  veskvm_t tVM = cRobot.VM();
  testing::internal::CaptureStdout();
  ASSERT_EQ(Call(tVM, "generate_tree", {std::string("1-2,1-3,2-4")}), VESKVM_STATE_READY);
  EXPECT_STREQ(veskvm_stack_at(tVM, 1)->s.str, "1:1-2,1-3,2-4");
  veskvm_pop(tVM);
  ASSERT_EQ(Call(tVM, "generate_forest", {std::string("1-2,2-3,3-4"), 2}),
            VESKVM_STATE_READY);
  EXPECT_STREQ(veskvm_stack_at(tVM, 1)->s.str, "1:1-2;4:4-3");
  veskvm_pop(tVM);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Graf: 1:1-2;4:4-3\n");
}

TEST(BaseStation, GraphNativesCheckTheirArguments) {
  const std::vector<std::tuple<std::string, std::vector<TArg>, std::string>> vecCases = {
      {"generate_tree", {5}, "type mismatch: expected string, got integer"},
      {"generate_tree",
       {},
       "wrong number of local variables: expected 1 parameters, got 0"},
      {"generate_forest",
       {std::string("1-2"), 2.0f},
       "type mismatch: expected integer, got float"},
      {"generate_forest", {1, 2}, "type mismatch: expected string, got integer"},
      {"generate_forest",
       {std::string("1-2")},
       "wrong number of local variables: expected 2 parameters, got 1"}};
  for (const auto &tCase : vecCases) {
    CTestRobot cRobot("bs1", Xml("vesk_controller_base_station", "", ""));
    testing::internal::CaptureStdout();
    EXPECT_EQ(Call(cRobot.VM(), std::get<0>(tCase), std::get<1>(tCase)),
              VESKVM_STATE_ERROR);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(ErrorText(cRobot.VM()), std::get<2>(tCase)) << std::get<0>(tCase);
  }
}
