/*
 * Range-and-bearing medium of the headless world.
 */
#include "sim_medium.h"
#include "sim_body.h"
#include <algorithm>
#include <cmath>

namespace vesksim {

namespace {

// Smallest grid cell the medium uses: short ranges would otherwise make
// cells so small that a query visits many empty ones.
constexpr Real MIN_CELL = 0.5;

} // namespace

CRABMedium::CRABMedium(const CVector2 &c_min, const CVector2 &c_max)
    : m_cMin(c_min), m_cMax(c_max) {}

void CRABMedium::Deliver(std::vector<std::unique_ptr<SBody>> &vec_bodies) {
  m_unDelivered = 0;
  Real fMaxRange = 0;
  for (const std::unique_ptr<SBody> &pcBody : vec_bodies)
    if (pcBody->RABOut != nullptr) fMaxRange = std::max(fMaxRange, pcBody->Spec.RABRange);
  const Real fCell = std::max(fMaxRange, MIN_CELL);
  if (!m_pcGrid || fCell != m_fGridCell) {
    m_pcGrid = std::make_unique<CSpatialGrid>(m_cMin, m_cMax, fCell);
    m_fGridCell = fCell;
  }
  m_pcGrid->Clear();
  for (uint32_t i = 0; i < vec_bodies.size(); ++i)
    if (vec_bodies[i]->RABOut != nullptr) m_pcGrid->Insert(i, vec_bodies[i]->Floor());

  for (uint32_t unReceiver = 0; unReceiver < vec_bodies.size(); ++unReceiver) {
    SBody &sReceiver = *vec_bodies[unReceiver];
    if (sReceiver.RABIn == nullptr) continue;
    sReceiver.RABIn->ClearReadings();
    const argos::CVector3 &cHere = sReceiver.Position();
    m_vecSenders.clear();
    m_pcGrid->ForEachNear(sReceiver.Floor(), fMaxRange, [&](uint32_t un_sender) {
      if (un_sender == unReceiver) return;
      const SBody &sSender = *vec_bodies[un_sender];
      if ((sSender.Position() - cHere).SquareLength() <=
          sSender.Spec.RABRange * sSender.Spec.RABRange)
        m_vecSenders.push_back(un_sender);
    });
    std::sort(m_vecSenders.begin(), m_vecSenders.end());
    const Real fCos = std::cos(sReceiver.Yaw), fSin = std::sin(sReceiver.Yaw);
    for (uint32_t unSender : m_vecSenders) {
      const SBody &sSender = *vec_bodies[unSender];
      const argos::CVector3 cOffset = sSender.Position() - cHere;
      // The sender in the receiver's frame: x ahead, y to the left.
      const Real fX = cOffset.GetX() * fCos + cOffset.GetY() * fSin;
      const Real fY = -cOffset.GetX() * fSin + cOffset.GetY() * fCos;
      const Real fHorizontal = std::hypot(fX, fY);
      sReceiver.RABIn->AddReading(cOffset.Length() * 100.0, argos::ATan2(fY, fX),
                                  argos::ATan2(cOffset.GetZ(), fHorizontal),
                                  sSender.RABOut->GetData());
    }
    m_unDelivered += m_vecSenders.size();
  }
}

} // namespace vesksim
