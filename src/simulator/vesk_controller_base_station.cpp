/*
 * The base station controller: optional wheels, ignored ground-robot
 * commands, and the graph natives.
 */
#include "vesk_controller_base_station.h"

#include <argos3/core/utility/logging/argos_log.h>

#include <cstdio>

#include "graph_vesk/graph_operations.h"

using namespace argos;

namespace {

/* Returns a text to the script as an (unprotected) string. */
int ReturnText(veskvm_t t_vm, const std::string &str_text) {
  veskvm_pushstr(t_vm, str_text.c_str(), 0);
  return veskvm_ret1(t_vm);
}

} // namespace

CVeskControllerBaseStation::CVeskControllerBaseStation() : m_pcWheels(nullptr) {}

void CVeskControllerBaseStation::Init(TConfigurationNode &t_node) {
  VeskInitWheels(*this, t_node, m_pcWheels, m_sWheelTurningParams);
  try {
    CVeskController::Init(t_node);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error initializing the Vesk controller for the foot-bot",
                                ex);
  }
}

void CVeskControllerBaseStation::UpdateSensors() {
  CVeskController::UpdateSensors();
}

int CVeskControllerBaseStation::RegisterFunctions() {
  CVeskController::RegisterFunctions();
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  Register("robot_type", ROBOT_TYPE);
  if (m_pcWheels) RegisterNative("set_wheels_base_station", VeskSetWheelsBs);
  RegisterNative("setleds", VeskSetLEDsBs);
  RegisterNative("goto", VeskGoToBs);
  RegisterNative("start_charging", VeskStartChargingBs);
  RegisterNative("stop_charging", VeskStopChargingBs);
  RegisterNative("start_processing", VeskStartProcessingBs);
  RegisterNative("stop_processing", VeskStopProcessingBs);
  RegisterNative("generate_tree", VeskGenerateTree);
  RegisterNative("generate_forest", VeskCreateBalancedForest);
  return m_tVeskVM->state;
}

void CVeskControllerBaseStation::SetWheelSpeedsFromVector(const CVector2 &c_heading) {
  if (m_pcWheels == nullptr) return;
  Real fLeft, fRight;
  m_sWheelTurningParams.WheelSpeeds(c_heading, fLeft, fRight);
  m_pcWheels->SetLinearVelocity(fLeft, fRight);
}

void CVeskControllerBaseStation::SetWheels(double f_left, double f_right) {
  VeskTraceWheels(f_left, f_right);
  if (m_pcWheels) m_pcWheels->SetLinearVelocity(f_left, f_right);
}

std::string CVeskControllerBaseStation::GenerateTree(std::string str_description) {
  return graph_vesk::GraphOperations().CreateTree(str_description);
}

std::string CVeskControllerBaseStation::CreateBalancedForest(std::string str_description,
                                                             int n_count) {
  std::string strForest =
      graph_vesk::GraphOperations().CreateBalancedForest(str_description, n_count);
  /* The forest on standard output is documented output, not a leftover. */
  WriteOutput("Graf: " + strForest + "\n");
  return strForest;
}

int VeskSetWheelsBs(veskvm_t t_vm) {
  return VeskGroundSetWheels<CVeskControllerBaseStation>(t_vm);
}
int VeskGoToBs(veskvm_t t_vm) {
  return VeskGroundGoTo<CVeskControllerBaseStation>(t_vm);
}
int VeskSetLEDsBs(veskvm_t t_vm) {
  return VeskNothing(t_vm);
}
int VeskStartChargingBs(veskvm_t t_vm) {
  return VeskNothing(t_vm);
}
int VeskStopChargingBs(veskvm_t t_vm) {
  return VeskNothing(t_vm);
}
int VeskStartProcessingBs(veskvm_t t_vm) {
  return VeskNothing(t_vm);
}
int VeskStopProcessingBs(veskvm_t t_vm) {
  return VeskNothing(t_vm);
}

int VeskGenerateTree(veskvm_t t_vm) {
  if (!VeskCheckArgs(t_vm, {VESKTYPE_STRING})) return t_vm->state;
  CVeskControllerBaseStation *pcController =
      VeskControllerAs<CVeskControllerBaseStation>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  return ReturnText(t_vm, pcController->GenerateTree(VeskArg(t_vm, 1)->s.str));
}

int VeskCreateBalancedForest(veskvm_t t_vm) {
  if (!VeskCheckArgs(t_vm, {VESKTYPE_STRING, VESKTYPE_INT})) return t_vm->state;
  CVeskControllerBaseStation *pcController =
      VeskControllerAs<CVeskControllerBaseStation>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  return ReturnText(t_vm, pcController->CreateBalancedForest(VeskArg(t_vm, 1)->s.str,
                                                             VeskArg(t_vm, 2)->i.value));
}

REGISTER_CONTROLLER(CVeskControllerBaseStation, "vesk_controller_base_station")
