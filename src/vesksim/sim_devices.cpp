// The extended foot-bot's devices in the headless world.
#include "sim_devices.h"
#if defined(VESKSIM_WITH_EFOOTBOT)
#include "extensions/standin_efootbot_devices.h"
#include "sim/standin_robot.h"
#endif

namespace vesksim {

#if defined(VESKSIM_WITH_EFOOTBOT)

namespace {

// The extension's battery with its own per-step model switched off: the
// world sets the charge from its battery model instead.
class CWorldBattery : public argos::standin::CEFootBotBatterySensor {
public:
  void Update() override {}
};

template <typename T> T *Find(argos::CCI_Controller &c_controller, const char *pch_name) {
  auto &tSensors = c_controller.GetAllSensors();
  auto it = tSensors.find(pch_name);
  return it == tSensors.end() ? nullptr : dynamic_cast<T *>(it->second);
}

} // namespace

void RegisterWorldDevices() {
  static const bool bDone = [] {
    argos::standin::RegisterEFootBotDevices();
    argos::standin::CDeviceRegistry::RegisterSensor(
        "battery",
        [](const argos::standin::SDeviceContext &) { return new CWorldBattery; });
    return true;
  }();
  (void)bDone;
}

argos::CCI_Sensor *FindExtProximity(argos::CCI_Controller &c_controller) {
  return Find<argos::standin::CEFootBotProximitySensor>(c_controller,
                                                        "efootbot_proximity");
}

argos::CCI_Sensor *FindExtBattery(argos::CCI_Controller &c_controller) {
  return Find<CWorldBattery>(c_controller, "battery");
}

void ShowExtProximity(argos::CCI_Sensor *pc_sensor,
                      const std::vector<argos::Real> &vec_values) {
  static_cast<argos::standin::CEFootBotProximitySensor *>(pc_sensor)->SetValues(
      vec_values);
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

#else

void RegisterWorldDevices() {}
argos::CCI_Sensor *FindExtProximity(argos::CCI_Controller &) {
  return nullptr;
}
argos::CCI_Sensor *FindExtBattery(argos::CCI_Controller &) {
  return nullptr;
}
void ShowExtProximity(argos::CCI_Sensor *, const std::vector<argos::Real> &) {}
argos::Real ExtBatteryInitialCharge(argos::CCI_Sensor *) {
  return 1;
}
void ReadExtBatterySwitches(argos::CCI_Sensor *, SBattery &) {}
void ShowExtBattery(argos::CCI_Sensor *, const SBattery &) {}

#endif

} // namespace vesksim
