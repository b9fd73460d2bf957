/*
 * Controller device bookkeeping and the shared parts of the robot devices.
 */
#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/plugins/robots/foot-bot/control_interface/ci_footbot_proximity_sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_leds_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_actuator.h>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <ostream>

namespace argos {

template class CFactory<CCI_Controller>;

std::string DemangleTypeName(const std::type_info &c_type) {
  int nStatus = 0;
  std::unique_ptr<char, void (*)(void *)> pchName(
      abi::__cxa_demangle(c_type.name(), nullptr, nullptr, &nStatus), std::free);
  return nStatus == 0 && pchName ? std::string(pchName.get())
                                 : std::string(c_type.name());
}

/* Controller */

CCI_Controller::~CCI_Controller() {
  for (auto &tEntry : m_mapActuators)
    delete tEntry.second;
  for (auto &tEntry : m_mapSensors)
    delete tEntry.second;
}

/* Range and bearing actuator */

void CCI_RangeAndBearingActuator::SetData(const CByteArray &c_data) {
  if (c_data.Size() != m_cData.Size())
    THROW_ARGOSEXCEPTION(
        "CCI_RangeAndBearingActuator::SetData() : data size does not match, "
        "expected "
        << m_cData.Size() << ", got " << c_data.Size());
  m_cData = c_data;
}

void CCI_RangeAndBearingActuator::SetData(size_t un_idx, UInt8 un_value) {
  if (un_idx >= m_cData.Size())
    THROW_ARGOSEXCEPTION("CCI_RangeAndBearingActuator::SetData() : index out of bounds, "
                         "index "
                         << un_idx << ", size " << m_cData.Size());
  m_cData[un_idx] = un_value;
}

/* LEDs */

namespace {

void CheckLEDNumber(UInt32 un_led_number, size_t un_num_leds) {
  if (un_led_number >= un_num_leds)
    THROW_ARGOSEXCEPTION("LED number " << un_led_number << " out of range: the robot has "
                                       << un_num_leds << " LEDs");
}

} // namespace

void CCI_LEDsActuator::SetSingleColor(UInt32 un_led_number, const CColor &c_color) {
  CheckLEDNumber(un_led_number, m_tSettings.size());
  m_tSettings[un_led_number] = c_color;
}

void CCI_LEDsActuator::SetSingleIntensity(UInt32 un_led_number, UInt8 un_intensity) {
  CheckLEDNumber(un_led_number, m_tSettings.size());
  m_tSettings[un_led_number].SetAlpha(un_intensity);
}

void CCI_LEDsActuator::SetAllColors(const CColor &c_color) {
  for (CColor &cLED : m_tSettings)
    cLED = c_color;
}

void CCI_LEDsActuator::SetAllColors(const TSettings &c_colors) {
  m_tSettings = c_colors;
}

void CCI_LEDsActuator::SetAllIntensities(UInt8 un_intensity) {
  for (CColor &cLED : m_tSettings)
    cLED.SetAlpha(un_intensity);
}

/* Foot-bot proximity */

namespace {
constexpr size_t FOOTBOT_PROXIMITY_SENSORS = 24;
}

CCI_FootBotProximitySensor::CCI_FootBotProximitySensor()
    : m_tReadings(FOOTBOT_PROXIMITY_SENSORS) {
  const CRadians cSpacing(ARGOS_PI / 12.0);
  for (size_t i = 0; i < m_tReadings.size(); ++i) {
    m_tReadings[i].Angle = cSpacing * 0.5 + cSpacing * static_cast<Real>(i);
    m_tReadings[i].Angle.SignedNormalize();
  }
}

std::ostream &operator<<(std::ostream &c_os,
                         const CCI_FootBotProximitySensor::SReading &s_reading) {
  return c_os << "Value=<" << s_reading.Value << ">, Angle=<" << s_reading.Angle << ">";
}

std::ostream &operator<<(std::ostream &c_os,
                         const CCI_FootBotProximitySensor::TReadings &t_readings) {
  if (t_readings.empty()) return c_os;
  c_os << "{ " << t_readings[0].Value << " }";
  for (size_t i = 1; i < t_readings.size(); ++i)
    c_os << " { " << t_readings[0].Value << " }";
  return c_os << std::endl;
}

} // namespace argos
