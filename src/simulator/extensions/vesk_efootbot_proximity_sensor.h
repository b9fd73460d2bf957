/*
 * CVeskEFootBotProximitySensor: the extended foot-bot's proximity ring in
 * ARGoS (sensor "efootbot_proximity", implementation "default"). It works on
 * foot-bot entities and gives the readings of ARGoS's own foot-bot proximity
 * sensor, which it holds and drives: every update copies that sensor's 24
 * values into the extension's readings, whose angles are the same.
 */
#ifndef VESK_EFOOTBOT_PROXIMITY_SENSOR_H
#define VESK_EFOOTBOT_PROXIMITY_SENSOR_H

#include <argos3/core/simulator/sensor.h>
#include <argos3/plugins/robots/foot-bot/simulator/footbot_proximity_default_sensor.h>

#include "ci_efootbot_proximity_sensor.h"

#include <memory>

class CVeskEFootBotProximitySensor : public argos::CCI_EFootBotProximitySensor,
                                     public argos::CSimulatedSensor {
public:
  CVeskEFootBotProximitySensor();

  /* Throws CARGoSException unless c_entity is a foot-bot. */
  void SetRobot(argos::CComposableEntity &c_entity) override;
  /* Same XML attributes as "footbot_proximity" ("show_rays", "noise_level");
     throws CARGoSException if the foot-bot ring's readings do not match the
     extension's in number and angle. */
  void Init(argos::TConfigurationNode &t_node) override;
  void Update() override;
  /* All values back to 0. */
  void Reset() override;
  void Destroy() override;
  void Enable() override;
  void Disable() override;

private:
  void CheckAngles() const;

  std::unique_ptr<argos::CFootBotProximityDefaultSensor> m_pcFootBotRing;
};

#endif
