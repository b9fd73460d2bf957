/*
 * The text drawn above a robot in the simulator views: "R" and the robot's
 * numeric id, then ": " and the robot's debug message when its script set
 * one with `debug`. The ARGoS overlay and vskedit's arena view both draw it.
 */
#ifndef VESK_OVERLAY_LABEL_H
#define VESK_OVERLAY_LABEL_H

#include <argos3/core/utility/string_utilities.h>

#include <string>

#include "vesk_controller.h"

/* The label from its parts. */
inline std::string VeskOverlayLabel(argos::UInt16 un_robot_id,
                                    const std::string &str_debug) {
  std::string strLabel("R");
  strLabel += argos::ToString(un_robot_id);
  if (!str_debug.empty()) strLabel.append(": ").append(str_debug);
  return strLabel;
}

/* The label of a controller's robot: the id its VM runs with (the
 * controller's id once the VM is gone) and its debug message. */
inline std::string VeskOverlayLabel(CVeskController &c_controller) {
  veskvm_t tVM = c_controller.GetVeskVM();
  return VeskOverlayLabel(tVM != nullptr ? tVM->robot : c_controller.GetRobotId(),
                          c_controller.GetDebugMsg());
}

#endif
