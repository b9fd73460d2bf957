/*
 * Uniform spatial grid over the arena floor.
 */
#include "sim_grid.h"
#include <algorithm>
#include <cmath>

namespace vesksim {

namespace {

// Cells per axis, at least one, and bounded so that a huge arena with a tiny
// cell cannot exhaust memory: the cells then grow instead.
constexpr int MAX_CELLS_PER_AXIS = 2048;

int CellCount(Real f_extent, Real f_cell) {
  const Real fCount = std::ceil(std::max(f_extent, 0.0) / f_cell);
  return static_cast<int>(std::clamp(fCount, 1.0, Real(MAX_CELLS_PER_AXIS)));
}

} // namespace

CSpatialGrid::CSpatialGrid(const CVector2 &c_min, const CVector2 &c_max, Real f_cell)
    : m_cMin(c_min) {
  const Real fWidth = c_max.GetX() - c_min.GetX();
  const Real fDepth = c_max.GetY() - c_min.GetY();
  m_fCell = std::max(f_cell, 1e-3);
  m_fCell = std::max({m_fCell, fWidth / MAX_CELLS_PER_AXIS, fDepth / MAX_CELLS_PER_AXIS});
  m_nCellsX = CellCount(fWidth, m_fCell);
  m_nCellsY = CellCount(fDepth, m_fCell);
  m_vecCells.resize(static_cast<size_t>(m_nCellsX) * m_nCellsY);
}

int CSpatialGrid::CellX(Real f_x) const {
  const Real fCell = std::floor((f_x - m_cMin.GetX()) / m_fCell);
  return static_cast<int>(std::clamp(fCell, 0.0, Real(m_nCellsX - 1)));
}

int CSpatialGrid::CellY(Real f_y) const {
  const Real fCell = std::floor((f_y - m_cMin.GetY()) / m_fCell);
  return static_cast<int>(std::clamp(fCell, 0.0, Real(m_nCellsY - 1)));
}

std::vector<uint32_t> &CSpatialGrid::CellAt(const CVector2 &c_at) {
  return m_vecCells[CellY(c_at.GetY()) * m_nCellsX + CellX(c_at.GetX())];
}

void CSpatialGrid::Clear() {
  for (std::vector<uint32_t> &vecCell : m_vecCells)
    vecCell.clear();
}

void CSpatialGrid::Insert(uint32_t un_item, const CVector2 &c_at) {
  CellAt(c_at).push_back(un_item);
}

void CSpatialGrid::Move(uint32_t un_item, const CVector2 &c_from, const CVector2 &c_to) {
  std::vector<uint32_t> &vecFrom = CellAt(c_from);
  std::vector<uint32_t> &vecTo = CellAt(c_to);
  if (&vecFrom == &vecTo) return;
  // Order inside a cell is kept so that queries stay deterministic.
  auto itItem = std::find(vecFrom.begin(), vecFrom.end(), un_item);
  if (itItem != vecFrom.end()) vecFrom.erase(itItem);
  vecTo.push_back(un_item);
}

} // namespace vesksim
