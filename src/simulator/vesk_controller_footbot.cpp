/*
 * The foot-bot controller: wheels, LEDs and proximity ring for scripts.
 */
#include "vesk_controller_footbot.h"

using namespace argos;

CVeskControllerFootBot::CVeskControllerFootBot()
    : m_pcWheels(nullptr), m_pcLEDs(nullptr), m_pcProximity(nullptr) {}

void CVeskControllerFootBot::Init(TConfigurationNode &t_node) {
  VeskInitWheels(*this, t_node, m_pcWheels, m_sWheelTurningParams);
  m_pcLEDs = GetOptionalActuator<CCI_LEDsActuator>("leds");
  m_pcProximity = GetOptionalSensor<CCI_FootBotProximitySensor>("footbot_proximity");
  try {
    CVeskController::Init(t_node);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error initializing the Vesk controller for the foot-bot",
                                ex);
  }
}

int CVeskControllerFootBot::RegisterFunctions() {
  CVeskController::RegisterFunctions();
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  if (m_pcWheels) {
    RegisterNative("set_wheels", VeskSetWheels);
    RegisterNative("goto", VeskGoTo);
  }
  if (m_pcLEDs) RegisterNative("setleds", VeskSetLEDs);
  return m_tVeskVM->state;
}

void CVeskControllerFootBot::UpdateSensors() {
  CVeskController::UpdateSensors();
  if (m_pcProximity && m_tVeskVM) VeskPutProximity(*this, m_pcProximity->GetReadings());
}

void CVeskControllerFootBot::SetWheelSpeedsFromVector(const CVector2 &c_heading) {
  Real fLeft, fRight;
  m_sWheelTurningParams.WheelSpeeds(c_heading, fLeft, fRight);
  if (m_pcWheels) m_pcWheels->SetLinearVelocity(fLeft, fRight);
}

void CVeskControllerFootBot::SetWheels(double f_left, double f_right) {
  if (m_pcWheels) m_pcWheels->SetLinearVelocity(f_left, f_right);
}

void CVeskControllerFootBot::SetLEDs(const CColor &c_color) {
  if (m_pcLEDs) m_pcLEDs->SetAllColors(c_color);
}

int VeskSetWheels(veskvm_t t_vm) {
  return VeskGroundSetWheels<CVeskControllerFootBot>(t_vm);
}

int VeskGoTo(veskvm_t t_vm) {
  return VeskGroundGoTo<CVeskControllerFootBot>(t_vm);
}

int VeskSetLEDs(veskvm_t t_vm) {
  return VeskGroundSetLEDs<CVeskControllerFootBot>(t_vm);
}

REGISTER_CONTROLLER(CVeskControllerFootBot, "vesk_controller_footbot")
