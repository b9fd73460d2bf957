/*
 * Simulated robot devices of the headless world. Each implements one ARGoS
 * control interface and adds what the world and tests need to set its
 * readings or read what the controller commanded. Controller code uses only
 * the argos::CCI_* interfaces, so the same controllers run here and in ARGoS.
 */
#ifndef VESKSIM_ROBOT_DEVICES_H
#define VESKSIM_ROBOT_DEVICES_H

#include <argos3/core/utility/math/quaternion.h>
#include <argos3/plugins/robots/foot-bot/control_interface/ci_footbot_proximity_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_battery_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_colored_blob_perspective_camera_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_leds_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_positioning_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_quadrotor_position_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_sensor.h>
#include <vector>

namespace vesksim {

using namespace argos;

// Where a robot is. The harness owns one per robot; devices that depend on
// the robot's pose read it through a pointer.
struct SPose {
  CVector3 Position;       // metres, world frame
  CQuaternion Orientation; // yaw = rotation about Z
  CRadians Yaw() const;
};

// Sensors whose readings are refreshed once per step, before the
// controller's step, by the harness (or by a test calling Update()).
class CUpdatableSensor {
public:
  virtual ~CUpdatableSensor() {}
  virtual void Update() = 0;
};

class CRangeAndBearingActuator : public CCI_RangeAndBearingActuator {
public:
  // The payload starts as un_payload_size zero bytes (ARGoS default: 10).
  explicit CRangeAndBearingActuator(size_t un_payload_size = 10);
  // The payload that would go out now.
  const CByteArray &GetData() const { return m_cData; }
  void Reset() override { ClearData(); }
};

class CRangeAndBearingSensor : public CCI_RangeAndBearingSensor {
public:
  void SetReadings(const TReadings &t_readings) { m_tReadings = t_readings; }
  // Appends one packet: range in cm, bearings in radians.
  void AddReading(Real f_range_cm, const CRadians &c_horizontal,
                  const CRadians &c_vertical, const CByteArray &c_data);
  void ClearReadings() { m_tReadings.clear(); }
  void Reset() override { ClearReadings(); }
};

class CDifferentialSteeringActuator : public CCI_DifferentialSteeringActuator {
public:
  // Standing still (ARGoS leaves the speeds of its interface unset).
  CDifferentialSteeringActuator() { Reset(); }
  void SetLinearVelocity(Real f_left_velocity, Real f_right_velocity) override;
  Real GetLeftVelocity() const { return m_fCurrentVelocity[0]; }
  Real GetRightVelocity() const { return m_fCurrentVelocity[1]; }
  // How many times the controller set the speeds.
  size_t GetCommandCount() const { return m_unCommands; }
  void Reset() override;

private:
  size_t m_unCommands = 0;
};

class CLEDsActuator : public CCI_LEDsActuator {
public:
  // All LEDs start black (ARGoS foot-bot: 13 LEDs).
  explicit CLEDsActuator(size_t un_num_leds = 13);
  const TSettings &GetSettings() const { return m_tSettings; }
  void Reset() override { SetAllColors(CColor::BLACK); }
};

class CFootBotProximitySensor : public CCI_FootBotProximitySensor {
public:
  // Both throw CARGoSException for a bad index or a count other than 24.
  void SetValue(size_t un_index, Real f_value);
  void SetValues(const std::vector<Real> &vec_values);
  void Reset() override;
};

// Reads the pose it is bound to at every Update(), or holds what SetReading
// put in when unbound.
class CPositioningSensor : public CCI_PositioningSensor, public CUpdatableSensor {
public:
  explicit CPositioningSensor(const SPose *ps_pose = nullptr);
  void SetReading(const CVector3 &c_position, const CQuaternion &c_orientation);
  void Update() override;

private:
  const SPose *m_psPose;
};

// Keeps the flight target like the simulator's default implementation:
// relative commands start from the pose it is bound to (the origin when
// unbound). Every command is also recorded for tests.
class CQuadRotorPositionActuator : public CCI_QuadRotorPositionActuator {
public:
  enum class ECommand {
    ABSOLUTE_POSITION,
    RELATIVE_POSITION,
    ABSOLUTE_YAW,
    RELATIVE_YAW
  };
  struct SCommand {
    ECommand Type;
    CVector3 Position; // the argument of a position command
    CRadians Yaw;      // the argument of a yaw command
  };

  explicit CQuadRotorPositionActuator(const SPose *ps_pose = nullptr);
  void SetAbsolutePosition(const CVector3 &c_pos) override;
  void SetRelativePosition(const CVector3 &c_pos) override;
  void SetAbsoluteYaw(const CRadians &c_yaw) override;
  void SetRelativeYaw(const CRadians &c_yaw) override;
  // Target = current pose.
  void Reset() override;

  const CVector3 &GetTargetPosition() const { return m_cTargetPosition; }
  const CRadians &GetTargetYaw() const { return m_cTargetYaw; }
  const std::vector<SCommand> &GetCommands() const { return m_vecCommands; }
  void ClearCommands() { m_vecCommands.clear(); }

private:
  SPose CurrentPose() const;

  const SPose *m_psPose;
  CVector3 m_cTargetPosition;
  CRadians m_cTargetYaw;
  std::vector<SCommand> m_vecCommands;
};

// Starts disabled. Update() copies the blobs set with SetVisibleBlobs into
// the readings and counts, but only while enabled.
class CColoredBlobPerspectiveCameraSensor : public CCI_ColoredBlobPerspectiveCameraSensor,
                                            public CUpdatableSensor {
public:
  ~CColoredBlobPerspectiveCameraSensor() override;
  void SetVisibleBlobs(const std::vector<SBlob> &vec_blobs) { m_vecVisible = vec_blobs; }
  void Update() override;
  // Empties the blob list and zeroes the counter.
  void Reset() override;

private:
  void ClearBlobs();

  std::vector<SBlob> m_vecVisible;
};

class CBatterySensor : public CCI_BatterySensor {
public:
  void SetReading(Real f_available_charge, Real f_time_left) {
    m_sReading.AvailableCharge = f_available_charge;
    m_sReading.TimeLeft = f_time_left;
  }
};

} // namespace vesksim

#endif
