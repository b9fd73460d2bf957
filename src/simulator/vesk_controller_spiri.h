/*
 * CVeskControllerSpiri: the Vesk controller of the ARGoS spiri quad-rotor
 * (label "vesk_controller_spiri"). With the "quadrotor_position" actuator
 * scripts get `goto(x, y)` (a small horizontal step in the body frame) and
 * `rotate(angle)` (relative yaw, radians), with it and the "positioning"
 * sensor `takeoff()` and `land()`, with the
 * "colored_blob_perspective_camera" `camera_enable()` and
 * `camera_disable()`. Tables refreshed every step: `position` {x, y, z} and
 * `orientation` {yaw, pitch, roll} (positioning), `blobs` (camera): at key i
 * {px, py, color = {red, green, blue}}.
 */
#ifndef VESK_CONTROLLER_SPIRI_H
#define VESK_CONTROLLER_SPIRI_H

#include <argos3/core/utility/math/angles.h>
#include <argos3/core/utility/math/vector3.h>
#include <argos3/plugins/robots/generic/control_interface/ci_colored_blob_perspective_camera_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_positioning_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_quadrotor_position_actuator.h>

#include "vesk_controller.h"

class CVeskControllerSpiri : public CVeskController {
public:
  /* Target altitudes of TakeOff and Land, metres. */
  static constexpr double FLIGHT_ALTITUDE = 2.0;
  static constexpr double GROUND_ALTITUDE = 0.0;
  /* Arrival test of TakeOff/Land and squared-length limit of SetDirection. */
  static constexpr float TOLERANCE = 0.01f;
  /* Length a longer displacement is cut to by SetDirection, metres. */
  static constexpr double STEP_LENGTH = 0.01;

  CVeskControllerSpiri();
  void Init(argos::TConfigurationNode &t_node) override;
  void UpdateSensors() override;
  int RegisterFunctions() override;

  /* Fly to FLIGHT_ALTITUDE (resp. GROUND_ALTITUDE) above the current x, y;
     false, and no command, when already there. Need the actuator and the
     positioning sensor. */
  bool TakeOff();
  bool Land();
  /* Relative displacement in the body frame; one of squared length above
     TOLERANCE is cut to STEP_LENGTH. */
  void SetDirection(const argos::CVector3 &c_direction);
  /* Relative yaw change. */
  void SetYaw(const argos::CRadians &c_yaw);
  void CameraEnable();
  void CameraDisable();

  /* Natives (static members: their names are shared with other robots'). */
  static int VeskTakeOff(veskvm_t t_vm);
  static int VeskLand(veskvm_t t_vm);
  static int VeskGoTo(veskvm_t t_vm);
  static int VeskRotate(veskvm_t t_vm);
  static int VeskCameraEnable(veskvm_t t_vm);
  static int VeskCameraDisable(veskvm_t t_vm);

protected:
  bool FlyToAltitude(double f_altitude);

  argos::CCI_QuadRotorPositionActuator *m_pcPropellers;
  argos::CCI_ColoredBlobPerspectiveCameraSensor *m_pcCamera;
  argos::CCI_PositioningSensor *m_pcPosition;
};

#endif
