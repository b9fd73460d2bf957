/*
 * The headless world: robots that run their controllers in ARGoS's order,
 * foot-bots that drive with differential-drive kinematics and stop at walls
 * and at each other, quad-rotors that fly to their target at a bounded
 * speed, and the sensors (range and bearing, proximity ring, camera,
 * positioning, battery) fed from the poses.
 */
#ifndef VESKSIM_WORLD_H
#define VESKSIM_WORLD_H

#include "sim_body.h"
#include "sim_grid.h"
#include "sim_medium.h"
#include "sim_pool.h"
#include "vesk_controller.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesksim {

// Makes the simulator's logs plain text: they go to terminals and files that
// people and tests read, and ARGoS's coloured logs would even end the
// program's output with a colour reset.
void UsePlainLogs();

class CWorld {
public:
  // Foot-bot wheel axis length, metres.
  static constexpr Real INTERWHEEL_DISTANCE = 0.14;
  // A quad-rotor covers the fraction 1 - exp(-rate * dt) of the distance to
  // its target each step, but never more than the top speed.
  static constexpr Real FLIGHT_APPROACH_RATE = 0.44; // 1/s
  static constexpr Real FLIGHT_MAX_SPEED = 1.0;      // m/s
  static constexpr Real FLIGHT_MAX_YAW_RATE = 1.0;   // rad/s
  // Side of the cells of the contact grid, metres.
  static constexpr Real CONTACT_CELL = 0.5;

  // An empty arena of the given size and centre, with walls.
  CWorld(Real f_ticks_per_second, const CVector3 &c_size, const CVector3 &c_center,
         const std::vector<SWall> &vec_walls);
  // The arena of an experiment with all of its robots (CARGoSException when a
  // controller cannot be built).
  explicit CWorld(const SExperiment &s_experiment);
  // Destroy()s every robot in the order they were added, then deletes them.
  ~CWorld();
  CWorld(const CWorld &) = delete;
  CWorld &operator=(const CWorld &) = delete;

  // Builds the robot's controller from t_controller and places the robot.
  SBody &AddRobot(const SRobotSpec &s_spec, argos::TConfigurationNode &t_controller);

  // One step: clock + 1; every robot acts (its wheels or rotors move it, its
  // LEDs and radio payload are shown); the radio delivers what was sent;
  // robot by robot its sensors are updated; the controllers step, on the
  // pool's threads; what each robot wrote is then written robot by robot;
  // finally the logs are flushed.
  void Step();

  // Runs the controllers' steps on un_threads threads, the calling one
  // included (1, the default: one after another on the calling thread).
  // Every robot's output is kept while the robots step and written in robot
  // order afterwards, so the run is the same whatever the number.
  void SetThreads(unsigned un_threads);
  unsigned GetThreads() const { return m_pcPool->GetThreads(); }
  // The robot with id str_id steps on the calling thread once the others
  // have stepped, its output written as it comes, in its turn among the
  // others' (as if all had stepped one after another): for a debugger that
  // reads the terminal while the world waits. "" for none. False (and no
  // change) when no robot has that id.
  bool SetSequentialRobot(const std::string &str_id);

  uint64_t GetClock() const { return m_unClock; }
  Real GetTickLength() const { return m_fTick; }
  size_t GetNumRobots() const { return m_vecBodies.size(); }
  SBody &GetBody(size_t un_index) { return *m_vecBodies.at(un_index); }
  const SBody &GetBody(size_t un_index) const { return *m_vecBodies.at(un_index); }
  const std::vector<SWall> &GetWalls() const { return m_vecWalls; }
  const CVector3 &GetArenaSize() const { return m_cArenaSize; }
  const CVector3 &GetArenaCenter() const { return m_cArenaCenter; }

private:
  void FindDevices(SBody &s_body);
  void Act(SBody &s_body, uint32_t un_index);
  void Drive(SBody &s_body, uint32_t un_index);
  void Fly(SBody &s_body);
  bool Blocked(const SBody &s_body, uint32_t un_index, const CVector2 &c_from,
               const CVector2 &c_to) const;
  void SetYaw(SBody &s_body, Real f_yaw);
  void Sense(SBody &s_body, uint32_t un_index);
  // Every controller's step, then their output in robot order.
  void StepRobots();
  // Robot un_index's step, its output kept in its buffer.
  void ControlRobot(size_t un_index);
  // Writes the kept output of robots un_begin to un_end - 1 (as far as
  // they exist), in order.
  void FlushOutputs(size_t un_begin, size_t un_end);

  Real m_fTick;
  CVector3 m_cArenaSize, m_cArenaCenter;
  std::vector<SWall> m_vecWalls;     // the experiment's boxes
  std::vector<SWall> m_vecObstacles; // the boxes and the arena's four edges
  std::vector<std::unique_ptr<SBody>> m_vecBodies;
  CSpatialGrid m_cGround; // foot-bots by floor position
  CRABMedium m_cMedium;
  std::unique_ptr<CWorkerPool> m_pcPool;
  // What each robot wrote in the current step, by robot index.
  std::vector<CVeskController::COutput> m_vecOutputs;
  size_t m_unSequential = SIZE_MAX; // index of the robot stepped apart
  uint64_t m_unClock = 0;
  bool m_bAnyCamera = false;
  // This world created the random number category "argos" (and removes it).
  bool m_bOwnsRandomCategory = false;
};

} // namespace vesksim

#endif
