/*
 * Headless harness for one robot: builds a controller the way the
 * simulator does (by label, with the sensors and actuators its XML
 * configuration lists) and drives its life cycle. Tests reach the simulated
 * devices through it to set readings and read commands.
 */
#ifndef VESKSIM_ROBOT_H
#define VESKSIM_ROBOT_H

#include "sim_robot_devices.h"

#include <argos3/core/control_interface/ci_controller.h>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace vesksim {

// Per-robot settings the simulator takes from the robot entity.
struct SRobotSettings {
  size_t RABDataSize = 10; // rab_data_size
  Real RABRange = 3;       // rab_range, metres: how far this robot's packets reach
  size_t NumLEDs = 13;     // a foot-bot's LED count
};

// What a device creator gets to build a device for one robot.
struct SDeviceContext {
  const SRobotSettings &Settings;
  const SPose &Pose;
};

// Creators of devices by their XML tag. The devices of the foot-bot and the
// spiri are entered at start; tests may add more (e.g. extension devices).
class CDeviceRegistry {
public:
  typedef std::function<CCI_Actuator *(const SDeviceContext &)> TActuatorCreator;
  typedef std::function<CCI_Sensor *(const SDeviceContext &)> TSensorCreator;

  static void RegisterActuator(const std::string &str_tag, TActuatorCreator t_creator);
  static void RegisterSensor(const std::string &str_tag, TSensorCreator t_creator);
  // Both throw 'Symbol "<tag>" not found' for an unknown tag.
  static CCI_Actuator *NewActuator(const std::string &str_tag,
                                   const SDeviceContext &s_context);
  static CCI_Sensor *NewSensor(const std::string &str_tag,
                               const SDeviceContext &s_context);
};

class CRobot {
public:
  // t_controller_config is a controller definition such as
  //   <vesk_controller_footbot id="fbc"><actuators>...</actuators>
  //     <sensors>...</sensors><params .../></vesk_controller_footbot>
  // whose tag is the registration label. The controller is created, given
  // str_id, its devices are created and initialised from their XML nodes,
  // then the controller's Init gets <params>. Any failure throws
  // CARGoSException and leaves nothing behind.
  CRobot(const std::string &str_id, TConfigurationNode &t_controller_config,
         const SRobotSettings &s_settings = SRobotSettings(),
         const SPose &s_pose = SPose());
  // Destroy()s the robot first if that has not happened yet.
  ~CRobot();
  CRobot(const CRobot &) = delete;
  CRobot &operator=(const CRobot &) = delete;

  // Refreshes the updatable sensors, then runs ControlStep().
  void Step();
  // Back to the initial pose; then sensors, actuators and the controller
  // are Reset.
  void Reset();
  // Destroy() on every sensor, actuator and the controller; once only.
  void Destroy();

  const std::string &GetId() const { return m_pcController->GetId(); }
  CCI_Controller &GetController() { return *m_pcController; }
  SPose &GetPose() { return m_sPose; }
  const SRobotSettings &GetSettings() const { return m_sSettings; }

  // The device configured under str_name as the given simulated type;
  // throws CARGoSException when it is missing or of another type.
  template <typename T> T &Actuator(const std::string &str_name) {
    return *m_pcController->GetActuator<T>(str_name);
  }
  template <typename T> T &Sensor(const std::string &str_name) {
    return *m_pcController->GetSensor<T>(str_name);
  }
  bool HasActuator(const std::string &str_name) const {
    return m_pcController->HasActuator(str_name);
  }
  bool HasSensor(const std::string &str_name) const {
    return m_pcController->HasSensor(str_name);
  }

private:
  void AddDevices(TConfigurationNode &t_config);

  SRobotSettings m_sSettings;
  SPose m_sInitialPose;
  SPose m_sPose; // before the controller: devices keep pointers to it
  std::unique_ptr<CCI_Controller> m_pcController;
  bool m_bDestroyed = false;
};

} // namespace vesksim

#endif
