// Headless multi-robot simulation of the ARGoS stand-in.
#include "sim/standin_arena.h"
#include <cmath>

namespace argos {
namespace standin {

CArena::CArena(Real f_ticks_per_second) : m_fTicksPerSecond(f_ticks_per_second) {
  if (!(f_ticks_per_second > 0))
    THROW_ARGOSEXCEPTION("ticks_per_second must be positive, got " << f_ticks_per_second);
}

CArena::~CArena() {
  // Destroy in insertion order first; deleting them happens afterwards.
  for (std::unique_ptr<CRobot> &pcRobot : m_vecRobots) {
    try {
      pcRobot->Destroy();
    } catch (std::exception &ex) {
      LOGERR << ex.what() << std::endl;
    }
  }
  LOG.Flush();
  LOGERR.Flush();
}

CRobot &CArena::AddRobot(const std::string &str_id,
                         TConfigurationNode &t_controller_config,
                         const SRobotSettings &s_settings, const SPose &s_pose) {
  m_vecRobots.emplace_back(new CRobot(str_id, t_controller_config, s_settings, s_pose));
  return *m_vecRobots.back();
}

CRobot &CArena::GetRobot(const std::string &str_id) {
  for (std::unique_ptr<CRobot> &pcRobot : m_vecRobots)
    if (pcRobot->GetId() == str_id) return *pcRobot;
  THROW_ARGOSEXCEPTION("No robot with id \"" << str_id << "\" in the arena");
}

void CArena::Step() {
  ++m_unClock;
  std::vector<SPacketSource> vecSources;
  for (std::unique_ptr<CRobot> &pcRobot : m_vecRobots) {
    if (pcRobot->HasActuator("range_and_bearing"))
      vecSources.push_back(
          {pcRobot.get(),
           pcRobot->Actuator<CRangeAndBearingActuator>("range_and_bearing").GetData()});
    Move(*pcRobot);
  }
  Deliver(vecSources);
  for (std::unique_ptr<CRobot> &pcRobot : m_vecRobots)
    pcRobot->Step();
  LOG.Flush();
  LOGERR.Flush();
}

void CArena::Reset() {
  m_unClock = 0;
  for (std::unique_ptr<CRobot> &pcRobot : m_vecRobots)
    pcRobot->Reset();
  LOG.Flush();
  LOGERR.Flush();
}

void CArena::Move(CRobot &c_robot) {
  const Real fDt = GetTickLength();
  SPose &sPose = c_robot.GetPose();
  if (c_robot.HasActuator("differential_steering")) {
    // Unicycle kinematics; wheel speeds are in cm/s.
    auto &cWheels =
        c_robot.Actuator<CDifferentialSteeringActuator>("differential_steering");
    const Real fLeft = cWheels.GetLeftVelocity() * 0.01;
    const Real fRight = cWheels.GetRightVelocity() * 0.01;
    const CRadians cYaw =
        sPose.Yaw() + CRadians((fRight - fLeft) / INTERWHEEL_DISTANCE * fDt);
    const Real fDistance = (fLeft + fRight) * 0.5 * fDt;
    sPose.Position += CVector3(fDistance * Cos(cYaw), fDistance * Sin(cYaw), 0);
    sPose.Orientation.FromEulerAngles(cYaw, CRadians::ZERO, CRadians::ZERO);
  }
  if (c_robot.HasActuator("quadrotor_position")) {
    auto &cFlight = c_robot.Actuator<CQuadRotorPositionActuator>("quadrotor_position");
    const Real fFraction = 1.0 - std::exp(-QUADROTOR_APPROACH_RATE * fDt);
    sPose.Position += (cFlight.GetTargetPosition() - sPose.Position) * fFraction;
    const CRadians cYaw =
        sPose.Yaw() +
        NormalizedDifference(cFlight.GetTargetYaw(), sPose.Yaw()) * fFraction;
    sPose.Orientation.FromEulerAngles(cYaw, CRadians::ZERO, CRadians::ZERO);
  }
}

void CArena::Deliver(const std::vector<SPacketSource> &vec_sources) {
  for (std::unique_ptr<CRobot> &pcReceiver : m_vecRobots) {
    if (!pcReceiver->HasSensor("range_and_bearing")) continue;
    auto &cSensor = pcReceiver->Sensor<CRangeAndBearingSensor>("range_and_bearing");
    cSensor.ClearReadings();
    const SPose &sReceiver = pcReceiver->GetPose();
    for (const SPacketSource &sSource : vec_sources) {
      if (sSource.Robot == pcReceiver.get()) continue;
      // The sender as seen from the receiver, in the receiver's frame.
      CVector3 cOffset = sSource.Robot->GetPose().Position - sReceiver.Position;
      const Real fDistance = cOffset.Length();
      if (fDistance > sSource.Robot->GetSettings().RABRange) continue;
      cOffset.Rotate(sReceiver.Orientation.Inverse());
      const Real fHorizontal = std::hypot(cOffset.GetX(), cOffset.GetY());
      cSensor.AddReading(fDistance * 100.0, ATan2(cOffset.GetY(), cOffset.GetX()),
                         ATan2(cOffset.GetZ(), fHorizontal), sSource.Data);
    }
  }
}

} // namespace standin
} // namespace argos
