/*
 * The headless world's test controller.
 */
#include "vesksim_probe.h"
#include <argos3/core/utility/string_utilities.h>
#include <argos3/plugins/robots/foot-bot/control_interface/ci_footbot_proximity_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_leds_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_quadrotor_position_actuator.h>

namespace vesksim_test {

void CProbe::Init(argos::TConfigurationNode &t_node) {
  argos::GetNodeAttributeOrDefault(t_node, "left", m_fLeft, 0.0);
  argos::GetNodeAttributeOrDefault(t_node, "right", m_fRight, 0.0);
  if (HasActuator("range_and_bearing")) {
    m_pcRABAct = GetActuator<argos::CCI_RangeAndBearingActuator>("range_and_bearing");
    Announce();
  }
  if (HasActuator("leds"))
    GetActuator<argos::CCI_LEDsActuator>("leds")->SetAllColors(argos::CColor::RED);
  if (HasActuator("quadrotor_position")) {
    argos::CVector3 cTarget;
    argos::GetNodeAttributeOrDefault(t_node, "target", cTarget, argos::CVector3());
    GetActuator<argos::CCI_QuadRotorPositionActuator>("quadrotor_position")
        ->SetAbsolutePosition(cTarget);
  }
  if (HasSensor("colored_blob_perspective_camera"))
    GetSensor<argos::CCI_ColoredBlobPerspectiveCameraSensor>(
        "colored_blob_perspective_camera")
        ->Enable();
}

void CProbe::ControlStep() {
  ++m_unStep;
  std::vector<SHeard> vecHeard;
  if (HasSensor("range_and_bearing")) {
    for (const auto &sPacket :
         GetSensor<argos::CCI_RangeAndBearingSensor>("range_and_bearing")
             ->GetReadings()) {
      argos::CByteArray cData = sPacket.Data;
      const argos::UInt16 unSender = cData.PopFront<argos::UInt16>();
      const argos::UInt16 unStep = cData.PopFront<argos::UInt16>();
      vecHeard.push_back({unSender, unStep, sPacket.Range,
                          sPacket.HorizontalBearing.GetValue(),
                          sPacket.VerticalBearing.GetValue()});
    }
  }
  Heard.push_back(vecHeard);
  if (HasSensor("footbot_proximity")) {
    Proximity.clear();
    for (const auto &sReading :
         GetSensor<argos::CCI_FootBotProximitySensor>("footbot_proximity")->GetReadings())
      Proximity.push_back(sReading.Value);
  }
  if (HasSensor("colored_blob_perspective_camera")) {
    Blobs.clear();
    for (const auto *psBlob : GetSensor<argos::CCI_ColoredBlobPerspectiveCameraSensor>(
                                  "colored_blob_perspective_camera")
                                  ->GetReadings()
                                  .BlobList)
      Blobs.push_back(*psBlob);
  }
  if (HasActuator("differential_steering"))
    GetActuator<argos::CCI_DifferentialSteeringActuator>("differential_steering")
        ->SetLinearVelocity(m_fLeft, m_fRight);
  if (m_pcRABAct != nullptr) Announce();
}

void CProbe::Announce() {
  argos::CByteArray cData;
  cData << argos::FromString<argos::UInt16>(GetId().substr(2)) << m_unStep;
  while (cData.Size() < m_pcRABAct->GetSize())
    cData << static_cast<argos::UInt8>(0);
  m_pcRABAct->SetData(cData);
}

} // namespace vesksim_test

using vesksim_test::CProbe;
REGISTER_CONTROLLER(CProbe, "vesksim_probe")
