/*
 * Steering of the wheeled controllers and their shared set-up.
 */
#include "vesk_controller_ground.h"

#include <argos3/core/utility/logging/argos_log.h>
#include <argos3/core/utility/math/general.h>

#include <cstdio>
#include <string>

using namespace argos;

SVeskWheelTurningParams::SVeskWheelTurningParams()
    : TurningMechanism(NO_TURN), HardTurnOnAngleThreshold(ToRadians(CDegrees(90.0))),
      SoftTurnOnAngleThreshold(ToRadians(CDegrees(70.0))),
      NoTurnAngleThreshold(ToRadians(CDegrees(10.0))), MaxSpeed(10.0) {}

void SVeskWheelTurningParams::Init(TConfigurationNode &t_node) {
  try {
    TurningMechanism = NO_TURN;
    CDegrees cAngle;
    GetNodeAttribute(t_node, "hard_turn_angle_threshold", cAngle);
    HardTurnOnAngleThreshold = ToRadians(cAngle);
    GetNodeAttribute(t_node, "soft_turn_angle_threshold", cAngle);
    SoftTurnOnAngleThreshold = ToRadians(cAngle);
    GetNodeAttribute(t_node, "no_turn_angle_threshold", cAngle);
    NoTurnAngleThreshold = ToRadians(cAngle);
    GetNodeAttribute(t_node, "max_speed", MaxSpeed);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error initializing controller wheel turning parameters.",
                                ex);
  }
}

void SVeskWheelTurningParams::WheelSpeeds(const CVector2 &c_heading, Real &f_left,
                                          Real &f_right) {
  CRadians cAngle = c_heading.Angle();
  cAngle.SignedNormalize();
  const Real fBaseSpeed = Min<Real>(c_heading.Length(), MaxSpeed);
  const CRadians cAbsAngle(cAngle.GetAbsoluteValue());
  if (cAbsAngle <= NoTurnAngleThreshold)
    TurningMechanism = NO_TURN;
  else if (cAbsAngle > HardTurnOnAngleThreshold)
    TurningMechanism = HARD_TURN;
  else if (TurningMechanism == NO_TURN && cAbsAngle > SoftTurnOnAngleThreshold)
    TurningMechanism = SOFT_TURN;
  Real fSpeed1 = fBaseSpeed, fSpeed2 = fBaseSpeed;
  if (TurningMechanism == SOFT_TURN) {
    const Real fFactor =
        (HardTurnOnAngleThreshold - cAbsAngle) / HardTurnOnAngleThreshold;
    fSpeed1 = fBaseSpeed - fBaseSpeed * (1.0 - fFactor);
    fSpeed2 = fBaseSpeed + fBaseSpeed * (1.0 - fFactor);
  } else if (TurningMechanism == HARD_TURN) {
    fSpeed1 = -MaxSpeed;
    fSpeed2 = MaxSpeed;
  }
  if (cAngle > CRadians::ZERO) {
    f_left = fSpeed1;
    f_right = fSpeed2;
  } else {
    f_left = fSpeed2;
    f_right = fSpeed1;
  }
}

void VeskInitWheels(CCI_Controller &c_controller, TConfigurationNode &t_node,
                    CCI_DifferentialSteeringActuator *&pc_wheels,
                    SVeskWheelTurningParams &s_params) {
  try {
    pc_wheels = c_controller.GetActuator<CCI_DifferentialSteeringActuator>(
        "differential_steering");
    s_params.Init(GetNode(t_node, "wheel_turning"));
  } catch (CARGoSException &) {
    /* Absent wheels or an absent or incomplete <wheel_turning>: defaults. */
  }
}

int VeskNothing(veskvm_t t_vm) {
  return veskvm_ret0(t_vm);
}

void VeskTraceWheels(double f_left, double f_right) {
  std::string strText = "[DEBUG] ";
  for (size_t i = 0; i < argos::DEBUG_INDENTATION; ++i)
    strText += "  ";
  char pchCall[128];
  snprintf(pchCall, sizeof pchCall, "SetWheels(%f, %f)\n", f_left, f_right);
  CVeskController::WriteError(strText + pchCall);
}
