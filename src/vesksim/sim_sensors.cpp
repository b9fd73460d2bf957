/*
 * Proximity ring and colour-blob camera of the headless world.
 */
#include "sim_sensors.h"
#include <algorithm>
#include <cmath>

namespace vesksim {

namespace {

constexpr int PROXIMITY_RAYS = 24;

Real ReadingAt(Real f_gap) {
  if (f_gap < 0 || f_gap > PROXIMITY_RANGE) return 0;
  return std::min(1.0, 0.01 / std::max(f_gap, 1e-9));
}

// World position of LED un_led of a robot at c_at heading f_yaw.
argos::CVector3 LEDPosition(const argos::CVector3 &c_at, Real f_yaw, Real f_radius,
                            size_t un_led) {
  if (un_led >= 12) return c_at + argos::CVector3(0, 0, LED_BEACON_HEIGHT);
  const Real fAngle = f_yaw + un_led * M_PI / 6;
  return c_at + argos::CVector3(f_radius * std::cos(fAngle), f_radius * std::sin(fAngle),
                                LED_RING_HEIGHT);
}

} // namespace

std::vector<Real> ProximityReadings(const SBody &s_body, uint32_t un_index,
                                    const std::vector<std::unique_ptr<SBody>> &vec_bodies,
                                    const CSpatialGrid &c_ground,
                                    const std::vector<SWall> &vec_obstacles) {
  const CVector2 cCenter = s_body.Floor();
  const Real fReach = s_body.Radius + PROXIMITY_RANGE;
  // Nearby obstacles first, so each ray tests only those.
  std::vector<const SWall *> vecWalls;
  for (const SWall &sWall : vec_obstacles)
    if (SignedDistance(sWall, cCenter) <= fReach) vecWalls.push_back(&sWall);
  std::vector<const SBody *> vecRobots;
  c_ground.ForEachNear(cCenter, fReach + FOOTBOT_RADIUS, [&](uint32_t un_other) {
    const SBody &sOther = *vec_bodies[un_other];
    if (un_other != un_index &&
        (sOther.Floor() - cCenter).Length() <= fReach + sOther.Radius)
      vecRobots.push_back(&sOther);
  });
  std::vector<Real> vecValues(PROXIMITY_RAYS, 0.0);
  if (vecWalls.empty() && vecRobots.empty()) return vecValues;
  for (int i = 0; i < PROXIMITY_RAYS; ++i) {
    const Real fAngle = s_body.Yaw + (i + 0.5) * M_PI / 12;
    const CVector2 cDir(std::cos(fAngle), std::sin(fAngle));
    Real fNearest = -1;
    auto Take = [&](Real f_hit) {
      if (f_hit >= 0 && (fNearest < 0 || f_hit < fNearest)) fNearest = f_hit;
    };
    for (const SWall *psWall : vecWalls)
      Take(RayToWall(*psWall, cCenter, cDir, fReach));
    for (const SBody *psOther : vecRobots)
      Take(RayToDisc(psOther->Floor(), psOther->Radius, cCenter, cDir, fReach));
    // Distances count from the rim, where the sensors sit.
    if (fNearest >= 0) vecValues[i] = ReadingAt(std::max(fNearest - s_body.Radius, 0.0));
  }
  return vecValues;
}

std::vector<argos::CCI_ColoredBlobPerspectiveCameraSensor::SBlob>
CameraBlobs(const SBody &s_camera,
            const std::vector<std::unique_ptr<SBody>> &vec_bodies) {
  std::vector<argos::CCI_ColoredBlobPerspectiveCameraSensor::SBlob> vecBlobs;
  const Real fFocal = (CAMERA_WIDTH / 2.0) / std::tan(CAMERA_HALF_APERTURE);
  const Real fCos = std::cos(s_camera.Yaw), fSin = std::sin(s_camera.Yaw);
  const argos::CVector3 &cEye = s_camera.Position();
  for (const std::unique_ptr<SBody> &pcOther : vec_bodies) {
    if (pcOther.get() == &s_camera) continue;
    for (size_t unLED = 0; unLED < pcOther->ShownLEDs.size(); ++unLED) {
      const argos::CColor &cColor = pcOther->ShownLEDs[unLED];
      if (cColor == argos::CColor::BLACK) continue;
      const argos::CVector3 cOffset =
          LEDPosition(pcOther->Position(), pcOther->Yaw, pcOther->Radius, unLED) - cEye;
      if (cOffset.SquareLength() > CAMERA_RANGE * CAMERA_RANGE) continue;
      const Real fAhead = cOffset.GetX() * fCos + cOffset.GetY() * fSin;
      const Real fLeft = -cOffset.GetX() * fSin + cOffset.GetY() * fCos;
      if (fAhead <= 1e-6) continue;
      const Real fPx = CAMERA_WIDTH / 2.0 - fFocal * fLeft / fAhead;
      const Real fPy = CAMERA_HEIGHT / 2.0 - fFocal * cOffset.GetZ() / fAhead;
      if (fPx < 0 || fPx >= CAMERA_WIDTH || fPy < 0 || fPy >= CAMERA_HEIGHT) continue;
      vecBlobs.emplace_back(cColor, static_cast<argos::SInt32>(fPx),
                            static_cast<argos::SInt32>(fPy));
    }
  }
  return vecBlobs;
}

} // namespace vesksim
