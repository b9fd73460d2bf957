/*
 * Charge model of the extended foot-bot's battery, the one place both of
 * its devices take it from: the ARGoS sensor ("battery", implementation
 * "efootbot") and vesksim's headless battery. One Step() per control step:
 * while charging the state of charge rises by ChargeRate, otherwise it falls
 * by IdleDrain, plus ProcessingDrain while processing; it stays within
 * [0, 1]. XML attributes (all optional) on the device node: "soc" (initial
 * charge, default 1), "charge_rate" (0.01), "idle_drain" (0.0001),
 * "processing_drain" (0.001).
 */
#ifndef VESK_EFOOTBOT_BATTERY_MODEL_H
#define VESK_EFOOTBOT_BATTERY_MODEL_H

#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/datatypes/datatypes.h>

#include <algorithm>
#include <cmath>
#include <sstream>

struct SVeskEFootBotBatteryModel {
  argos::Real InitialSoc = 1.0;
  argos::Real ChargeRate = 0.01;
  argos::Real IdleDrain = 0.0001;
  argos::Real ProcessingDrain = 0.001;

  argos::Real Soc = 1.0;
  bool Charging = false;
  bool Processing = false;

  /* Reads the attributes of the device node, then Reset(). A charge outside
     [0, 1] or a negative rate raises CARGoSException and changes nothing. */
  void Init(argos::TConfigurationNode &t_node) {
    SVeskEFootBotBatteryModel sRead = *this;
    Read(t_node, "soc", sRead.InitialSoc, 1.0);
    Read(t_node, "charge_rate", sRead.ChargeRate, HUGE_VAL);
    Read(t_node, "idle_drain", sRead.IdleDrain, HUGE_VAL);
    Read(t_node, "processing_drain", sRead.ProcessingDrain, HUGE_VAL);
    *this = sRead;
    Reset();
  }

  /* Back to the initial charge, neither charging nor processing. */
  void Reset() {
    Soc = InitialSoc;
    Charging = false;
    Processing = false;
  }

  /* One control step. */
  void Step() {
    if (Charging)
      Soc += ChargeRate;
    else
      Soc -= IdleDrain + (Processing ? ProcessingDrain : 0.0);
    Soc = std::clamp<argos::Real>(Soc, 0.0, 1.0);
  }

private:
  /* Reads one attribute, which must lie within [0, f_max]. */
  static void Read(argos::TConfigurationNode &t_node, const char *pch_name,
                   argos::Real &f_value, argos::Real f_max) {
    argos::GetNodeAttributeOrDefault(t_node, pch_name, f_value, f_value);
    if (f_value >= 0.0 && f_value <= f_max && std::isfinite(f_value)) return;
    std::ostringstream cWhat;
    cWhat << "Battery attribute \"" << pch_name << "\" must be "
          << (f_max == 1.0 ? "between 0 and 1" : "0 or more") << ", got " << f_value;
    throw argos::CARGoSException(cWhat.str());
  }
};

#endif
