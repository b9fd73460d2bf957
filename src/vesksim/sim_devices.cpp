/*
 * The extended foot-bot's devices in the headless world.
 */
#include "sim_devices.h"
#include "sim_efootbot_devices.h"
#include "sim_robot.h"
#include <string>

namespace vesksim {

namespace {

// The extension's battery. Declared with implementation "efootbot", as
// ARGoS needs it, it runs its own charge model exactly as the ARGoS device
// does; otherwise the world drives it: its charge follows the world's
// battery model, which drains more while the wheels turn.
class CWorldBattery : public CEFootBotBatterySensor {
public:
  void Init(argos::TConfigurationNode &t_node) override {
    std::string strImplementation;
    argos::GetNodeAttributeOrDefault(t_node, "implementation", strImplementation,
                                     std::string());
    m_bWorldDriven = strImplementation != "efootbot";
    CEFootBotBatterySensor::Init(t_node);
  }
  void Update() override {
    if (!m_bWorldDriven) CEFootBotBatterySensor::Update();
  }
  bool IsWorldDriven() const { return m_bWorldDriven; }

private:
  bool m_bWorldDriven = true;
};

template <typename T> T *Find(argos::CCI_Controller &c_controller, const char *pch_name) {
  auto &tSensors = c_controller.GetAllSensors();
  auto it = tSensors.find(pch_name);
  return it == tSensors.end() ? nullptr : dynamic_cast<T *>(it->second);
}

} // namespace

void RegisterWorldDevices() {
  static const bool bDone = [] {
    RegisterEFootBotDevices();
    CDeviceRegistry::RegisterSensor(
        "battery", [](const SDeviceContext &) { return new CWorldBattery; });
    return true;
  }();
  (void)bDone;
}

argos::CCI_Sensor *FindExtProximity(argos::CCI_Controller &c_controller) {
  return Find<CEFootBotProximitySensor>(c_controller, "efootbot_proximity");
}

argos::CCI_Sensor *FindExtBattery(argos::CCI_Controller &c_controller) {
  CWorldBattery *pcBattery = Find<CWorldBattery>(c_controller, "battery");
  return pcBattery != nullptr && pcBattery->IsWorldDriven() ? pcBattery : nullptr;
}

void ShowExtProximity(argos::CCI_Sensor *pc_sensor,
                      const std::vector<argos::Real> &vec_values) {
  static_cast<CEFootBotProximitySensor *>(pc_sensor)->SetValues(vec_values);
}

argos::Real ExtBatteryInitialCharge(argos::CCI_Sensor *pc_sensor) {
  return static_cast<CWorldBattery *>(pc_sensor)->GetSoc();
}

void ReadExtBatterySwitches(argos::CCI_Sensor *pc_sensor, SBattery &s_battery) {
  const CWorldBattery *pcBattery = static_cast<CWorldBattery *>(pc_sensor);
  s_battery.Charging = pcBattery->IsCharging();
  s_battery.Processing = pcBattery->IsProcessing();
}

void ShowExtBattery(argos::CCI_Sensor *pc_sensor, const SBattery &s_battery) {
  static_cast<CWorldBattery *>(pc_sensor)->SetSoc(s_battery.Charge);
}

} // namespace vesksim
