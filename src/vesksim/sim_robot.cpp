/*
 * The headless world's robot harness: controllers built and driven as the
 * simulator does it.
 */
#include "sim_robot.h"

namespace vesksim {

namespace {

struct SRegistry {
  std::map<std::string, CDeviceRegistry::TActuatorCreator> Actuators;
  std::map<std::string, CDeviceRegistry::TSensorCreator> Sensors;
};

SRegistry &Registry() {
  static SRegistry sRegistry = [] {
    SRegistry sNew;
    sNew.Actuators["range_and_bearing"] = [](const SDeviceContext &s) {
      return new CRangeAndBearingActuator(s.Settings.RABDataSize);
    };
    sNew.Actuators["differential_steering"] = [](const SDeviceContext &) {
      return new CDifferentialSteeringActuator;
    };
    sNew.Actuators["leds"] = [](const SDeviceContext &s) {
      return new CLEDsActuator(s.Settings.NumLEDs);
    };
    sNew.Actuators["quadrotor_position"] = [](const SDeviceContext &s) {
      return new CQuadRotorPositionActuator(&s.Pose);
    };
    sNew.Sensors["range_and_bearing"] = [](const SDeviceContext &) {
      return new CRangeAndBearingSensor;
    };
    sNew.Sensors["footbot_proximity"] = [](const SDeviceContext &) {
      return new CFootBotProximitySensor;
    };
    sNew.Sensors["positioning"] = [](const SDeviceContext &s) {
      return new CPositioningSensor(&s.Pose);
    };
    sNew.Sensors["colored_blob_perspective_camera"] = [](const SDeviceContext &) {
      return new CColoredBlobPerspectiveCameraSensor;
    };
    sNew.Sensors["battery"] = [](const SDeviceContext &) { return new CBatterySensor; };
    return sNew;
  }();
  return sRegistry;
}

template <typename MAP>
auto NewDevice(MAP &t_map, const std::string &str_tag, const SDeviceContext &s_context) {
  typename MAP::iterator it = t_map.find(str_tag);
  if (it == t_map.end()) throw CARGoSException("Symbol \"" + str_tag + "\" not found");
  return it->second(s_context);
}

} // namespace

void CDeviceRegistry::RegisterActuator(const std::string &str_tag,
                                       TActuatorCreator t_creator) {
  Registry().Actuators[str_tag] = std::move(t_creator);
}

void CDeviceRegistry::RegisterSensor(const std::string &str_tag,
                                     TSensorCreator t_creator) {
  Registry().Sensors[str_tag] = std::move(t_creator);
}

CCI_Actuator *CDeviceRegistry::NewActuator(const std::string &str_tag,
                                           const SDeviceContext &s_context) {
  return NewDevice(Registry().Actuators, str_tag, s_context);
}

CCI_Sensor *CDeviceRegistry::NewSensor(const std::string &str_tag,
                                       const SDeviceContext &s_context) {
  return NewDevice(Registry().Sensors, str_tag, s_context);
}

CRobot::CRobot(const std::string &str_id, TConfigurationNode &t_controller_config,
               const SRobotSettings &s_settings, const SPose &s_pose)
    : m_sSettings(s_settings), m_sInitialPose(s_pose), m_sPose(s_pose) {
  const std::string strLabel = t_controller_config.Value();
  try {
    m_pcController.reset(CFactory<CCI_Controller>::New(strLabel));
    m_pcController->SetId(str_id);
    AddDevices(t_controller_config);
    m_pcController->Init(GetNode(t_controller_config, "params"));
  } catch (CARGoSException &ex) {
    // The devices already added go with the controller.
    m_pcController.reset();
    THROW_ARGOSEXCEPTION_NESTED("Error creating robot \""
                                    << str_id << "\" with controller \"" << strLabel
                                    << "\"",
                                ex);
  }
}

namespace {

// Creates, configures and adds the devices listed under t_list. A tag listed
// twice is refused: the controller would drop the first device unfreed.
template <class DEVICE, class NEW, class ADD>
void AddEach(TConfigurationNode &t_list, const std::map<std::string, DEVICE *> &map_added,
             NEW fn_new, ADD fn_add) {
  TConfigurationNodeIterator itDevice;
  for (itDevice = itDevice.begin(&t_list); itDevice != itDevice.end(); ++itDevice) {
    const std::string strTag = itDevice->Value();
    if (map_added.count(strTag) != 0)
      THROW_ARGOSEXCEPTION("Device \"" << strTag << "\" is listed twice");
    std::unique_ptr<DEVICE> pcDevice(fn_new(strTag));
    pcDevice->Init(*itDevice);
    fn_add(strTag, pcDevice.release());
  }
}

} // namespace

void CRobot::AddDevices(TConfigurationNode &t_config) {
  const SDeviceContext sContext{m_sSettings, m_sPose};
  CCI_Controller &cController = *m_pcController;
  AddEach(
      GetNode(t_config, "actuators"), cController.GetAllActuators(),
      [&](const std::string &str_tag) {
        return CDeviceRegistry::NewActuator(str_tag, sContext);
      },
      [&](const std::string &str_tag, CCI_Actuator *pc_device) {
        cController.AddActuator(str_tag, pc_device);
      });
  AddEach(
      GetNode(t_config, "sensors"), cController.GetAllSensors(),
      [&](const std::string &str_tag) {
        return CDeviceRegistry::NewSensor(str_tag, sContext);
      },
      [&](const std::string &str_tag, CCI_Sensor *pc_device) {
        cController.AddSensor(str_tag, pc_device);
      });
}

CRobot::~CRobot() {
  // A destructor must not throw: a failing Destroy is only reported.
  try {
    if (m_pcController) Destroy();
  } catch (std::exception &ex) {
    LOGERR << ex.what() << std::endl;
    LOGERR.Flush();
  }
}

void CRobot::Step() {
  for (auto &tEntry : m_pcController->GetAllSensors())
    if (CUpdatableSensor *pcUpdatable = dynamic_cast<CUpdatableSensor *>(tEntry.second))
      pcUpdatable->Update();
  m_pcController->ControlStep();
}

void CRobot::Reset() {
  m_sPose = m_sInitialPose;
  for (auto &tEntry : m_pcController->GetAllSensors())
    tEntry.second->Reset();
  for (auto &tEntry : m_pcController->GetAllActuators())
    tEntry.second->Reset();
  m_pcController->Reset();
}

void CRobot::Destroy() {
  if (m_bDestroyed) return;
  m_bDestroyed = true;
  for (auto &tEntry : m_pcController->GetAllSensors())
    tEntry.second->Destroy();
  for (auto &tEntry : m_pcController->GetAllActuators())
    tEntry.second->Destroy();
  m_pcController->Destroy();
}

} // namespace vesksim
