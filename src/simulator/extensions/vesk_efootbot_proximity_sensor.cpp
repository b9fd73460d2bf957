/*
 * The extended foot-bot's proximity ring in ARGoS, delegating to ARGoS's
 * foot-bot proximity sensor.
 */
#include "vesk_efootbot_proximity_sensor.h"

#include <argos3/core/utility/math/angles.h>
#include <argos3/plugins/robots/foot-bot/simulator/footbot_entity.h>

#include <cmath>

using namespace argos;

namespace {

/* Largest difference, in radians, between the angles of matching readings. */
const Real ANGLE_TOLERANCE = 1e-9;

} // namespace

CVeskEFootBotProximitySensor::CVeskEFootBotProximitySensor()
    : m_pcFootBotRing(new CFootBotProximityDefaultSensor) {}

void CVeskEFootBotProximitySensor::SetRobot(CComposableEntity &c_entity) {
  if (dynamic_cast<CFootBotEntity *>(&c_entity) == nullptr)
    THROW_ARGOSEXCEPTION("The efootbot_proximity sensor works on foot-bots only, \""
                         << c_entity.GetId() << "\" is a "
                         << c_entity.GetTypeDescription());
  try {
    m_pcFootBotRing->SetRobot(c_entity);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Can't set robot for the efootbot_proximity sensor", ex);
  }
}

void CVeskEFootBotProximitySensor::Init(TConfigurationNode &t_node) {
  try {
    CCI_EFootBotProximitySensor::Init(t_node);
    m_pcFootBotRing->Init(t_node);
    CheckAngles();
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Initialization error in the efootbot_proximity sensor",
                                ex);
  }
  Enable();
}

void CVeskEFootBotProximitySensor::CheckAngles() const {
  const CCI_FootBotProximitySensor::TReadings &tRing = m_pcFootBotRing->GetReadings();
  if (tRing.size() != m_tReadings.size())
    THROW_ARGOSEXCEPTION("The foot-bot ring has " << tRing.size() << " readings, not "
                                                  << m_tReadings.size());
  for (size_t i = 0; i < tRing.size(); ++i) {
    const Real fGap =
        (tRing[i].Angle - m_tReadings[i].Angle).SignedNormalize().GetValue();
    if (std::abs(fGap) > ANGLE_TOLERANCE)
      THROW_ARGOSEXCEPTION("Proximity reading " << i << " looks at "
                                                << tRing[i].Angle.GetValue()
                                                << " rad on the foot-bot but at "
                                                << m_tReadings[i].Angle.GetValue());
  }
}

void CVeskEFootBotProximitySensor::Update() {
  m_pcFootBotRing->Update();
  const CCI_FootBotProximitySensor::TReadings &tRing = m_pcFootBotRing->GetReadings();
  for (size_t i = 0; i < m_tReadings.size(); ++i)
    m_tReadings[i].Value = tRing[i].Value;
}

void CVeskEFootBotProximitySensor::Reset() {
  m_pcFootBotRing->Reset();
  for (SReading &sReading : m_tReadings)
    sReading.Value = 0;
}

void CVeskEFootBotProximitySensor::Destroy() {
  m_pcFootBotRing->Destroy();
}

void CVeskEFootBotProximitySensor::Enable() {
  CCI_EFootBotProximitySensor::Enable();
  m_pcFootBotRing->Enable();
}

void CVeskEFootBotProximitySensor::Disable() {
  CCI_EFootBotProximitySensor::Disable();
  m_pcFootBotRing->Disable();
}

REGISTER_SENSOR(CVeskEFootBotProximitySensor, "efootbot_proximity", "default",
                "Vesk project", "1.0",
                "The extended foot-bot's proximity ring (Vesk extension).",
                "The proximity ring of the extended foot-bot, a Vesk extension\n"
                "(control interface argos::CCI_EFootBotProximitySensor in\n"
                "src/simulator/extensions/ci_efootbot_proximity_sensor.h). It works on\n"
                "foot-bot entities and gives the same 24 readings as the foot-bot\n"
                "proximity sensor, whose XML attributes it takes.\n\n"
                "REQUIRED XML CONFIGURATION\n\n"
                "  <sensors>\n"
                "    <efootbot_proximity implementation=\"default\" />\n"
                "  </sensors>\n\n"
                "OPTIONAL XML CONFIGURATION\n\n"
                "  show_rays=\"true\" draws the rays in the OpenGL visualization;\n"
                "  noise_level=\"x\" adds uniform noise in [-x, x] to every value.\n",
                "Usable");
