/*
 * One robot of the headless world: the robot harness that runs its
 * controller, and the simulated devices the world reads and feeds, found
 * once when the robot is built.
 */
#ifndef VESKSIM_BODY_H
#define VESKSIM_BODY_H

#include "sim_battery.h"
#include "sim_experiment.h"
#include "sim_robot.h"
#include <memory>
#include <vector>

namespace vesksim {

struct SBody {
  SRobotSpec Spec;
  std::unique_ptr<CRobot> Robot;
  Real Radius = FOOTBOT_RADIUS;
  Real Yaw = 0; // radians; kept beside the pose's quaternion to avoid converting back

  // Devices; null when the controller does not use them.
  CRangeAndBearingActuator *RABOut = nullptr;
  CRangeAndBearingSensor *RABIn = nullptr;
  CDifferentialSteeringActuator *Wheels = nullptr;
  CLEDsActuator *LEDs = nullptr;
  CFootBotProximitySensor *Proximity = nullptr;
  CQuadRotorPositionActuator *Flight = nullptr;
  CColoredBlobPerspectiveCameraSensor *Camera = nullptr;
  CBatterySensor *BatterySensor = nullptr;
  // The extended foot-bot's ring and battery (see sim_devices.h).
  argos::CCI_Sensor *ExtProximity = nullptr;
  argos::CCI_Sensor *ExtBattery = nullptr;

  // LED colours as they were at the last act phase: what cameras see.
  std::vector<argos::CColor> ShownLEDs;
  SBattery Battery;
  Real Travelled = 0; // metres the wheels rolled in the last step

  bool HasBattery() const { return BatterySensor != nullptr || ExtBattery != nullptr; }
  bool OnGround() const { return Spec.Kind == ERobotKind::FOOT_BOT; }
  SPose &Pose() { return Robot->GetPose(); }
  const argos::CVector3 &Position() const { return Robot->GetPose().Position; }
  CVector2 Floor() const { return CVector2(Position().GetX(), Position().GetY()); }
};

} // namespace vesksim

#endif
