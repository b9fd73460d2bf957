/*
 * A robot's LEDs: one colour (with the intensity as alpha) per LED.
 */
#ifndef ARGOS_CI_LEDS_ACTUATOR_H
#define ARGOS_CI_LEDS_ACTUATOR_H

#include <argos3/core/control_interface/ci_actuator.h>
#include <argos3/core/utility/datatypes/color.h>
#include <vector>

namespace argos {

class CCI_LEDsActuator : public CCI_Actuator {
public:
  typedef std::vector<CColor> TSettings;

  virtual ~CCI_LEDsActuator() {}
  size_t GetNumLEDs() const { return m_tSettings.size(); }

  // Both throw CARGoSException for an LED number past the last LED (ARGoS
  // writes past the end of its vector).
  virtual void SetSingleColor(UInt32 un_led_number, const CColor &c_color);
  virtual void SetSingleIntensity(UInt32 un_led_number, UInt8 un_intensity);
  virtual void SetAllColors(const CColor &c_color);
  // Takes the given settings as they are: their count becomes the number of
  // LEDs.
  virtual void SetAllColors(const TSettings &c_colors);
  virtual void SetAllIntensities(UInt8 un_intensity);

protected:
  TSettings m_tSettings; // sized by the simulator: 13 on a foot-bot
};

} // namespace argos

#endif
