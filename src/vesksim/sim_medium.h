/*
 * Range-and-bearing medium: every step each robot's radio payload reaches
 * every other robot within the sender's rab_range, with the distance in
 * centimetres and the bearings in the receiver's frame computed from the
 * poses. Senders are found through a spatial grid, not by trying all pairs.
 */
#ifndef VESKSIM_MEDIUM_H
#define VESKSIM_MEDIUM_H

#include "sim_grid.h"
#include <memory>
#include <vector>

namespace vesksim {

struct SBody;

class CRABMedium {
public:
  // The grid covers the arena's floor [c_min, c_max].
  CRABMedium(const CVector2 &c_min, const CVector2 &c_max);

  // Replaces every receiver's readings by the packets of the senders in
  // range, in the order the senders were added to the world. The payload
  // is what each sender's radio holds now, that is what its controller set
  // in the previous step (or in Init).
  void Deliver(std::vector<std::unique_ptr<SBody>> &vec_bodies);

  // How many packets the last Deliver handed out.
  size_t GetDelivered() const { return m_unDelivered; }

private:
  CVector2 m_cMin, m_cMax;
  std::unique_ptr<CSpatialGrid> m_pcGrid;
  Real m_fGridCell = 0;
  std::vector<uint32_t> m_vecSenders;
  size_t m_unDelivered = 0;
};

} // namespace vesksim

#endif
