/*
 * A small controller for the headless world's tests: it announces its
 * numeric id and step over the radio from Init on, drives at the wheel
 * speeds (or flies to the target) of its parameters, lights its LEDs red,
 * enables its camera, and records what its sensors gave it at every step.
 */
#ifndef VESKSIM_PROBE_H
#define VESKSIM_PROBE_H

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/plugins/robots/generic/control_interface/ci_colored_blob_perspective_camera_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_sensor.h>
#include <vector>

namespace vesksim_test {

class CProbe : public argos::CCI_Controller {
public:
  struct SHeard {
    argos::UInt16 Sender;
    argos::UInt16 SenderStep; // the step in which the sender set the data
    double Range;             // cm
    double Horizontal, Vertical;
  };

  void Init(argos::TConfigurationNode &t_node) override;
  void ControlStep() override;

  std::vector<std::vector<SHeard>> Heard; // per step
  std::vector<double> Proximity;          // the last step's 24 readings
  std::vector<argos::CCI_ColoredBlobPerspectiveCameraSensor::SBlob> Blobs; // last step

private:
  void Announce();

  double m_fLeft = 0, m_fRight = 0;
  argos::UInt16 m_unStep = 0;
  argos::CCI_RangeAndBearingActuator *m_pcRABAct = nullptr;
};

} // namespace vesksim_test

#endif
