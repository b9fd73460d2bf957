/*
 * Battery model of the headless world.
 */
#include "sim_battery.h"
#include <algorithm>
#include <limits>

namespace vesksim {

void SBattery::Step(Real f_dt, Real f_distance) {
  if (!(f_dt > 0)) return;
  Real fDrain = IDLE_DRAIN_PER_SECOND * f_dt + DRAIN_PER_METRE * f_distance;
  if (Processing) fDrain += PROCESSING_DRAIN_PER_SECOND * f_dt;
  const Real fGain = Charging ? CHARGE_PER_SECOND * f_dt : 0;
  Charge = std::clamp(Charge - fDrain + fGain, 0.0, 1.0);
  const Real fNetPerSecond = (fDrain - fGain) / f_dt;
  if (Charge <= 0)
    m_fTimeLeft = 0;
  else if (fNetPerSecond <= 0)
    m_fTimeLeft = std::numeric_limits<Real>::max();
  else
    m_fTimeLeft = Charge / fNetPerSecond;
}

} // namespace vesksim
