/*
 * The foot-bot's proximity ring and the colour-blob camera, computed from
 * the world's geometry.
 */
#ifndef VESKSIM_SENSORS_H
#define VESKSIM_SENSORS_H

#include "sim_body.h"
#include "sim_grid.h"
#include <argos3/plugins/robots/generic/control_interface/ci_colored_blob_perspective_camera_sensor.h>
#include <vector>

namespace vesksim {

// Proximity ring: 24 rays from the body's rim at the sensor's angles, each
// seeing up to PROXIMITY_RANGE metres; a reading is 0 when nothing is in
// range and 0.01 / distance otherwise, capped at 1 (touching).
constexpr Real PROXIMITY_RANGE = 0.1;

// The 24 readings of s_body, seeing the obstacles and the other foot-bots
// (found through c_ground, which holds the foot-bots by floor position).
std::vector<Real> ProximityReadings(const SBody &s_body, uint32_t un_index,
                                    const std::vector<std::unique_ptr<SBody>> &vec_bodies,
                                    const CSpatialGrid &c_ground,
                                    const std::vector<SWall> &vec_obstacles);

// Camera: a pinhole looking straight ahead from the robot's position,
// CAMERA_WIDTH x CAMERA_HEIGHT pixels, horizontal half-aperture
// CAMERA_HALF_APERTURE, seeing lit LEDs up to CAMERA_RANGE metres away.
constexpr int CAMERA_WIDTH = 640;
constexpr int CAMERA_HEIGHT = 480;
constexpr Real CAMERA_HALF_APERTURE = 30.0 * 3.14159265358979323846 / 180.0;
constexpr Real CAMERA_RANGE = 10.0;
// Where a foot-bot's LEDs are: the ring's twelve around the rim at
// LED_RING_HEIGHT, one every 30 degrees from the front, then the beacon on
// top at LED_BEACON_HEIGHT.
constexpr Real LED_RING_HEIGHT = 0.1;
constexpr Real LED_BEACON_HEIGHT = 0.25;

// The blobs that s_camera's camera sees: one per lit (not black) LED of
// another robot in its field of view, robot by robot, LED by LED.
std::vector<argos::CCI_ColoredBlobPerspectiveCameraSensor::SBlob>
CameraBlobs(const SBody &s_camera, const std::vector<std::unique_ptr<SBody>> &vec_bodies);

} // namespace vesksim

#endif
