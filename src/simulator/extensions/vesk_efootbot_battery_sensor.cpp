/*
 * The extended foot-bot's battery in ARGoS.
 */
#include "vesk_efootbot_battery_sensor.h"

using namespace argos;

void CVeskEFootBotBatterySensor::Init(TConfigurationNode &t_node) {
  try {
    CCI_EFootBotBatterySensor::Init(t_node);
    m_sModel.Init(t_node);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Initialization error in the efootbot battery sensor",
                                ex);
  }
  Enable();
}

REGISTER_SENSOR(
    CVeskEFootBotBatterySensor, "battery", "efootbot", "Vesk project", "1.0",
    "The extended foot-bot's battery (Vesk extension).",
    "The battery of the extended foot-bot, a Vesk extension (control\n"
    "interface argos::CCI_EFootBotBatterySensor in\n"
    "src/simulator/extensions/ci_efootbot_battery_sensor.h), on any robot.\n"
    "Once per control step, while charging, the state of charge rises by\n"
    "charge_rate; otherwise it falls by idle_drain, plus processing_drain\n"
    "while processing; it stays within [0, 1]. A reset restores the initial\n"
    "charge and switches charging and processing off.\n\n"
    "REQUIRED XML CONFIGURATION\n\n"
    "  <sensors>\n"
    "    <battery implementation=\"efootbot\" />\n"
    "  </sensors>\n\n"
    "OPTIONAL XML CONFIGURATION\n\n"
    "  soc=\"1\"                  initial state of charge, 0 to 1\n"
    "  charge_rate=\"0.01\"       gained per step while charging\n"
    "  idle_drain=\"0.0001\"      lost per step otherwise\n"
    "  processing_drain=\"0.001\" lost per step in addition while processing\n",
    "Usable");
