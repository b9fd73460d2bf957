/*
 * The headless world: stepping, kinematics and collisions.
 */
#include "sim_world.h"
#include "sim_devices.h"
#include "sim_sensors.h"
#include <argos3/core/utility/math/rng.h>
#include <algorithm>
#include <cmath>

namespace vesksim {

using namespace argos;

namespace {

// Thickness of the walls that close the arena's edges, metres.
constexpr Real EDGE_THICKNESS = 1.0;
// A foot-bot moves in slices no longer than this fraction of its radius, so
// that no step can carry it through a thin wall or another robot.
constexpr Real SLICE_OF_RADIUS = 0.5;
// More slices than this only come from absurd wheel speeds a script may set
// (kilometres per step): such a robot moves in longer slices and stops at
// the first wall.
constexpr Real MAX_SLICES = 4096;

CVector2 ArenaMin(const CVector3 &c_size, const CVector3 &c_center) {
  return CVector2(c_center.GetX() - c_size.GetX() / 2,
                  c_center.GetY() - c_size.GetY() / 2);
}

CVector2 ArenaMax(const CVector3 &c_size, const CVector3 &c_center) {
  return CVector2(c_center.GetX() + c_size.GetX() / 2,
                  c_center.GetY() + c_size.GetY() / 2);
}

std::vector<SWall> WithEdges(const std::vector<SWall> &vec_walls, const CVector3 &c_size,
                             const CVector3 &c_center) {
  std::vector<SWall> vecOut = vec_walls;
  const Real fHalfX = c_size.GetX() / 2, fHalfY = c_size.GetY() / 2;
  const Real fT = EDGE_THICKNESS / 2;
  const CVector2 cC(c_center.GetX(), c_center.GetY());
  auto Edge = [&](Real f_dx, Real f_dy, Real f_hx, Real f_hy) {
    SWall sEdge;
    sEdge.Id = "arena edge";
    sEdge.Center = cC + CVector2(f_dx, f_dy);
    sEdge.HalfSize.Set(f_hx, f_hy);
    vecOut.push_back(sEdge);
  };
  Edge(fHalfX + fT, 0, fT, fHalfY + EDGE_THICKNESS);
  Edge(-fHalfX - fT, 0, fT, fHalfY + EDGE_THICKNESS);
  Edge(0, fHalfY + fT, fHalfX + EDGE_THICKNESS, fT);
  Edge(0, -fHalfY - fT, fHalfX + EDGE_THICKNESS, fT);
  return vecOut;
}

// The device configured under str_name if it is of the simulated type T.
template <typename T, typename MAP> T *Device(MAP &t_map, const char *pch_name) {
  auto it = t_map.find(pch_name);
  return it == t_map.end() ? nullptr : dynamic_cast<T *>(it->second);
}

} // namespace

void UsePlainLogs() {
  LOG.DisableColoredOutput();
  LOGERR.DisableColoredOutput();
}

CWorld::CWorld(Real f_ticks_per_second, const CVector3 &c_size, const CVector3 &c_center,
               const std::vector<SWall> &vec_walls)
    : m_fTick(1.0 / f_ticks_per_second), m_cArenaSize(c_size), m_cArenaCenter(c_center),
      m_vecWalls(vec_walls), m_vecObstacles(WithEdges(vec_walls, c_size, c_center)),
      m_cGround(ArenaMin(c_size, c_center), ArenaMax(c_size, c_center), CONTACT_CELL),
      m_cMedium(ArenaMin(c_size, c_center), ArenaMax(c_size, c_center)),
      m_pcPool(std::make_unique<CWorkerPool>(1)) {
  if (!(f_ticks_per_second > 0))
    THROW_ARGOSEXCEPTION("ticks_per_second must be positive, got " << f_ticks_per_second);
  RegisterWorldDevices();
  UsePlainLogs();
}

CWorld::CWorld(const SExperiment &s_experiment)
    : CWorld(s_experiment.TicksPerSecond, s_experiment.ArenaSize,
             s_experiment.ArenaCenter, s_experiment.Walls) {
  // As in ARGoS: the "argos" category holds the experiment's seed, from
  // which the controllers seed their robots' generators.
  m_bOwnsRandomCategory =
      argos::CRandom::CreateCategory("argos", s_experiment.RandomSeed);
  if (!m_bOwnsRandomCategory) argos::CRandom::SetSeedOf("argos", s_experiment.RandomSeed);
  for (const SRobotSpec &sSpec : s_experiment.Robots)
    AddRobot(sSpec, s_experiment.Controllers.at(sSpec.ControllerId).Node());
}

CWorld::~CWorld() {
  for (std::unique_ptr<SBody> &pcBody : m_vecBodies) {
    try {
      pcBody->Robot->Destroy();
    } catch (std::exception &ex) {
      LOGERR << ex.what() << std::endl;
    }
  }
  m_vecBodies.clear();
  // As the simulator does when it ends: the category goes with the world.
  if (m_bOwnsRandomCategory) argos::CRandom::RemoveCategory("argos");
  LOG.Flush();
  LOGERR.Flush();
}

SBody &CWorld::AddRobot(const SRobotSpec &s_spec,
                        argos::TConfigurationNode &t_controller) {
  auto pcBody = std::make_unique<SBody>();
  pcBody->Spec = s_spec;
  pcBody->Radius = RadiusOf(s_spec.Kind);
  pcBody->Yaw = s_spec.Yaw;
  SRobotSettings sSettings;
  sSettings.RABDataSize = s_spec.RABDataSize;
  sSettings.RABRange = s_spec.RABRange;
  sSettings.NumLEDs = s_spec.Kind == ERobotKind::FOOT_BOT ? 13 : 0;
  SPose sPose;
  sPose.Position = s_spec.Position;
  sPose.Orientation.FromEulerAngles(argos::CRadians(s_spec.Yaw), argos::CRadians::ZERO,
                                    argos::CRadians::ZERO);
  pcBody->Robot = std::make_unique<CRobot>(s_spec.Id, t_controller, sSettings, sPose);
  FindDevices(*pcBody);
  const uint32_t unIndex = static_cast<uint32_t>(m_vecBodies.size());
  if (pcBody->OnGround()) m_cGround.Insert(unIndex, pcBody->Floor());
  m_bAnyCamera = m_bAnyCamera || pcBody->Camera != nullptr;
  m_vecBodies.push_back(std::move(pcBody));
  m_vecOutputs.emplace_back();
  return *m_vecBodies.back();
}

void CWorld::FindDevices(SBody &s_body) {
  argos::CCI_Controller &cController = s_body.Robot->GetController();
  auto &tActuators = cController.GetAllActuators();
  auto &tSensors = cController.GetAllSensors();
  s_body.RABOut = Device<CRangeAndBearingActuator>(tActuators, "range_and_bearing");
  s_body.Wheels =
      Device<CDifferentialSteeringActuator>(tActuators, "differential_steering");
  s_body.LEDs = Device<CLEDsActuator>(tActuators, "leds");
  s_body.Flight = Device<CQuadRotorPositionActuator>(tActuators, "quadrotor_position");
  s_body.RABIn = Device<CRangeAndBearingSensor>(tSensors, "range_and_bearing");
  s_body.Proximity = Device<CFootBotProximitySensor>(tSensors, "footbot_proximity");
  s_body.Camera = Device<CColoredBlobPerspectiveCameraSensor>(
      tSensors, "colored_blob_perspective_camera");
  s_body.BatterySensor = Device<CBatterySensor>(tSensors, "battery");
  s_body.ExtProximity = FindExtProximity(cController);
  s_body.ExtBattery = FindExtBattery(cController);
  if (s_body.ExtBattery != nullptr)
    s_body.Battery.Charge = ExtBatteryInitialCharge(s_body.ExtBattery);
}

void CWorld::Step() {
  ++m_unClock;
  for (uint32_t i = 0; i < m_vecBodies.size(); ++i)
    Act(*m_vecBodies[i], i);
  m_cMedium.Deliver(m_vecBodies);
  // A controller's step changes nothing that another robot senses: the
  // whole world can be sensed first.
  for (uint32_t i = 0; i < m_vecBodies.size(); ++i)
    Sense(*m_vecBodies[i], i);
  StepRobots();
  LOG.Flush();
  LOGERR.Flush();
}

void CWorld::SetThreads(unsigned un_threads) {
  if (un_threads != m_pcPool->GetThreads())
    m_pcPool = std::make_unique<CWorkerPool>(un_threads);
}

bool CWorld::SetSequentialRobot(const std::string &str_id) {
  if (str_id.empty()) {
    m_unSequential = SIZE_MAX;
    return true;
  }
  for (size_t i = 0; i < m_vecBodies.size(); ++i) {
    if (m_vecBodies[i]->Spec.Id != str_id) continue;
    m_unSequential = i;
    return true;
  }
  return false;
}

void CWorld::ControlRobot(size_t un_index) {
  CVeskController::CCapture cCapture(m_vecOutputs[un_index]);
  m_vecBodies[un_index]->Robot->Step();
}

// As if the robots stepped one after another: their output goes out robot
// by robot; the robot stepped apart runs on this thread in its turn, its
// output written as it comes; when a step throws, the output of the robots
// before it and its own goes out, the exception follows, and what robots
// after it did is forgotten.
void CWorld::StepRobots() {
  const size_t unCount = m_vecBodies.size();
  std::exception_ptr pcError;
  size_t unFailed = unCount;
  try {
    m_pcPool->Run(unCount, [this](size_t i) {
      if (i != m_unSequential) ControlRobot(i);
    });
  } catch (...) {
    pcError = std::current_exception();
    unFailed = m_pcPool->GetFailedIndex();
  }
  FlushOutputs(0, std::min(m_unSequential, unFailed + 1));
  if (m_unSequential < unFailed) {
    try {
      m_vecBodies[m_unSequential]->Robot->Step();
    } catch (...) {
      pcError = std::current_exception();
      unFailed = m_unSequential;
    }
    FlushOutputs(m_unSequential + 1, unFailed + 1);
  }
  for (size_t i = unFailed + 1; i < unCount; ++i)
    m_vecOutputs[i].Clear();
  if (pcError) std::rethrow_exception(pcError);
}

void CWorld::FlushOutputs(size_t un_begin, size_t un_end) {
  for (size_t i = un_begin; i < std::min(un_end, m_vecOutputs.size()); ++i)
    m_vecOutputs[i].Flush();
}

void CWorld::Act(SBody &s_body, uint32_t un_index) {
  if (m_bAnyCamera && s_body.LEDs != nullptr)
    s_body.ShownLEDs = s_body.LEDs->GetSettings();
  s_body.Travelled = 0;
  if (s_body.ExtBattery != nullptr)
    ReadExtBatterySwitches(s_body.ExtBattery, s_body.Battery);
  if (s_body.Wheels != nullptr && s_body.OnGround()) Drive(s_body, un_index);
  if (s_body.Flight != nullptr) Fly(s_body);
  s_body.Battery.Step(m_fTick, s_body.Travelled);
}

void CWorld::SetYaw(SBody &s_body, Real f_yaw) {
  const argos::CRadians cYaw(WrappedAngle(f_yaw));
  s_body.Yaw = cYaw.GetValue();
  s_body.Pose().Orientation.FromEulerAngles(cYaw, argos::CRadians::ZERO,
                                            argos::CRadians::ZERO);
}

// Differential drive, integrated exactly along the arc of the step; the
// turn always happens, the displacement stops at the first slice that
// would push the robot deeper into a wall or another robot.
void CWorld::Drive(SBody &s_body, uint32_t un_index) {
  if (s_body.HasBattery() && s_body.Battery.Empty()) return;
  const Real fLeft = s_body.Wheels->GetLeftVelocity() * 0.01; // cm/s to m/s
  const Real fRight = s_body.Wheels->GetRightVelocity() * 0.01;
  const Real fSpeed = (fLeft + fRight) / 2;
  const Real fTurn = (fRight - fLeft) / INTERWHEEL_DISTANCE;
  const Real fLength = std::abs(fSpeed) * m_fTick;
  const int nSlices = static_cast<int>(std::clamp(
      std::ceil(fLength / (SLICE_OF_RADIUS * s_body.Radius)), 1.0, MAX_SLICES));
  const Real fDt = m_fTick / nSlices;
  Real fYaw = s_body.Yaw;
  CVector2 cAt = s_body.Floor();
  bool bStuck = false;
  for (int i = 0; i < nSlices; ++i) {
    const Real fNextYaw = fYaw + fTurn * fDt;
    CVector2 cNext = cAt;
    if (std::abs(fTurn) > 1e-12)
      cNext += CVector2(fSpeed / fTurn * (std::sin(fNextYaw) - std::sin(fYaw)),
                        -fSpeed / fTurn * (std::cos(fNextYaw) - std::cos(fYaw)));
    else
      cNext += CVector2(fSpeed * fDt * std::cos(fYaw), fSpeed * fDt * std::sin(fYaw));
    fYaw = fNextYaw;
    if (bStuck || cNext == cAt) continue;
    if (Blocked(s_body, un_index, cAt, cNext)) {
      bStuck = true;
      continue;
    }
    s_body.Travelled += (cNext - cAt).Length();
    m_cGround.Move(un_index, cAt, cNext);
    cAt = cNext;
  }
  s_body.Pose().Position.Set(cAt.GetX(), cAt.GetY(), s_body.Position().GetZ());
  SetYaw(s_body, fYaw);
}

// A move is refused when it brings the robot's rim closer to something it
// already overlaps or makes it overlap something new; robots that start
// overlapping can thus still separate.
bool CWorld::Blocked(const SBody &s_body, uint32_t un_index, const CVector2 &c_from,
                     const CVector2 &c_to) const {
  // A slice long enough to jump over an arena edge lands outside the floor.
  const CVector2 cMin = ArenaMin(m_cArenaSize, m_cArenaCenter);
  const CVector2 cMax = ArenaMax(m_cArenaSize, m_cArenaCenter);
  if (!(c_to.GetX() >= cMin.GetX() && c_to.GetX() <= cMax.GetX() &&
        c_to.GetY() >= cMin.GetY() && c_to.GetY() <= cMax.GetY()))
    return true;
  for (const SWall &sWall : m_vecObstacles) {
    const Real fGap = SignedDistance(sWall, c_to) - s_body.Radius;
    if (fGap < 0 && fGap < SignedDistance(sWall, c_from) - s_body.Radius) return true;
  }
  bool bBlocked = false;
  m_cGround.ForEachNear(c_to, s_body.Radius + FOOTBOT_RADIUS, [&](uint32_t un_other) {
    if (bBlocked || un_other == un_index) return;
    const SBody &sOther = *m_vecBodies[un_other];
    const Real fMin = s_body.Radius + sOther.Radius;
    const Real fTo = (sOther.Floor() - c_to).Length();
    if (fTo < fMin && fTo < (sOther.Floor() - c_from).Length()) bBlocked = true;
  });
  return bBlocked;
}

// First-order approach to the target with a speed cap; quad-rotors fly
// over everything, within the arena's volume.
void CWorld::Fly(SBody &s_body) {
  const Real fFraction = 1.0 - std::exp(-FLIGHT_APPROACH_RATE * m_fTick);
  argos::CVector3 cTarget = s_body.Flight->GetTargetPosition();
  const CVector2 cMin = ArenaMin(m_cArenaSize, m_cArenaCenter);
  const CVector2 cMax = ArenaMax(m_cArenaSize, m_cArenaCenter);
  cTarget.Set(
      std::clamp(cTarget.GetX(), cMin.GetX(), cMax.GetX()),
      std::clamp(cTarget.GetY(), cMin.GetY(), cMax.GetY()),
      std::clamp(cTarget.GetZ(), 0.0, m_cArenaCenter.GetZ() + m_cArenaSize.GetZ() / 2));
  argos::CVector3 cMove = (cTarget - s_body.Position()) * fFraction;
  const Real fLength = cMove.Length();
  if (fLength > FLIGHT_MAX_SPEED * m_fTick) cMove *= FLIGHT_MAX_SPEED * m_fTick / fLength;
  s_body.Pose().Position += cMove;
  Real fTurn =
      WrappedAngle(s_body.Flight->GetTargetYaw().GetValue() - s_body.Yaw) * fFraction;
  fTurn =
      std::clamp(fTurn, -FLIGHT_MAX_YAW_RATE * m_fTick, FLIGHT_MAX_YAW_RATE * m_fTick);
  SetYaw(s_body, s_body.Yaw + fTurn);
}

void CWorld::Sense(SBody &s_body, uint32_t un_index) {
  if (s_body.Proximity != nullptr || s_body.ExtProximity != nullptr) {
    const std::vector<Real> vecRing =
        ProximityReadings(s_body, un_index, m_vecBodies, m_cGround, m_vecObstacles);
    if (s_body.Proximity != nullptr) s_body.Proximity->SetValues(vecRing);
    if (s_body.ExtProximity != nullptr) ShowExtProximity(s_body.ExtProximity, vecRing);
  }
  if (s_body.Camera != nullptr && s_body.Camera->IsEnabled())
    s_body.Camera->SetVisibleBlobs(CameraBlobs(s_body, m_vecBodies));
  if (s_body.BatterySensor != nullptr)
    s_body.BatterySensor->SetReading(s_body.Battery.Charge, s_body.Battery.TimeLeft());
  if (s_body.ExtBattery != nullptr) ShowExtBattery(s_body.ExtBattery, s_body.Battery);
}

} // namespace vesksim
