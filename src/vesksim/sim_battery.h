/*
 * Battery model: a state of charge from 0 (empty) to 1 (full) that a robot
 * uses up slowly while it stands and faster while its wheels turn, and that
 * rises while it charges. An empty battery stops the wheels.
 */
#ifndef VESKSIM_BATTERY_H
#define VESKSIM_BATTERY_H

#include <argos3/core/utility/datatypes/datatypes.h>

namespace vesksim {

using argos::Real;

struct SBattery {
  // Charge used per second whatever the robot does (electronics): a robot
  // that never moves runs for about 2.8 hours.
  static constexpr Real IDLE_DRAIN_PER_SECOND = 1e-4;
  // Charge used per metre that the wheels roll (both wheels averaged).
  static constexpr Real DRAIN_PER_METRE = 0.01;
  // Extra charge used per second while the robot processes (a busy CPU).
  static constexpr Real PROCESSING_DRAIN_PER_SECOND = 2e-4;
  // Charge gained per second while charging: empty to full in 100 s.
  static constexpr Real CHARGE_PER_SECOND = 0.01;

  Real Charge = 1;
  bool Charging = false;
  bool Processing = false;

  // One step of f_dt seconds in which the wheels rolled f_distance metres.
  void Step(Real f_dt, Real f_distance);
  // Seconds until empty at the drain of the last step; 0 when empty, and a
  // very large number while charging faster than it drains.
  Real TimeLeft() const { return m_fTimeLeft; }
  bool Empty() const { return Charge <= 0; }

private:
  Real m_fTimeLeft = 1 / IDLE_DRAIN_PER_SECOND;
};

} // namespace vesksim

#endif
