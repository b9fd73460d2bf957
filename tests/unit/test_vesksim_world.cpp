/*
 * vesksim's world: radio medium, kinematics, collisions, proximity ring,
 * camera, flight, battery and the spatial grid, on hand-placed robots
 * driven by the probe controller.
 */
#include <gtest/gtest.h>

#include "sim_grid.h"
#include "sim_world.h"
#include "vesksim_probe.h"

#include <cmath>
#include <memory>
#include <random>
#include <set>

using namespace vesksim;
using vesksim_test::CProbe;

namespace {

constexpr double PI = 3.14159265358979323846;

class VeskSimWorld : public testing::Test {
protected:
  // A probe controller definition; sExtra adds devices, sParams its parameters.
  argos::TConfigurationNode &
  Probe(const std::string &str_params = "",
        const std::string &str_actuators = "<differential_steering/>",
        const std::string &str_sensors = "") {
    m_vecDocs.push_back(std::make_unique<ticpp::Document>());
    m_vecDocs.back()->Parse("<vesksim_probe><actuators><range_and_bearing/>" +
                            str_actuators + "</actuators><sensors><range_and_bearing/>" +
                            str_sensors + "</sensors><params " + str_params +
                            "/></vesksim_probe>");
    return *m_vecDocs.back()->FirstChildElement();
  }
  static SRobotSpec Spec(const std::string &str_id, double f_x, double f_y,
                         double f_yaw_deg = 0, double f_range = 3) {
    SRobotSpec sSpec;
    sSpec.Id = str_id;
    sSpec.Position.Set(f_x, f_y, 0);
    sSpec.Yaw = f_yaw_deg * PI / 180;
    sSpec.RABRange = f_range;
    return sSpec;
  }
  static CProbe &ProbeOf(SBody &s_body) {
    return dynamic_cast<CProbe &>(s_body.Robot->GetController());
  }
  // A 10 x 10 m arena centred on the origin.
  std::unique_ptr<CWorld> Arena(const std::vector<SWall> &vec_walls = {}) {
    return std::make_unique<CWorld>(10, argos::CVector3(10, 10, 3),
                                    argos::CVector3(0, 0, 1.5), vec_walls);
  }
  static SWall Wall(double f_x, double f_y, double f_sx, double f_sy, double f_yaw = 0) {
    SWall sWall;
    sWall.Id = "w";
    sWall.Center.Set(f_x, f_y);
    sWall.HalfSize.Set(f_sx / 2, f_sy / 2);
    sWall.Yaw = f_yaw;
    return sWall;
  }

  std::vector<std::unique_ptr<ticpp::Document>> m_vecDocs;
};

TEST_F(VeskSimWorld, RadioReachesExactlyTheRobotsInTheSendersRange) {
  auto pcWorld = Arena();
  SBody &cA = pcWorld->AddRobot(Spec("fb1", 0, 0, 0, 2), Probe());
  SBody &cB = pcWorld->AddRobot(Spec("fb2", 1, 0, 90), Probe());
  // 2.5 m from A: A hears C (C reaches 3 m) but C does not hear A (A reaches 2 m).
  SBody &cC = pcWorld->AddRobot(Spec("fb3", 0, 2.5), Probe());
  // 4 m from everything: out of every range.
  SBody &cD = pcWorld->AddRobot(Spec("fb4", -4, 0), Probe());
  pcWorld->Step();
  const auto &vecA = ProbeOf(cA).Heard.at(0);
  ASSERT_EQ(vecA.size(), 2u);
  EXPECT_EQ(vecA[0].Sender, 2);
  EXPECT_NEAR(vecA[0].Range, 100, 1e-9);
  EXPECT_NEAR(vecA[0].Horizontal, 0, 1e-9);
  EXPECT_EQ(vecA[1].Sender, 3);
  EXPECT_NEAR(vecA[1].Range, 250, 1e-9);
  EXPECT_NEAR(vecA[1].Horizontal, PI / 2, 1e-9);
  // B faces +y: A, behind-left of it on the x axis, is at +90 degrees in its frame.
  const auto &vecB = ProbeOf(cB).Heard.at(0);
  ASSERT_EQ(vecB.size(), 2u);
  EXPECT_EQ(vecB[0].Sender, 1);
  EXPECT_NEAR(vecB[0].Horizontal, PI / 2, 1e-9);
  EXPECT_EQ(vecB[1].Sender, 3);
  EXPECT_NEAR(vecB[1].Range, std::hypot(1, 2.5) * 100, 1e-9);
  EXPECT_NEAR(vecB[1].Horizontal, std::atan2(1, 2.5), 1e-9);
  const auto &vecC = ProbeOf(cC).Heard.at(0);
  ASSERT_EQ(vecC.size(), 1u);
  EXPECT_EQ(vecC[0].Sender, 2);
  EXPECT_TRUE(ProbeOf(cD).Heard.at(0).empty());
}

TEST_F(VeskSimWorld, DataSetInOneStepArrivesInTheNext) {
  auto pcWorld = Arena();
  SBody &cA = pcWorld->AddRobot(Spec("fb1", 0, 0), Probe());
  pcWorld->AddRobot(Spec("fb2", 0.5, 0), Probe());
  for (int i = 0; i < 3; ++i)
    pcWorld->Step();
  // Step k delivers what the sender set in step k - 1 (0: Init).
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(ProbeOf(cA).Heard[k].size(), 1u);
    EXPECT_EQ(ProbeOf(cA).Heard[k][0].SenderStep, k);
  }
}

TEST_F(VeskSimWorld, RadioMeasuresElevationOfFlyingRobots) {
  auto pcWorld = Arena();
  SBody &cA = pcWorld->AddRobot(Spec("fb1", 0, 0), Probe());
  SRobotSpec sHigh = Spec("sp2", 1, 0);
  sHigh.Kind = ERobotKind::SPIRI;
  sHigh.Position.SetZ(1);
  pcWorld->AddRobot(sHigh, Probe("target=\"1,0,1\"", "<quadrotor_position/>"));
  pcWorld->Step();
  ASSERT_EQ(ProbeOf(cA).Heard[0].size(), 1u);
  EXPECT_NEAR(ProbeOf(cA).Heard[0][0].Range, std::sqrt(2.0) * 100, 1e-9);
  EXPECT_NEAR(ProbeOf(cA).Heard[0][0].Vertical, PI / 4, 1e-9);
}

TEST_F(VeskSimWorld, StraightDriveCoversSpeedTimesTime) {
  auto pcWorld = Arena();
  SBody &cBot =
      pcWorld->AddRobot(Spec("fb1", 0, 0, 90), Probe("left=\"10\" right=\"10\""));
  // The speeds are set in step 1's control, so motion starts in step 2.
  for (int i = 0; i < 11; ++i)
    pcWorld->Step();
  EXPECT_NEAR(cBot.Position().GetX(), 0, 1e-9);
  EXPECT_NEAR(cBot.Position().GetY(), 0.1, 1e-9);
  EXPECT_NEAR(cBot.Yaw, PI / 2, 1e-9);
}

TEST_F(VeskSimWorld, OppositeWheelSpeedsTurnOnTheSpot) {
  auto pcWorld = Arena();
  SBody &cBot = pcWorld->AddRobot(Spec("fb1", 1, 1), Probe("left=\"-7\" right=\"7\""));
  for (int i = 0; i < 11; ++i)
    pcWorld->Step();
  // 14 cm/s of wheel difference over 0.14 m: 1 rad/s for 1 s.
  EXPECT_NEAR(cBot.Yaw, 1.0, 1e-9);
  EXPECT_NEAR(cBot.Position().GetX(), 1, 1e-9);
  EXPECT_NEAR(cBot.Position().GetY(), 1, 1e-9);
  // The pose's quaternion agrees with the yaw.
  EXPECT_NEAR(cBot.Robot->GetPose().Yaw().GetValue(), 1.0, 1e-9);
}

TEST_F(VeskSimWorld, AbsurdWheelSpeedsEndTheStepInsideTheArena) {
  auto pcWorld = Arena();
  SBody &cSpin =
      pcWorld->AddRobot(Spec("fb1", 1, 1), Probe("left=\"-1e30\" right=\"1e30\""));
  SBody &cRush =
      pcWorld->AddRobot(Spec("fb2", -1, -1), Probe("left=\"1e30\" right=\"1e30\""));
  for (int i = 0; i < 3; ++i)
    pcWorld->Step();
  EXPECT_GE(cSpin.Yaw, -PI);
  EXPECT_LE(cSpin.Yaw, PI);
  EXPECT_LE(std::abs(cRush.Position().GetX()), 5.0);
  EXPECT_LE(std::abs(cRush.Position().GetY()), 5.0);
  EXPECT_NEAR(WrappedAngle(1e300), std::remainder(1e300, 2 * PI), 0);
  EXPECT_NEAR(WrappedAngle(3 * PI / 2), -PI / 2, 1e-12);
  EXPECT_TRUE(std::isnan(WrappedAngle(INFINITY)));
}

TEST_F(VeskSimWorld, UnequalWheelsFollowAnArc) {
  auto pcWorld = Arena();
  SBody &cBot = pcWorld->AddRobot(Spec("fb1", 0, 0), Probe("left=\"0\" right=\"14\""));
  for (int i = 0; i < 11; ++i)
    pcWorld->Step();
  // v = 0.07 m/s, w = 1 rad/s: a circle of radius 0.07 m about (0, 0.07).
  EXPECT_NEAR(cBot.Yaw, 1.0, 1e-9);
  EXPECT_NEAR(cBot.Position().GetX(), 0.07 * std::sin(1.0), 1e-9);
  EXPECT_NEAR(cBot.Position().GetY(), 0.07 * (1 - std::cos(1.0)), 1e-9);
}

TEST_F(VeskSimWorld, WallsStopRobots) {
  // A wall whose near face is at x = 1, and a thin one at 45 degrees.
  auto pcWorld = Arena({Wall(1.05, 0, 0.1, 2), Wall(0, 2, 0.02, 1, PI / 4)});
  SBody &cBot = pcWorld->AddRobot(Spec("fb1", 0, 0), Probe("left=\"30\" right=\"30\""));
  SBody &cDiagonal =
      pcWorld->AddRobot(Spec("fb2", 0, 1, 90), Probe("left=\"30\" right=\"30\""));
  for (int i = 0; i < 100; ++i)
    pcWorld->Step();
  EXPECT_LE(cBot.Position().GetX(), 1 - FOOTBOT_RADIUS + 1e-9);
  EXPECT_GT(cBot.Position().GetX(), 1 - FOOTBOT_RADIUS - 0.02);
  EXPECT_GE(SignedDistance(pcWorld->GetWalls()[1], cDiagonal.Floor()),
            FOOTBOT_RADIUS - 1e-9);
  EXPECT_LT(cDiagonal.Position().GetY(), 2);
}

TEST_F(VeskSimWorld, ArenaEdgesStopRobots) {
  auto pcWorld = Arena();
  SBody &cBot = pcWorld->AddRobot(Spec("fb1", 4, 0), Probe("left=\"30\" right=\"30\""));
  for (int i = 0; i < 100; ++i)
    pcWorld->Step();
  EXPECT_NEAR(cBot.Position().GetX(), 5 - FOOTBOT_RADIUS, 0.02);
  EXPECT_LE(cBot.Position().GetX(), 5 - FOOTBOT_RADIUS + 1e-9);
}

TEST_F(VeskSimWorld, RobotsDoNotPassThroughEachOther) {
  auto pcWorld = Arena();
  SBody &cA = pcWorld->AddRobot(Spec("fb1", -1, 0, 0), Probe("left=\"30\" right=\"30\""));
  SBody &cB =
      pcWorld->AddRobot(Spec("fb2", 1, 0, 180), Probe("left=\"30\" right=\"30\""));
  double fClosest = 10;
  for (int i = 0; i < 100; ++i) {
    pcWorld->Step();
    fClosest = std::min(fClosest, (cA.Floor() - cB.Floor()).Length());
  }
  EXPECT_GE(fClosest, 2 * FOOTBOT_RADIUS - 1e-9);
  // They met in the middle and stayed there.
  EXPECT_LT(fClosest, 2 * FOOTBOT_RADIUS + 0.03);
  EXPECT_LT(cA.Position().GetX(), 0);
  EXPECT_GT(cB.Position().GetX(), 0);
}

TEST_F(VeskSimWorld, OverlappingRobotsCanSeparate) {
  auto pcWorld = Arena();
  // Placed overlapping; A drives away from B, which is allowed.
  SBody &cA =
      pcWorld->AddRobot(Spec("fb1", 0, 0, 180), Probe("left=\"10\" right=\"10\""));
  pcWorld->AddRobot(Spec("fb2", 0.1, 0), Probe());
  for (int i = 0; i < 11; ++i)
    pcWorld->Step();
  EXPECT_NEAR(cA.Position().GetX(), -0.1, 1e-9);
}

TEST_F(VeskSimWorld, ProximityRingSeesWallsAndRobots) {
  // The wall's face is 5 cm ahead of the robot's rim.
  auto pcWorld = Arena({Wall(FOOTBOT_RADIUS + 0.05 + 0.05, 0, 0.1, 2)});
  SBody &cBot =
      pcWorld->AddRobot(Spec("fb1", 0, 0), Probe("", "", "<footbot_proximity/>"));
  // A robot touching its rim on the left.
  pcWorld->AddRobot(Spec("fb2", 0, 2 * FOOTBOT_RADIUS), Probe());
  pcWorld->Step();
  const std::vector<double> &vecP = ProbeOf(cBot).Proximity;
  ASSERT_EQ(vecP.size(), 24u);
  // Rays 0 and 23 point 7.5 degrees off the front.
  const double fFront = 0.01 / (0.05 / std::cos(7.5 * PI / 180) +
                                FOOTBOT_RADIUS * (1 / std::cos(7.5 * PI / 180) - 1));
  EXPECT_NEAR(vecP[0], fFront, 1e-6);
  EXPECT_NEAR(vecP[23], fFront, 1e-6);
  // Rays 5 and 6 (82.5 and 97.5 degrees) touch the robot on the left.
  EXPECT_DOUBLE_EQ(vecP[5], 1.0);
  EXPECT_DOUBLE_EQ(vecP[6], 1.0);
  // Backwards and to the right there is nothing.
  for (int i : {9, 12, 15, 18})
    EXPECT_EQ(vecP[i], 0.0) << "ray " << i;
}

TEST_F(VeskSimWorld, CameraSeesLitLEDsAheadOnly) {
  auto pcWorld = Arena();
  SRobotSpec sDrone = Spec("sp1", -2, 0);
  sDrone.Kind = ERobotKind::SPIRI;
  sDrone.Position.SetZ(1);
  SBody &cDrone =
      pcWorld->AddRobot(sDrone, Probe("target=\"-2,0,1\"", "<quadrotor_position/>",
                                      "<colored_blob_perspective_camera/>"));
  pcWorld->AddRobot(Spec("fb2", 2, 0), Probe("", "<leds/>"));  // 4 m ahead
  pcWorld->AddRobot(Spec("fb3", -4, 0), Probe("", "<leds/>")); // behind
  pcWorld->AddRobot(Spec("fb4", 2, 1), Probe());               // no LEDs
  pcWorld->Step(); // LEDs set in Init show from step 1
  const auto &vecBlobs = ProbeOf(cDrone).Blobs;
  // The 12 ring LEDs and the beacon of fb2; fb3 is behind, fb4 dark.
  ASSERT_EQ(vecBlobs.size(), 13u);
  for (const auto &sBlob : vecBlobs) {
    EXPECT_EQ(sBlob.Color, argos::CColor::RED);
    EXPECT_NEAR(sBlob.X, 320, 15);
    EXPECT_GT(sBlob.Y, 240); // below the horizon
    EXPECT_LT(sBlob.Y, 480);
  }
}

TEST_F(VeskSimWorld, QuadRotorApproachesItsTargetAtBoundedSpeed) {
  auto pcWorld = Arena();
  SRobotSpec sDrone = Spec("sp1", 0, 0);
  sDrone.Kind = ERobotKind::SPIRI;
  SBody &cClimb =
      pcWorld->AddRobot(sDrone, Probe("target=\"0,0,2\"", "<quadrotor_position/>"));
  sDrone.Id = "sp2";
  SBody &cDash =
      pcWorld->AddRobot(sDrone, Probe("target=\"5,0,0\"", "<quadrotor_position/>"));
  for (int i = 0; i < 20; ++i)
    pcWorld->Step();
  // 2 m below its target the climb is slower than the cap: first order.
  EXPECT_NEAR(cClimb.Position().GetZ(), 2 * (1 - std::exp(-0.44 * 2)), 1e-9);
  // 5 m away the speed is capped at 1 m/s (while 2.3 m or more remain).
  EXPECT_NEAR(cDash.Position().GetX(), 2.0, 1e-9);
}

TEST_F(VeskSimWorld, BatteryDrainsFasterWhenMovingAndCharges) {
  SBattery sStill, sMoving, sCharging;
  for (int i = 0; i < 100; ++i) {
    sStill.Step(0.1, 0);
    sMoving.Step(0.1, 0.01);
    sCharging.Charge = std::min(sCharging.Charge, 0.5);
    sCharging.Charging = true;
    sCharging.Step(0.1, 0);
  }
  EXPECT_NEAR(sStill.Charge, 1 - 10 * SBattery::IDLE_DRAIN_PER_SECOND, 1e-12);
  EXPECT_NEAR(sMoving.Charge, sStill.Charge - SBattery::DRAIN_PER_METRE, 1e-12);
  EXPECT_GT(sCharging.Charge, 0.5);
  SBattery sEmpty;
  sEmpty.Charge = 1e-6;
  sEmpty.Step(0.1, 1);
  EXPECT_TRUE(sEmpty.Empty());
  EXPECT_EQ(sEmpty.TimeLeft(), 0);
}

TEST_F(VeskSimWorld, AnEmptyBatteryStopsTheWheels) {
  auto pcWorld = Arena();
  // Enough charge for about 18 steps at 20 cm/s (2 cm and 2.1e-4 a step).
  SBody &cBot = pcWorld->AddRobot(Spec("fb1", 0, 0), Probe("left=\"20\" right=\"20\"",
                                                           "<differential_steering/>",
                                                           "<battery soc=\"0.004\"/>"));
  SBody &cFree = pcWorld->AddRobot(Spec("fb2", 0, 1), Probe("left=\"20\" right=\"20\""));
  for (int i = 0; i < 50; ++i)
    pcWorld->Step();
  EXPECT_TRUE(cBot.Battery.Empty());
  EXPECT_NEAR(cBot.Position().GetX(), 0.02 * 19, 0.021);
  EXPECT_NEAR(cFree.Position().GetX(), 0.02 * 49, 1e-9);
}

TEST(VeskSimGrid, NearQueriesFindEveryItemInRangeAfterMoves) {
  CSpatialGrid cGrid(CVector2(-5, -5), CVector2(5, 5), 0.7);
  std::mt19937 cRandom(42);
  std::uniform_real_distribution<double> cCoord(-6, 6); // some outside the grid
  std::vector<CVector2> vecAt;
  for (uint32_t i = 0; i < 300; ++i) {
    vecAt.emplace_back(cCoord(cRandom), cCoord(cRandom));
    cGrid.Insert(i, vecAt.back());
  }
  for (uint32_t i = 0; i < 300; i += 3) {
    const CVector2 cTo(cCoord(cRandom), cCoord(cRandom));
    cGrid.Move(i, vecAt[i], cTo);
    vecAt[i] = cTo;
  }
  for (int q = 0; q < 50; ++q) {
    const CVector2 cCentre(cCoord(cRandom), cCoord(cRandom));
    const double fRadius = 0.1 + q * 0.05;
    std::multiset<uint32_t> setSeen;
    cGrid.ForEachNear(cCentre, fRadius, [&](uint32_t un) { setSeen.insert(un); });
    for (uint32_t i = 0; i < vecAt.size(); ++i) {
      if ((vecAt[i] - cCentre).Length() <= fRadius) {
        EXPECT_EQ(setSeen.count(i), 1u) << "item " << i << " query " << q;
      }
      EXPECT_LE(setSeen.count(i), 1u);
    }
  }
}

} // namespace
