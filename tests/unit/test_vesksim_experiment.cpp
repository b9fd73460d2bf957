/*
 * vesksim's experiment parser: what it reads from an .argos file, the
 * placement of distributed robots, and its errors.
 */
#include <gtest/gtest.h>

#include "sim_experiment.h"

#include <cmath>
#include <string>

using namespace vesksim;

namespace {

constexpr double PI = 3.14159265358979323846;

const char *const CONTROLLERS = R"(
  <controllers>
    <vesksim_probe id="pc" library="anything">
      <actuators><range_and_bearing implementation="default"/></actuators>
      <sensors><range_and_bearing implementation="medium" medium="rab"/></sensors>
      <params left="1" right="2"/>
    </vesksim_probe>
  </controllers>)";

// An experiment with the given <experiment> attributes and arena content.
std::string Experiment(const std::string &str_arena,
                       const std::string &str_clock =
                           R"(length="5" ticks_per_second="10" random_seed="9")") {
  return "<?xml version=\"1.0\"?>\n<argos-configuration>\n"
         "  <framework><system threads=\"0\"/><experiment " +
         str_clock + "/></framework>" + CONTROLLERS +
         "\n  <arena size=\"10, 8, 2\" center=\"1,0,1\">\n" + str_arena +
         "\n  </arena>\n  <physics_engines><dynamics2d id=\"d\"/></physics_engines>\n"
         "  <media><range_and_bearing id=\"rab\"/></media>\n</argos-configuration>\n";
}

const char *const DISTRIBUTE = R"(
    <distribute>
      <position method="uniform" min="-2,-2,0" max="2,2,0"/>
      <orientation method="uniform" min="0,0,0" max="360,0,0"/>
      <entity quantity="25" max_trials="100" base_num="3">
        <foot-bot id="fb" rab_range="1.5" rab_data_size="64"><controller config="pc"/></foot-bot>
      </entity>
    </distribute>)";

// The message of the error that parsing text raises, or "" when it parses.
std::string ErrorOf(const std::string &str_text) {
  try {
    ParseExperiment(str_text, "exp.argos");
  } catch (CExperimentError &ex) {
    return ex.what();
  }
  return "";
}

TEST(VeskSimExperiment, ReadsClockArenaWallsAndPlacedRobots) {
  const SExperiment sExp = ParseExperiment(Experiment(R"(
    <box id="wall" size="4,0.2,0.5" movable="false">
      <body position="1,3,0" orientation="90,0,0"/>
    </box>
    <foot-bot id="fb7" rab_range="2" rab_data_size="100">
      <body position="0.5,-1,0" orientation="45,0,0"/><controller config="pc"/>
    </foot-bot>
    <spiri id="sp100"><body position="0,0,0"/><controller config="pc"/></spiri>)"),
                                           "exp.argos");
  EXPECT_EQ(sExp.Steps, 50u);
  EXPECT_EQ(sExp.TicksPerSecond, 10);
  EXPECT_EQ(sExp.RandomSeed, 9u);
  EXPECT_EQ(sExp.ArenaSize, CVector3(10, 8, 2));
  EXPECT_EQ(sExp.ArenaCenter, CVector3(1, 0, 1));
  ASSERT_EQ(sExp.Walls.size(), 1u);
  EXPECT_EQ(sExp.Walls[0].HalfSize, CVector2(2, 0.1));
  EXPECT_EQ(sExp.Walls[0].Center, CVector2(1, 3));
  EXPECT_NEAR(sExp.Walls[0].Yaw, PI / 2, 1e-12);
  ASSERT_EQ(sExp.Robots.size(), 2u);
  const SRobotSpec &sFoot = sExp.Robots[0];
  EXPECT_EQ(sFoot.Id, "fb7");
  EXPECT_EQ(sFoot.Kind, ERobotKind::FOOT_BOT);
  EXPECT_EQ(sFoot.Position, CVector3(0.5, -1, 0));
  EXPECT_NEAR(sFoot.Yaw, PI / 4, 1e-12);
  EXPECT_EQ(sFoot.RABRange, 2);
  EXPECT_EQ(sFoot.RABDataSize, 100u);
  EXPECT_EQ(sFoot.ControllerId, "pc");
  // Defaults of a robot entity: 3 m and 10 bytes.
  EXPECT_EQ(sExp.Robots[1].Kind, ERobotKind::SPIRI);
  EXPECT_EQ(sExp.Robots[1].RABRange, 3);
  EXPECT_EQ(sExp.Robots[1].RABDataSize, 10u);
  const SControllerConfig &sCtrl = sExp.Controllers.at("pc");
  EXPECT_EQ(sCtrl.Label, "vesksim_probe");
  EXPECT_EQ(sCtrl.Node().Value(), "vesksim_probe");
  EXPECT_EQ(argos::GetNode(sCtrl.Node(), "params").GetAttribute("right"), "2");
}

TEST(VeskSimExperiment, DistributesRobotsInsideTheBoundsWithoutOverlap) {
  const SExperiment sExp = ParseExperiment(Experiment(DISTRIBUTE), "exp.argos");
  ASSERT_EQ(sExp.Robots.size(), 25u);
  EXPECT_EQ(sExp.Robots.front().Id, "fb3");
  EXPECT_EQ(sExp.Robots.back().Id, "fb27");
  for (size_t i = 0; i < sExp.Robots.size(); ++i) {
    const SRobotSpec &sRobot = sExp.Robots[i];
    EXPECT_EQ(sRobot.RABRange, 1.5);
    EXPECT_EQ(sRobot.RABDataSize, 64u);
    EXPECT_GE(sRobot.Position.GetX(), -2);
    EXPECT_LE(sRobot.Position.GetX(), 2);
    EXPECT_GE(sRobot.Position.GetY(), -2);
    EXPECT_LE(sRobot.Position.GetY(), 2);
    EXPECT_GE(sRobot.Yaw, 0);
    EXPECT_LT(sRobot.Yaw, 2 * PI);
    for (size_t j = 0; j < i; ++j)
      EXPECT_GE((sRobot.Position - sExp.Robots[j].Position).Length(), 2 * FOOTBOT_RADIUS);
  }
}

TEST(VeskSimExperiment, SameSeedSamePlacementOtherSeedOtherPlacement) {
  const SExperiment sA = ParseExperiment(Experiment(DISTRIBUTE), "a");
  const SExperiment sB = ParseExperiment(Experiment(DISTRIBUTE), "b");
  const SExperiment sC = ParseExperiment(
      Experiment(DISTRIBUTE, R"(length="5" ticks_per_second="10" random_seed="10")"),
      "c");
  size_t unSame = 0;
  for (size_t i = 0; i < sA.Robots.size(); ++i) {
    EXPECT_EQ(sA.Robots[i].Position, sB.Robots[i].Position);
    EXPECT_EQ(sA.Robots[i].Yaw, sB.Robots[i].Yaw);
    unSame += sA.Robots[i].Position == sC.Robots[i].Position;
  }
  EXPECT_EQ(unSame, 0u);
}

TEST(VeskSimExperiment, ErrorsNameTheFileLineAndElement) {
  // Each case: arena content or clock, and the message expected.
  EXPECT_EQ(ErrorOf(Experiment("", R"(length="5")")),
            "exp.argos:3: <experiment>: missing attribute \"ticks_per_second\"");
  EXPECT_EQ(
      ErrorOf(Experiment("", R"(length="5" ticks_per_second="0")")),
      "exp.argos:3: <experiment>: ticks_per_second must be a positive whole number");
  EXPECT_EQ(ErrorOf(Experiment("", R"(ticks_per_second="10" speed="2")")),
            "exp.argos:3: <experiment>: unsupported attribute \"speed\"");
  EXPECT_EQ(
      ErrorOf(Experiment("    <cylinder id=\"c\"/>")),
      "exp.argos:12: <cylinder>: unknown element (the headless simulator knows box, "
      "foot-bot, spiri, distribute and floor)");
  EXPECT_EQ(
      ErrorOf(Experiment(
          "    <foot-bot id=\"fb1\"><body position=\"0,0\"/><controller config=\"pc\"/>"
          "</foot-bot>")),
      "exp.argos:12: <body>: attribute \"position\": expected 3 numbers, got \"0,0\"");
  EXPECT_EQ(
      ErrorOf(Experiment(
          "    <foot-bot id=\"fb1\"><body position=\"0,0,0\"/><controller config=\"x\"/>"
          "</foot-bot>")),
      "exp.argos:12: <controller>: no controller with id \"x\" in <controllers>");
  EXPECT_EQ(ErrorOf(Experiment(
                "    <foot-bot id=\"fb1\" battery=\"9\"><body position=\"0,0,0\"/>"
                "<controller config=\"pc\"/></foot-bot>")),
            "exp.argos:12: <foot-bot>: unsupported attribute \"battery\"");
  EXPECT_EQ(
      ErrorOf(Experiment(
          "    <foot-bot id=\"fb1\"><body position=\"0,0,0\" orientation=\"0,10,0\"/>"
          "<controller config=\"pc\"/></foot-bot>")),
      "exp.argos:12: <body>: attribute \"orientation\": only rotations about Z (the "
      "first angle) are supported");
  EXPECT_EQ(ErrorOf(Experiment("    <box id=\"b\" size=\"1,1,1\" movable=\"true\">"
                               "<body position=\"0,0,0\"/></box>")),
            "exp.argos:12: <box>: movable boxes are not supported: boxes are walls here");
  EXPECT_EQ(
      ErrorOf(Experiment(
          "    <foot-bot id=\"fb1\"><body position=\"0,0,0\"/><controller config=\"pc\"/>"
          "</foot-bot>\n    <spiri id=\"fb1\"><body position=\"1,0,0\"/>"
          "<controller config=\"pc\"/></spiri>")),
      "exp.argos:13: <spiri>: id \"fb1\" used twice");
}

TEST(VeskSimExperiment, CrowdedDistributionAndStructuralErrors) {
  std::string strCrowded = DISTRIBUTE;
  strCrowded.replace(strCrowded.find("-2,-2,0"), 7, "0,0,0");
  strCrowded.replace(strCrowded.find("2,2,0"), 5, "0,0,0");
  EXPECT_EQ(
      ErrorOf(Experiment(strCrowded)),
      "exp.argos:16: <entity>: could not place \"fb4\" in 100 trials: the area is too "
      "crowded");
  EXPECT_EQ(
      ErrorOf("<argos-configuration><framework>"),
      "exp.argos:1: malformed XML: Error=XML_ERROR_MISMATCHED_ELEMENT ErrorID=14 (0xe) "
      "Line number=1: XMLElement name=framework");
  EXPECT_EQ(
      ErrorOf("<configuration/>"),
      "exp.argos:1: <configuration>: the root element must be <argos-configuration>");
  std::string strLoop = Experiment("");
  strLoop.insert(strLoop.find("</argos-configuration>"), "<loop_functions label=\"x\"/>");
  EXPECT_EQ(ErrorOf(strLoop), "exp.argos:16: <loop_functions>: loop functions are not "
                              "supported by the headless simulator");
  std::string strNoMedia = Experiment("");
  strNoMedia.erase(strNoMedia.find("  <media>"));
  strNoMedia += "</argos-configuration>";
  EXPECT_EQ(ErrorOf(strNoMedia),
            "exp.argos:2: <argos-configuration>: missing element <media>");
}

TEST(VeskSimExperiment, MissingFileNamesIt) {
  try {
    LoadExperiment("/nonexistent/exp.argos");
    FAIL() << "no error";
  } catch (CExperimentError &ex) {
    EXPECT_STREQ(ex.what(), "Can't open experiment file \"/nonexistent/exp.argos\": No "
                            "such file or directory");
  }
}

} // namespace
