/*
 * The ARGoS control API as the plug-in relies on it (controller factory,
 * device look-up; the same assertions hold for ARGoS and its stand-in), and
 * the headless world's robot devices and harness built on it.
 */
#include <gtest/gtest.h>

#include "thrown_text.h"

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_sensor.h>

#include "sim_robot.h"

#include <memory>
#include <string>
#include <vector>

namespace testctl {

// A controller written only against the ARGoS interfaces: it answers every
// received packet count on its wheels and records what the simulator did.
class CDummyController : public argos::CCI_Controller {
public:
  void Init(argos::TConfigurationNode &t_node) override {
    IdAtInit = GetId();
    argos::GetNodeAttributeOrDefault(t_node, "speed", Speed, 1.0);
    m_pcWheels =
        GetActuator<argos::CCI_DifferentialSteeringActuator>("differential_steering");
    m_pcRABSens = GetSensor<argos::CCI_RangeAndBearingSensor>("range_and_bearing");
    Events.push_back("init");
  }
  void ControlStep() override {
    const double fPackets = static_cast<double>(m_pcRABSens->GetReadings().size());
    m_pcWheels->SetLinearVelocity(Speed * fPackets, -Speed * fPackets);
    Events.push_back("step");
  }
  void Reset() override {
    Events.push_back("reset:" + std::to_string(m_pcRABSens->GetReadings().size()));
  }
  void Destroy() override { Events.push_back("destroy"); }

  std::string IdAtInit;
  double Speed = 0;
  std::vector<std::string> Events;

private:
  argos::CCI_DifferentialSteeringActuator *m_pcWheels = nullptr;
  argos::CCI_RangeAndBearingSensor *m_pcRABSens = nullptr;
};

// Sets a flag when destroyed, to check who owns devices.
class CTrackedActuator : public argos::CCI_Actuator {
public:
  explicit CTrackedActuator(bool &b_deleted) : m_bDeleted(b_deleted) {}
  ~CTrackedActuator() override { m_bDeleted = true; }
#ifdef ARGOS_WITH_LUA
  void CreateLuaState(lua_State *) override {}
#endif

private:
  bool &m_bDeleted;
};

} // namespace testctl

using testctl::CDummyController;
REGISTER_CONTROLLER(CDummyController, "test_dummy_controller")

using namespace argos;
using namespace vesksim;

/* Factory */

TEST(ArgosFactory, RegisteredControllerIsCreatedByLabel) {
  ASSERT_TRUE(CFactory<CCI_Controller>::Exists("test_dummy_controller"));
  std::unique_ptr<CCI_Controller> pcController(
      CFactory<CCI_Controller>::New("test_dummy_controller"));
  EXPECT_NE(dynamic_cast<CDummyController *>(pcController.get()), nullptr);
  EXPECT_EQ(pcController->GetId(), "");
  const auto &psInfo = CFactory<CCI_Controller>::GetTypeMap().at("test_dummy_controller");
  for (const std::string *pstrField :
       {&psInfo->Author, &psInfo->Version, &psInfo->BriefDescription,
        &psInfo->LongDescription, &psInfo->Status})
    EXPECT_EQ(*pstrField, "undefined");
}

TEST(ArgosFactory, UnknownLabelThrows) {
  EXPECT_FALSE(CFactory<CCI_Controller>::Exists("nonexistent_label"));
  EXPECT_EQ(ThrownText([] { CFactory<CCI_Controller>::New("nonexistent_label"); }),
            "[FATAL] Symbol \"nonexistent_label\" not found");
}

/* Device look-up */

TEST(ArgosController, DeviceLookUpNeverReturnsNull) {
  CDummyController cController;
  cController.AddActuator("leds", new CLEDsActuator);
  cController.AddSensor("range_and_bearing", new CRangeAndBearingSensor);
  EXPECT_TRUE(cController.HasActuator("leds"));
  EXPECT_FALSE(cController.HasSensor("leds"));
  EXPECT_NE(cController.GetActuator<CCI_LEDsActuator>("leds"), nullptr);
  EXPECT_EQ(
      ThrownText([&] { cController.GetActuator<CCI_LEDsActuator>("wheels"); }),
      "[FATAL] Unknown actuator type wheels requested in controller. Did you add it to "
      "the XML file?");
  EXPECT_EQ(
      ThrownText([&] { cController.GetSensor<CCI_RangeAndBearingSensor>("camera"); }),
      "[FATAL] Unknown sensor type camera requested in controller. Did you add it to the "
      "XML file?");
  EXPECT_EQ(ThrownText([&] {
              cController.GetActuator<CCI_DifferentialSteeringActuator>("leds");
            }),
            "[FATAL] Actuator type leds cannot be cast to type "
            "argos::CCI_DifferentialSteeringActuator");
  EXPECT_EQ(ThrownText([&] {
              cController.GetSensor<CCI_PositioningSensor>("range_and_bearing");
            }),
            "[FATAL] Sensor type range_and_bearing cannot be cast to type "
            "argos::CCI_PositioningSensor");
}

TEST(ArgosController, OwnsItsDevices) {
  bool bFirstDeleted = false, bSecondDeleted = false;
  {
    CDummyController cController;
    testctl::CTrackedActuator *pcFirst = new testctl::CTrackedActuator(bFirstDeleted);
    cController.AddActuator("x", pcFirst);
    cController.AddActuator("x", pcFirst); // the same device again: kept
    EXPECT_FALSE(bFirstDeleted);
    // A device under a name in use replaces the earlier one without deleting
    // it: that one is the caller's again.
    cController.AddActuator("x", new testctl::CTrackedActuator(bSecondDeleted));
    EXPECT_FALSE(bFirstDeleted);
    EXPECT_EQ(cController.GetAllActuators().size(), 1u);
    delete pcFirst;
  }
  EXPECT_TRUE(bFirstDeleted);
  EXPECT_TRUE(bSecondDeleted);
}

/* Devices */

TEST(ArgosDevices, RangeAndBearingPayloadMustMatchItsSize) {
  CRangeAndBearingActuator cActuator(4);
  EXPECT_EQ(cActuator.GetSize(), 4u);
  CByteArray cData;
  cData << static_cast<UInt16>(7) << static_cast<UInt8>(1);
  EXPECT_EQ(ThrownText([&] { cActuator.SetData(cData); }),
            "[FATAL] CCI_RangeAndBearingActuator::SetData() : data size does not match, "
            "expected 4, got 3");
  EXPECT_EQ(cActuator.GetData(), CByteArray(4, 0));
  cData << static_cast<UInt8>(2);
  cActuator.SetData(cData);
  EXPECT_EQ(cActuator.GetData(), cData);
  cActuator.SetData(3, 9);
  EXPECT_EQ(cActuator.GetData()[3], 9);
  EXPECT_THROW(cActuator.SetData(4, 9), CARGoSException);
  cActuator.ClearData();
  EXPECT_EQ(cActuator.GetData(), CByteArray(4, 0));
}

TEST(ArgosDevices, LEDs) {
  CLEDsActuator cLEDs;
  EXPECT_EQ(cLEDs.GetNumLEDs(), 13u);
  cLEDs.SetAllColors(CColor::RED);
  cLEDs.SetSingleColor(12, CColor::BLUE);
  cLEDs.SetSingleIntensity(0, 100);
  EXPECT_EQ(cLEDs.GetSettings()[0], CColor(255, 0, 0, 100));
  EXPECT_EQ(cLEDs.GetSettings()[11], CColor::RED);
  EXPECT_EQ(cLEDs.GetSettings()[12], CColor::BLUE);
#if defined(VESK_ARGOS_STANDIN)
  // ARGoS writes past the end of its settings.
  EXPECT_THROW(cLEDs.SetSingleColor(13, CColor::RED), CARGoSException);
  EXPECT_THROW(cLEDs.SetSingleIntensity(13, 7), CARGoSException);
#endif
  cLEDs.Reset();
  EXPECT_EQ(cLEDs.GetSettings()[12], CColor::BLACK);
  // A list of settings replaces the LEDs, whatever its length.
  cLEDs.SetAllColors(CCI_LEDsActuator::TSettings(2, CColor::GREEN));
  EXPECT_EQ(cLEDs.GetNumLEDs(), 2u);
  cLEDs.SetAllIntensities(9);
  EXPECT_EQ(cLEDs.GetSettings()[1], CColor(0, 255, 0, 9));
}

TEST(ArgosDevices, FootBotProximityHas24ReadingsCounterClockwise) {
  CFootBotProximitySensor cSensor;
  const CCI_FootBotProximitySensor::TReadings &tReadings = cSensor.GetReadings();
  ASSERT_EQ(tReadings.size(), 24u);
  // Every sensor starts disabled.
  EXPECT_FALSE(cSensor.IsEnabled());
  cSensor.Enable();
  EXPECT_TRUE(cSensor.IsEnabled());
  EXPECT_NEAR(tReadings[0].Angle.GetValue(), 0.1309, 1e-4);
  EXPECT_NEAR(tReadings[5].Angle.GetValue(), 5.5 * ARGOS_PI / 12, 1e-12);
  EXPECT_NEAR(tReadings[12].Angle.GetValue(), -ARGOS_PI + ARGOS_PI / 24, 1e-12);
  EXPECT_NEAR(tReadings[23].Angle.GetValue(), -0.1309, 1e-4);
  cSensor.SetValue(3, 0.5);
  EXPECT_EQ(tReadings[3].Value, 0.5);
  EXPECT_THROW(cSensor.SetValue(24, 1), CARGoSException);
  EXPECT_THROW(cSensor.SetValues(std::vector<Real>(23, 0.1)), CARGoSException);
  cSensor.Reset();
  EXPECT_EQ(tReadings[3].Value, 0);
}

TEST(ArgosDevices, CameraUpdatesOnlyWhileEnabled) {
  CColoredBlobPerspectiveCameraSensor cCamera;
  EXPECT_FALSE(cCamera.IsEnabled());
  cCamera.SetVisibleBlobs({{CColor::RED, 324, 438}, {CColor::GREEN, 1, 2}});
  cCamera.Update();
  EXPECT_TRUE(cCamera.GetReadings().BlobList.empty());
  EXPECT_EQ(cCamera.GetReadings().Counter, 0u);
  cCamera.Enable();
  cCamera.Update();
  ASSERT_EQ(cCamera.GetReadings().BlobList.size(), 2u);
  EXPECT_EQ(cCamera.GetReadings().BlobList[0]->Color, CColor::RED);
  EXPECT_EQ(cCamera.GetReadings().BlobList[0]->X, 324);
  EXPECT_EQ(cCamera.GetReadings().Counter, 1u);
  // Disabled again: the last list stays.
  cCamera.Disable();
  cCamera.SetVisibleBlobs({});
  cCamera.Update();
  EXPECT_EQ(cCamera.GetReadings().BlobList.size(), 2u);
  cCamera.Reset();
  EXPECT_TRUE(cCamera.GetReadings().BlobList.empty());
  EXPECT_EQ(cCamera.GetReadings().Counter, 0u);
}

TEST(ArgosDevices, QuadRotorTargetsFollowThePose) {
  SPose sPose;
  sPose.Position.Set(1, 2, 1.5);
  sPose.Orientation.FromEulerAngles(CRadians::PI_OVER_TWO, CRadians::ZERO,
                                    CRadians::ZERO);
  CQuadRotorPositionActuator cActuator(&sPose);
  EXPECT_EQ(cActuator.GetTargetPosition(), sPose.Position);
  cActuator.SetAbsoluteYaw(CRadians(0.25));
  cActuator.SetAbsolutePosition(CVector3(3, 4, 2));
  EXPECT_EQ(cActuator.GetTargetPosition(), CVector3(3, 4, 2));
  EXPECT_EQ(cActuator.GetTargetYaw().GetValue(), 0.25);
  // Body frame: forward is world +Y when facing 90 degrees.
  cActuator.SetRelativePosition(CVector3(0.01, 0, 0));
  EXPECT_NEAR(cActuator.GetTargetPosition().GetX(), 1, 1e-12);
  EXPECT_NEAR(cActuator.GetTargetPosition().GetY(), 2.01, 1e-12);
  EXPECT_NEAR(cActuator.GetTargetPosition().GetZ(), 1.5, 1e-12);
  cActuator.SetRelativeYaw(CRadians(1.57));
  EXPECT_NEAR(cActuator.GetTargetYaw().GetValue(), ARGOS_PI / 2 + 1.57, 1e-12);
  ASSERT_EQ(cActuator.GetCommands().size(), 4u);
  EXPECT_EQ(cActuator.GetCommands()[2].Type,
            CQuadRotorPositionActuator::ECommand::RELATIVE_POSITION);
  EXPECT_EQ(cActuator.GetCommands()[2].Position, CVector3(0.01, 0, 0));
  cActuator.Reset();
  EXPECT_EQ(cActuator.GetTargetPosition(), sPose.Position);
  EXPECT_NEAR(cActuator.GetTargetYaw().GetValue(), ARGOS_PI / 2, 1e-12);
}

TEST(ArgosDevices, PositioningReadsItsPoseAtUpdate) {
  SPose sPose;
  CPositioningSensor cSensor(&sPose);
  sPose.Position.Set(0, -3, 1);
  EXPECT_EQ(cSensor.GetReading().Position, CVector3());
  cSensor.Update();
  EXPECT_EQ(cSensor.GetReading().Position, CVector3(0, -3, 1));
  CPositioningSensor cUnbound;
  cUnbound.SetReading(CVector3(1, 1, 1), CQuaternion(CRadians(1), CVector3::Z));
  cUnbound.Update();
  EXPECT_EQ(cUnbound.GetReading().Position, CVector3(1, 1, 1));
}

/* Harness */

namespace {

const char *const DUMMY_CONFIG = R"(
<test_dummy_controller id="dc">
  <actuators>
    <differential_steering implementation="default"/>
    <range_and_bearing implementation="default"/>
  </actuators>
  <sensors>
    <range_and_bearing implementation="medium" medium="rab"/>
    <positioning implementation="default"/>
  </sensors>
  <params speed="2"/>
</test_dummy_controller>)";

// Each configuration in a document of its own: Parse appends to a document.
class ArgosHarness : public testing::Test {
protected:
  TConfigurationNode &Config(const std::string &str_xml) {
    m_vecDocuments.push_back(std::make_unique<ticpp::Document>());
    m_vecDocuments.back()->Parse(str_xml);
    return *m_vecDocuments.back()->FirstChildElement();
  }
  std::vector<std::unique_ptr<ticpp::Document>> m_vecDocuments;
};

} // namespace

TEST_F(ArgosHarness, BuildsTheControllerLikeTheSimulator) {
  SRobotSettings sSettings;
  sSettings.RABDataSize = 32;
  CRobot cRobot("fb12", Config(DUMMY_CONFIG), sSettings);
  CDummyController &cController =
      dynamic_cast<CDummyController &>(cRobot.GetController());
  EXPECT_EQ(cController.IdAtInit, "fb12");
  EXPECT_EQ(cController.Speed, 2.0);
  EXPECT_EQ(cRobot.Actuator<CRangeAndBearingActuator>("range_and_bearing").GetSize(),
            32u);
  EXPECT_FALSE(cRobot.HasActuator("leds"));
  EXPECT_THROW(cRobot.Actuator<CLEDsActuator>("differential_steering"), CARGoSException);

  cRobot.Sensor<CRangeAndBearingSensor>("range_and_bearing")
      .AddReading(210.695, CRadians(0.5), CRadians::ZERO, CByteArray(32, 0));
  cRobot.GetPose().Position.Set(4, 5, 0);
  cRobot.Step();
  auto &cWheels = cRobot.Actuator<CDifferentialSteeringActuator>("differential_steering");
  EXPECT_EQ(cWheels.GetLeftVelocity(), 2.0);
  EXPECT_EQ(cWheels.GetRightVelocity(), -2.0);
  EXPECT_EQ(cRobot.Sensor<CPositioningSensor>("positioning").GetReading().Position,
            CVector3(4, 5, 0));

  // Devices are reset before the controller: it sees the cleared readings.
  cRobot.Reset();
  EXPECT_EQ(cWheels.GetLeftVelocity(), 0.0);
  cRobot.Destroy();
  cRobot.Destroy();
  EXPECT_EQ(cController.Events,
            (std::vector<std::string>{"init", "step", "reset:0", "destroy"}));
}

TEST_F(ArgosHarness, ConfigurationErrorsNestTheCause) {
  const std::string strUnknownDevice = ThrownText([&] {
    CRobot cRobot("fb1", Config(R"(<test_dummy_controller><actuators/>
      <sensors><efootbot_proximity implementation="default"/></sensors><params/>
      </test_dummy_controller>)"));
  });
  EXPECT_EQ(strUnknownDevice, "[FATAL] Error creating robot \"fb1\" with controller "
                              "\"test_dummy_controller\"\n"
                              "[FATAL] Symbol \"efootbot_proximity\" not found");
  const std::string strMissingDevice = ThrownText([&] {
    CRobot cRobot("fb2", Config(R"(<test_dummy_controller><actuators/><sensors/><params/>
      </test_dummy_controller>)"));
  });
  EXPECT_NE(
      strMissingDevice.find("\n[FATAL] Unknown actuator type differential_steering"),
      std::string::npos)
      << strMissingDevice;
  EXPECT_NE(ThrownText([&] {
              CRobot cRobot("fb3", Config(R"(<test_dummy_controller><actuators/><sensors/>
                </test_dummy_controller>)"));
            }).find("Node 'params' not found"),
            std::string::npos);
  EXPECT_NE(ThrownText([&] {
              CRobot cRobot("fb4", Config("<no_such_controller/>"));
            }).find("Symbol \"no_such_controller\" not found"),
            std::string::npos);
  EXPECT_NE(ThrownText([&] {
              CRobot cRobot("fb6", Config(R"(<test_dummy_controller>
                <actuators><differential_steering/><differential_steering/></actuators>
                <sensors/><params/></test_dummy_controller>)"));
            }).find("[FATAL] Device \"differential_steering\" is listed twice"),
            std::string::npos);
}

TEST_F(ArgosHarness, ExtraDevicesCanBeRegistered) {
  CDeviceRegistry::RegisterSensor("test_extra_sensor", [](const SDeviceContext &) {
    return new CFootBotProximitySensor;
  });
  CRobot cRobot("fb5", Config(R"(<test_dummy_controller>
      <actuators><differential_steering/></actuators>
      <sensors><range_and_bearing/><test_extra_sensor/></sensors><params/>
    </test_dummy_controller>)"));
  EXPECT_EQ(
      cRobot.Sensor<CFootBotProximitySensor>("test_extra_sensor").GetReadings().size(),
      24u);
}
