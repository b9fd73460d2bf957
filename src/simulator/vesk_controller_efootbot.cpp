/*
 * The extended foot-bot controller: the foot-bot's natives plus the
 * battery's state of charge and charging and processing commands.
 */
#include "vesk_controller_efootbot.h"

#include <argos3/core/utility/logging/argos_log.h>

using namespace argos;

namespace {

/* Natives that forward to one battery command; no arguments are read. */
template <void (CVeskControllerEFootBot::*COMMAND)()> int BatteryCommand(veskvm_t t_vm) {
  CVeskControllerEFootBot *pcController = VeskControllerAs<CVeskControllerEFootBot>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  (pcController->*COMMAND)();
  return veskvm_ret0(t_vm);
}

/* The goto native of this controller. */
int VeskGoToFb(veskvm_t t_vm) {
  return VeskGroundGoTo<CVeskControllerEFootBot>(t_vm);
}

} // namespace

CVeskControllerEFootBot::CVeskControllerEFootBot()
    : m_pcWheels(nullptr), m_pcLEDs(nullptr), m_pcProximity(nullptr),
      m_pcBattery(nullptr) {}

void CVeskControllerEFootBot::Init(TConfigurationNode &t_node) {
  VeskInitWheels(*this, t_node, m_pcWheels, m_sWheelTurningParams);
  m_pcLEDs = GetOptionalActuator<CCI_LEDsActuator>("leds");
  m_pcProximity = GetOptionalSensor<CCI_EFootBotProximitySensor>("efootbot_proximity");
  m_pcBattery = GetOptionalSensor<CCI_EFootBotBatterySensor>("battery");
  try {
    CVeskController::Init(t_node);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error initializing the Vesk controller for the foot-bot",
                                ex);
  }
}

int CVeskControllerEFootBot::RegisterFunctions() {
  CVeskController::RegisterFunctions();
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  Register("robot_type", ROBOT_TYPE);
  if (m_pcWheels) {
    RegisterNative("set_wheels", VeskSetWheelsFb);
    RegisterNative("goto", VeskGoToFb);
  }
  if (m_pcLEDs) RegisterNative("setleds", VeskSetLEDsFb);
  if (m_pcBattery) {
    RegisterNative("start_charging", VeskStartCharging);
    RegisterNative("stop_charging", VeskStopCharging);
    RegisterNative("start_processing", VeskStartProcessing);
    RegisterNative("stop_processing", VeskStopProcessing);
  }
  return m_tVeskVM->state;
}

void CVeskControllerEFootBot::UpdateSensors() {
  CVeskController::UpdateSensors();
  if (m_tVeskVM == nullptr) return;
  if (m_pcBattery) Register("soc", static_cast<double>(m_pcBattery->GetSoc()));
  if (m_pcProximity) VeskPutProximity(*this, m_pcProximity->GetReadings());
}

void CVeskControllerEFootBot::SetWheelSpeedsFromVector(const CVector2 &c_heading) {
  Real fLeft, fRight;
  m_sWheelTurningParams.WheelSpeeds(c_heading, fLeft, fRight);
  if (m_pcWheels) m_pcWheels->SetLinearVelocity(fLeft, fRight);
}

void CVeskControllerEFootBot::SetWheels(double f_left, double f_right) {
  VeskTraceWheels(f_left, f_right);
  if (m_pcWheels) m_pcWheels->SetLinearVelocity(f_left, f_right);
}

void CVeskControllerEFootBot::SetLEDs(const CColor &c_color) {
  if (m_pcLEDs) m_pcLEDs->SetAllColors(c_color);
}

void CVeskControllerEFootBot::StartCharging() {
  if (m_pcBattery) m_pcBattery->StartCharging();
}
void CVeskControllerEFootBot::StopCharging() {
  if (m_pcBattery) m_pcBattery->StopCharging();
}
void CVeskControllerEFootBot::StartProcessing() {
  if (m_pcBattery) m_pcBattery->StartProcessing();
}
void CVeskControllerEFootBot::StopProcessing() {
  if (m_pcBattery) m_pcBattery->StopProcessing();
}

int VeskSetWheelsFb(veskvm_t t_vm) {
  return VeskGroundSetWheels<CVeskControllerEFootBot>(t_vm);
}
int VeskSetLEDsFb(veskvm_t t_vm) {
  return VeskGroundSetLEDs<CVeskControllerEFootBot>(t_vm);
}
int VeskStartCharging(veskvm_t t_vm) {
  return BatteryCommand<&CVeskControllerEFootBot::StartCharging>(t_vm);
}
int VeskStopCharging(veskvm_t t_vm) {
  return BatteryCommand<&CVeskControllerEFootBot::StopCharging>(t_vm);
}
int VeskStartProcessing(veskvm_t t_vm) {
  return BatteryCommand<&CVeskControllerEFootBot::StartProcessing>(t_vm);
}
int VeskStopProcessing(veskvm_t t_vm) {
  return BatteryCommand<&CVeskControllerEFootBot::StopProcessing>(t_vm);
}

REGISTER_CONTROLLER(CVeskControllerEFootBot, "vesk_controller_efootbot")
