/*
 * What the wheeled controllers (foot-bot, e-foot-bot, base station) share:
 * the wheel-turning parameters with the steering algorithm that turns a
 * heading vector into wheel speeds, the guarded look-up of the wheels, and
 * the natives that drive wheels and LEDs, written once as templates over
 * the controller class.
 */
#ifndef VESK_CONTROLLER_GROUND_H
#define VESK_CONTROLLER_GROUND_H

#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/math/angles.h>
#include <argos3/core/utility/math/vector2.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>

#include "vesk_controller.h"

/* Steering parameters, read from the <wheel_turning> node (angles in
   degrees there, radians here), and the steering mode, which persists
   between headings. */
struct SVeskWheelTurningParams {
  enum ETurningMechanism { NO_TURN = 0, SOFT_TURN = 1, HARD_TURN = 2 };

  int TurningMechanism;
  argos::CRadians HardTurnOnAngleThreshold;
  argos::CRadians SoftTurnOnAngleThreshold;
  argos::CRadians NoTurnAngleThreshold;
  double MaxSpeed;

  SVeskWheelTurningParams();
  /* Resets the mode, then reads the four attributes in order; a failure
     throws "Error initializing controller wheel turning parameters." and
     keeps what was read before it. */
  void Init(argos::TConfigurationNode &t_node);
  /* Updates the mode from the heading's angle and computes the speeds:
     straight below the no-turn threshold, on the spot above the hard-turn
     one, a soft turn (entered only from going straight) in between. */
  void WheelSpeeds(const argos::CVector2 &c_heading, argos::Real &f_left,
                   argos::Real &f_right);
};

/* In one guarded block: the "differential_steering" actuator, then the
   optional <wheel_turning> child of t_node. Failures are ignored: what was
   set before one stays set. */
void VeskInitWheels(argos::CCI_Controller &c_controller,
                    argos::TConfigurationNode &t_node,
                    argos::CCI_DifferentialSteeringActuator *&pc_wheels,
                    SVeskWheelTurningParams &s_params);

/* set_wheels(left, right): exactly two floats. */
template <typename CONTROLLER> int VeskGroundSetWheels(veskvm_t t_vm) {
  if (!VeskCheckArgs(t_vm, {VESKTYPE_FLOAT, VESKTYPE_FLOAT})) return t_vm->state;
  CONTROLLER *pcController = VeskControllerAs<CONTROLLER>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  pcController->SetWheels(VeskArg(t_vm, 1)->f.value, VeskArg(t_vm, 2)->f.value);
  return veskvm_ret0(t_vm);
}

/* goto(x, y): two numbers, integers converted. */
template <typename CONTROLLER> int VeskGroundGoTo(veskvm_t t_vm) {
  double pfXY[2];
  if (!VeskNumberArgs(t_vm, 2, pfXY)) return t_vm->state;
  CONTROLLER *pcController = VeskControllerAs<CONTROLLER>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  pcController->SetWheelSpeedsFromVector(argos::CVector2(pfXY[0], pfXY[1]));
  return veskvm_ret0(t_vm);
}

/* setleds(red, green, blue): three integers, each cut to its low 8 bits. */
template <typename CONTROLLER> int VeskGroundSetLEDs(veskvm_t t_vm) {
  if (!VeskCheckArgs(t_vm, {VESKTYPE_INT, VESKTYPE_INT, VESKTYPE_INT}))
    return t_vm->state;
  CONTROLLER *pcController = VeskControllerAs<CONTROLLER>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  pcController->SetLEDs(
      argos::CColor(static_cast<argos::UInt8>(VeskArg(t_vm, 1)->i.value),
                    static_cast<argos::UInt8>(VeskArg(t_vm, 2)->i.value),
                    static_cast<argos::UInt8>(VeskArg(t_vm, 3)->i.value)));
  return veskvm_ret0(t_vm);
}

/* Stores the global `proximity`: at key i a table {value, angle} for the
   i-th reading. Shared by the ground controllers. */
template <typename READINGS>
void VeskPutProximity(CVeskController &c_controller, const READINGS &t_readings) {
  veskobj_t tTable = c_controller.NewTable();
  c_controller.Register("proximity", tTable);
  int nIdx = 0;
  for (const auto &sReading : t_readings) {
    veskobj_t tEntry = c_controller.NewTable();
    c_controller.TablePut(tTable, nIdx++, tEntry);
    c_controller.TablePut(tEntry, "value", static_cast<double>(sReading.Value));
    c_controller.TablePut(tEntry, "angle", sReading.Angle);
  }
}

/* A native that accepts anything and does nothing. */
int VeskNothing(veskvm_t t_vm);

/* The trace of a wheel command, documented output: "[DEBUG] SetWheels(l, r)"
   on standard error as ARGoS's DEBUG writes it, but in one write through
   the controllers' output (CVeskController::WriteError). */
void VeskTraceWheels(double f_left, double f_right);

#endif
