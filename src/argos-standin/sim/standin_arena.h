// A small headless simulator: robots built by CRobot, stepped in the
// simulator's order, with a range-and-bearing medium between them and
// simple motion. Good enough to run controllers end to end without ARGoS;
// not a physics engine (no collisions, no obstacles).
#ifndef ARGOS_STANDIN_SIM_ARENA_H
#define ARGOS_STANDIN_SIM_ARENA_H

#include "sim/standin_robot.h"
#include <memory>
#include <string>
#include <vector>

namespace argos {
namespace standin {

class CArena {
public:
  // Foot-bot wheel axis length, metres.
  static constexpr Real INTERWHEEL_DISTANCE = 0.14;
  // Rate (1/s) at which a quad-rotor closes the gap to its target: it covers
  // the fraction 1 - exp(-rate * dt) of the remaining distance each step.
  static constexpr Real QUADROTOR_APPROACH_RATE = 0.44;

  explicit CArena(Real f_ticks_per_second = 10);
  // Robots are Destroy()ed in the order they were added.
  ~CArena();
  CArena(const CArena &) = delete;
  CArena &operator=(const CArena &) = delete;

  // Builds a robot (see CRobot) and places it; the arena owns it.
  CRobot &AddRobot(const std::string &str_id, TConfigurationNode &t_controller_config,
                   const SRobotSettings &s_settings = SRobotSettings(),
                   const SPose &s_pose = SPose());

  // One step: clock + 1; every robot's actuators act (payloads are sent,
  // robots move); the medium delivers packets; then robot by robot its
  // sensors update and its controller steps; finally both logs are flushed.
  void Step();
  // Every robot goes back to its initial pose and its sensors, actuators
  // and controller are reset; the clock restarts at 0.
  void Reset();

  UInt64 GetClock() const { return m_unClock; }
  Real GetTickLength() const { return 1.0 / m_fTicksPerSecond; }
  size_t GetNumRobots() const { return m_vecRobots.size(); }
  CRobot &GetRobot(size_t un_index) { return *m_vecRobots.at(un_index); }
  // Throws CARGoSException for an unknown id.
  CRobot &GetRobot(const std::string &str_id);

private:
  struct SPacketSource {
    CRobot *Robot;
    CByteArray Data;
  };

  void Move(CRobot &c_robot);
  void Deliver(const std::vector<SPacketSource> &vec_sources);

  Real m_fTicksPerSecond;
  UInt64 m_unClock = 0;
  std::vector<std::unique_ptr<CRobot>> m_vecRobots;
};

} // namespace standin
} // namespace argos

#endif
