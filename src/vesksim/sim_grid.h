/*
 * Uniform spatial grid over the arena floor: each cell lists the robots
 * whose centre lies in it, so neighbour, contact and radio queries visit the
 * few cells around a point instead of every robot.
 */
#ifndef VESKSIM_GRID_H
#define VESKSIM_GRID_H

#include <argos3/core/utility/math/vector2.h>
#include <cstdint>
#include <vector>

namespace vesksim {

using argos::CVector2;
using argos::Real;

class CSpatialGrid {
public:
  // Covers the rectangle [c_min, c_max] with square cells of side f_cell;
  // points outside it go to the nearest border cell.
  CSpatialGrid(const CVector2 &c_min, const CVector2 &c_max, Real f_cell);

  void Clear();
  void Insert(uint32_t un_item, const CVector2 &c_at);
  // Moves an item inserted at c_from to c_to.
  void Move(uint32_t un_item, const CVector2 &c_from, const CVector2 &c_to);

  // Calls t_visit(item) for every item in the cells that the square of
  // half-side f_radius around c_at touches: a superset of the items within
  // f_radius, which the caller filters by exact distance.
  template <typename F>
  void ForEachNear(const CVector2 &c_at, Real f_radius, F t_visit) const {
    const int nX0 = CellX(c_at.GetX() - f_radius), nX1 = CellX(c_at.GetX() + f_radius);
    const int nY0 = CellY(c_at.GetY() - f_radius), nY1 = CellY(c_at.GetY() + f_radius);
    for (int nY = nY0; nY <= nY1; ++nY)
      for (int nX = nX0; nX <= nX1; ++nX)
        for (uint32_t unItem : m_vecCells[nY * m_nCellsX + nX])
          t_visit(unItem);
  }

private:
  int CellX(Real f_x) const;
  int CellY(Real f_y) const;
  std::vector<uint32_t> &CellAt(const CVector2 &c_at);

  CVector2 m_cMin;
  Real m_fCell;
  int m_nCellsX, m_nCellsY;
  std::vector<std::vector<uint32_t>> m_vecCells;
};

} // namespace vesksim

#endif
