/*
 * CVeskControllerBaseStation: the Vesk controller of a swarm's base station
 * (label "vesk_controller_base_station"). Optional wheels steered like a
 * foot-bot's (`set_wheels_base_station`, `goto`), the ground robots' LED,
 * charging and processing natives accepted and ignored, `robot_type` 89,
 * and `generate_tree(description)` / `generate_forest(description, count)`,
 * which hand a graph description to graph_vesk::GraphOperations and return
 * its answer (see graph_vesk/graph_operations.h for the text formats).
 */
#ifndef VESK_CONTROLLER_BASE_STATION_H
#define VESK_CONTROLLER_BASE_STATION_H

#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>

#include <string>

#include "vesk_controller.h"
#include "vesk_controller_ground.h"

class CVeskControllerBaseStation : public CVeskController {
public:
  typedef SVeskWheelTurningParams SWheelTurningParams;
  /* Value of the global robot_type. */
  static const int ROBOT_TYPE = 89;

  CVeskControllerBaseStation();
  void Init(argos::TConfigurationNode &t_node) override;
  void UpdateSensors() override;
  int RegisterFunctions() override;

  /* Both do nothing without wheels. */
  void SetWheelSpeedsFromVector(const argos::CVector2 &c_heading);
  /* Writes the debug line "SetWheels(left, right)" on standard error, then
     sets the speeds. */
  void SetWheels(double f_left, double f_right);
  std::string GenerateTree(std::string str_description);
  /* Also writes "Graf: <result>" on standard output. */
  std::string CreateBalancedForest(std::string str_description, int n_count);

  const SWheelTurningParams &GetWheelTurningParams() const {
    return m_sWheelTurningParams;
  }

protected:
  argos::CCI_DifferentialSteeringActuator *m_pcWheels;
  SWheelTurningParams m_sWheelTurningParams;
};

int VeskSetWheelsBs(veskvm_t t_vm);
int VeskSetLEDsBs(veskvm_t t_vm);
int VeskGoToBs(veskvm_t t_vm);
int VeskStartChargingBs(veskvm_t t_vm);
int VeskStopChargingBs(veskvm_t t_vm);
int VeskStartProcessingBs(veskvm_t t_vm);
int VeskStopProcessingBs(veskvm_t t_vm);
int VeskGenerateTree(veskvm_t t_vm);
int VeskCreateBalancedForest(veskvm_t t_vm);

#endif
