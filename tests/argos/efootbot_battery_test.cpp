/*
 * The extended foot-bot's battery: the charge model its two devices share,
 * vesksim's device and world, which drives the battery unless it is
 * declared with implementation "efootbot", and, against a real ARGoS, the
 * plug-in's sensors as ARGoS's factory knows them.
 */
#include <gtest/gtest.h>

#include "extensions/efootbot_battery_model.h"
#include "sim_efootbot_devices.h"
#include "sim_world.h"

#ifndef VESK_ARGOS_STANDIN
#include <argos3/core/simulator/sensor.h>
#include <argos3/plugins/robots/generic/control_interface/ci_battery_sensor.h>

#include "extensions/vesk_efootbot_battery_sensor.h"
#endif

#include <memory>
#include <string>

using namespace argos;

namespace {

/* A parsed XML element that outlives the test's use of it. */
class CXml {
public:
  explicit CXml(const std::string &str_text) { m_cDoc.Parse(str_text); }
  TConfigurationNode &Node() { return *m_cDoc.FirstChildElement(); }

private:
  ticpp::Document m_cDoc;
};

SVeskEFootBotBatteryModel Model(const std::string &str_attributes) {
  CXml cXml("<battery " + str_attributes + "/>");
  SVeskEFootBotBatteryModel sModel;
  sModel.Init(cXml.Node());
  return sModel;
}

/* The state of charge of the battery of a robot of vesksim's world. */
Real Soc(vesksim::SBody &s_body) {
  auto &tSensors = s_body.Robot->GetController().GetAllSensors();
  return dynamic_cast<CCI_EFootBotBatterySensor &>(*tSensors.at("battery")).GetSoc();
}

} // namespace

TEST(EFootBotBatteryModel, ChargesDrainsAndStaysWithinZeroAndOne) {
  SVeskEFootBotBatteryModel sModel = Model(
      "soc=\"0.5\" charge_rate=\"0.2\" idle_drain=\"0.1\" processing_drain=\"0.25\"");
  sModel.Step();
  EXPECT_NEAR(sModel.Soc, 0.4, 1e-12);
  sModel.Processing = true;
  sModel.Step();
  EXPECT_NEAR(sModel.Soc, 0.05, 1e-12);
  sModel.Step();
  EXPECT_EQ(sModel.Soc, 0.0);
  sModel.Charging = true; // charging wins over processing
  for (int i = 0; i < 4; ++i)
    sModel.Step();
  EXPECT_NEAR(sModel.Soc, 0.8, 1e-12);
  sModel.Step();
  EXPECT_EQ(sModel.Soc, 1.0);
}

TEST(EFootBotBatteryModel, DefaultsAndResetToTheInitialCharge) {
  SVeskEFootBotBatteryModel sModel = Model("");
  EXPECT_EQ(sModel.Soc, 1.0);
  EXPECT_EQ(sModel.ChargeRate, 0.01);
  EXPECT_EQ(sModel.IdleDrain, 0.0001);
  EXPECT_EQ(sModel.ProcessingDrain, 0.001);
  sModel = Model("soc=\"0.25\"");
  sModel.Charging = sModel.Processing = true;
  sModel.Step();
  EXPECT_NEAR(sModel.Soc, 0.26, 1e-12);
  sModel.Reset();
  EXPECT_EQ(sModel.Soc, 0.25);
  EXPECT_FALSE(sModel.Charging);
  EXPECT_FALSE(sModel.Processing);
}

/* Each case has a good attribute besides the bad one, which must not be
   taken either. */
TEST(EFootBotBatteryModel, BadAttributesAreRejectedAndChangeNothing) {
  const std::pair<const char *, const char *> asBad[] = {
      {"soc=\"1.5\" charge_rate=\"0.5\"",
       "Battery attribute \"soc\" must be between 0 and 1, got 1.5"},
      {"soc=\"-0.1\" charge_rate=\"0.5\"",
       "Battery attribute \"soc\" must be between 0 and 1, got -0.1"},
      {"soc=\"0.5\" charge_rate=\"-1\"",
       "Battery attribute \"charge_rate\" must be 0 or more, got -1"},
      {"soc=\"0.5\" processing_drain=\"-0.5\"",
       "Battery attribute \"processing_drain\" must be 0 or more, got -0.5"},
      {"soc=\"0.5\" idle_drain=\"lots\"", "Error parsing attribute \"idle_drain\""}};
  for (const auto &sBad : asBad) {
    CXml cXml(std::string("<battery ") + sBad.first + "/>");
    SVeskEFootBotBatteryModel sModel;
    sModel.Soc = 0.75;
    try {
      sModel.Init(cXml.Node());
      ADD_FAILURE() << sBad.first << " accepted";
    } catch (CARGoSException &ex) {
      EXPECT_NE(std::string(ex.what()).find(sBad.second), std::string::npos) << ex.what();
    }
    EXPECT_EQ(sModel.InitialSoc, 1.0) << sBad.first;
    EXPECT_EQ(sModel.Soc, 0.75) << sBad.first;
    EXPECT_EQ(sModel.ChargeRate, 0.01) << sBad.first;
  }
}

TEST(EFootBotBatteryVesksim, TheDeviceRunsTheSharedModel) {
  CXml cXml("<battery soc=\"0.5\" charge_rate=\"0.125\" idle_drain=\"0.25\"/>");
  vesksim::CEFootBotBatterySensor cBattery;
  cBattery.Init(cXml.Node());
  cBattery.StartCharging();
  cBattery.Update();
  EXPECT_NEAR(cBattery.GetSoc(), 0.625, 1e-12);
  cBattery.StopCharging();
  cBattery.Update();
  EXPECT_NEAR(cBattery.GetSoc(), 0.375, 1e-12);
  cBattery.Reset();
  EXPECT_EQ(cBattery.GetSoc(), 0.5);
}

/* In vesksim's world an "efootbot" battery follows its own model, exactly as
   in ARGoS; any other battery follows the world's, which drains 1e-4 per
   second (1e-5 per step at 10 ticks per second) and 0.01 per metre. Both
   robots drive at 20 cm/s from the second step on. */
TEST(EFootBotBatteryVesksim, TheWorldDrivesAllButEFootBotBatteries) {
  vesksim::CWorld cWorld(10, CVector3(4, 4, 1), CVector3(0, 0, 0.5), {});
  std::vector<std::unique_ptr<CXml>> vecXml;
  std::vector<vesksim::SBody *> vecBodies;
  for (const char *pchImplementation : {"efootbot", "default"}) {
    vecXml.push_back(std::make_unique<CXml>(
        std::string("<vesksim_probe><actuators><differential_steering/></actuators>"
                    "<sensors><battery implementation=\"") +
        pchImplementation +
        "\" soc=\"0.5\" idle_drain=\"0.01\"/></sensors>"
        "<params left=\"20\" right=\"20\"/></vesksim_probe>"));
    vesksim::SRobotSpec sSpec;
    sSpec.Id = "ef" + std::to_string(vecBodies.size() + 1);
    sSpec.Position.Set(-1, vecBodies.size(), 0);
    vecBodies.push_back(&cWorld.AddRobot(sSpec, vecXml.back()->Node()));
  }
  for (int i = 0; i < 10; ++i)
    cWorld.Step();
  EXPECT_NEAR(vecBodies[1]->Position().GetX(), -0.82, 1e-9);
  EXPECT_NEAR(Soc(*vecBodies[0]), 0.4, 1e-12);
  EXPECT_NEAR(Soc(*vecBodies[1]), 0.5 - 10 * 1e-5 - 0.18 * 0.01, 1e-12);
}

#ifndef VESK_ARGOS_STANDIN

TEST(EFootBotBatteryArgos, SensorsAreRegisteredBesideArgosOwnBattery) {
  EXPECT_TRUE(CFactory<CSimulatedSensor>::Exists("efootbot_proximity (default)"));
  std::unique_ptr<CSimulatedSensor> pcOurs(
      CFactory<CSimulatedSensor>::New("battery (efootbot)"));
  EXPECT_NE(dynamic_cast<CCI_EFootBotBatterySensor *>(pcOurs.get()), nullptr);
  EXPECT_EQ(dynamic_cast<CCI_BatterySensor *>(pcOurs.get()), nullptr);
  std::unique_ptr<CSimulatedSensor> pcArgos(
      CFactory<CSimulatedSensor>::New("battery (default)"));
  EXPECT_NE(dynamic_cast<CCI_BatterySensor *>(pcArgos.get()), nullptr);
  EXPECT_EQ(dynamic_cast<CCI_EFootBotBatterySensor *>(pcArgos.get()), nullptr);
}

TEST(EFootBotBatteryArgos, OneModelStepPerUpdate) {
  CXml cXml("<battery implementation=\"efootbot\" soc=\"0.5\" processing_drain=\"0.0499\""
            " idle_drain=\"0.0001\"/>");
  CVeskEFootBotBatterySensor cBattery;
  cBattery.Init(cXml.Node());
  EXPECT_TRUE(cBattery.IsEnabled());
  cBattery.StartProcessing();
  cBattery.Update();
  cBattery.Update();
  EXPECT_NEAR(cBattery.GetSoc(), 0.4, 1e-12);
  cBattery.StopProcessing();
  cBattery.StartCharging();
  cBattery.Update();
  EXPECT_NEAR(cBattery.GetSoc(), 0.41, 1e-12);
  cBattery.Reset();
  EXPECT_EQ(cBattery.GetSoc(), 0.5);
  cBattery.Update();
  EXPECT_NEAR(cBattery.GetSoc(), 0.4999, 1e-12);
}

TEST(EFootBotBatteryArgos, BadAttributesStopTheSensorsInit) {
  CXml cXml("<battery implementation=\"efootbot\" idle_drain=\"-1\"/>");
  CVeskEFootBotBatterySensor cBattery;
  try {
    cBattery.Init(cXml.Node());
    ADD_FAILURE() << "a negative drain was accepted";
  } catch (CARGoSException &ex) {
    EXPECT_NE(std::string(ex.what()).find("Initialization error in the efootbot battery "
                                          "sensor"),
              std::string::npos)
        << ex.what();
  }
}

#endif
