/*
 * The extended foot-bot's devices (proximity ring "efootbot_proximity" and
 * battery "battery") in the headless world: the world registers them, feeds
 * their readings from its models and reads the battery's charging and
 * processing switches (unless the battery runs its own model, see
 * FindExtBattery).
 */
#ifndef VESKSIM_DEVICES_H
#define VESKSIM_DEVICES_H

#include "sim_battery.h"
#include <argos3/core/control_interface/ci_controller.h>
#include <vector>

namespace vesksim {

// Enters the extension's devices into the robot harness's registry, the
// battery in a form the world can drive; once per process.
void RegisterWorldDevices();

// The robot's extension proximity ring, or null.
argos::CCI_Sensor *FindExtProximity(argos::CCI_Controller &c_controller);
// The robot's extension battery if the world drives it, or null: one
// declared with implementation "efootbot" runs by itself the charge model
// it shares with the ARGoS device.
argos::CCI_Sensor *FindExtBattery(argos::CCI_Controller &c_controller);

void ShowExtProximity(argos::CCI_Sensor *pc_sensor,
                      const std::vector<argos::Real> &vec_values);
// The battery's charge as configured ("soc"), to start the model from.
argos::Real ExtBatteryInitialCharge(argos::CCI_Sensor *pc_sensor);
// Copies the switches the controller set into the model.
void ReadExtBatterySwitches(argos::CCI_Sensor *pc_sensor, SBattery &s_battery);
void ShowExtBattery(argos::CCI_Sensor *pc_sensor, const SBattery &s_battery);

} // namespace vesksim

#endif
