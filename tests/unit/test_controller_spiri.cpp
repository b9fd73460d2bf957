/*
 * The spiri controller on the ARGoS stand-in: take-off and landing, the cut
 * of long displacements, relative yaw, the camera switch, and the position,
 * orientation and blob tables.
 */
#include "controller_test_util.h"

#include <argos3/core/utility/math/angles.h>

#include "vesk_controller_spiri.h"

using namespace argos;
using namespace vesksim;
using namespace ctrl_test;

namespace {

const char PROPELLERS[] = "<quadrotor_position implementation=\"default\"/>";
const char POSITIONING[] = "<positioning implementation=\"default\"/>";
const char CAMERA[] =
    "<colored_blob_perspective_camera implementation=\"default\" medium=\"leds\"/>";

std::string SpiriXml(const std::string &str_actuators, const std::string &str_sensors) {
  return ControllerXml("vesk_controller_spiri", std::string(RAB_ACTUATOR) + str_actuators,
                       std::string(RAB_SENSOR) + str_sensors,
                       ScriptParams(EmptyScript()));
}

class Spiri : public testing::Test {
protected:
  Spiri()
      : m_cRobot("sp100", SpiriXml(PROPELLERS, std::string(POSITIONING) + CAMERA), 32) {}

  /* Places the robot and lets the positioning sensor see it. */
  void PlaceAt(const CVector3 &c_position) {
    m_cRobot.Robot().GetPose().Position = c_position;
    m_cRobot.Sensor<CPositioningSensor>("positioning").Update();
  }
  CQuadRotorPositionActuator &Propellers() {
    return m_cRobot.Actuator<CQuadRotorPositionActuator>("quadrotor_position");
  }
  /* Calls a native and returns its integer result. */
  int IntResult(const std::string &str_name) {
    veskvm_t tVM = m_cRobot.VM();
    EXPECT_EQ(Call(tVM, str_name, {}), VESKVM_STATE_READY) << ErrorText(tVM);
    veskobj_t tResult = veskvm_stack_at(tVM, 1);
    const int nResult = tResult && veskobj_isint(tResult) ? tResult->i.value : -1;
    veskvm_pop(tVM);
    return nResult;
  }
  /* The displacement commanded by goto(x, y). */
  CVector3 GoTo(const TArg &t_x, const TArg &t_y) {
    Propellers().ClearCommands();
    EXPECT_EQ(Call(m_cRobot.VM(), "goto", {t_x, t_y}), VESKVM_STATE_READY);
    const auto &vecCommands = Propellers().GetCommands();
    EXPECT_EQ(vecCommands.size(), 1u);
    if (vecCommands.size() != 1) return CVector3(-1, -1, -1);
    EXPECT_EQ(vecCommands[0].Type,
              CQuadRotorPositionActuator::ECommand::RELATIVE_POSITION);
    return vecCommands[0].Position;
  }

  CTestRobot m_cRobot;
};

void ExpectVector(const CVector3 &c_actual, Real f_x, Real f_y, Real f_z) {
  EXPECT_NEAR(c_actual.GetX(), f_x, 1e-12);
  EXPECT_NEAR(c_actual.GetY(), f_y, 1e-12);
  EXPECT_NEAR(c_actual.GetZ(), f_z, 1e-12);
}

} // namespace

TEST_F(Spiri, TakeOffCommandsOnlyAwayFromFlightAltitude) {
  PlaceAt(CVector3(1, 2, 1.995));
  EXPECT_EQ(IntResult("takeoff"), 0);
  EXPECT_TRUE(Propellers().GetCommands().empty());
  PlaceAt(CVector3(1, 2, 1.98));
  EXPECT_EQ(IntResult("takeoff"), 1);
  ASSERT_EQ(Propellers().GetCommands().size(), 1u);
  EXPECT_EQ(Propellers().GetCommands()[0].Type,
            CQuadRotorPositionActuator::ECommand::ABSOLUTE_POSITION);
  ExpectVector(Propellers().GetCommands()[0].Position, 1, 2, 2.0);
}

TEST_F(Spiri, LandCommandsOnlyAboveTheGround) {
  PlaceAt(CVector3(-1, 0.5, 0.005));
  EXPECT_EQ(IntResult("land"), 0);
  PlaceAt(CVector3(-1, 0.5, 0.02));
  EXPECT_EQ(IntResult("land"), 1);
  ASSERT_EQ(Propellers().GetCommands().size(), 1u);
  ExpectVector(Propellers().GetCommands()[0].Position, -1, 0.5, 0.0);
}

TEST_F(Spiri, LongDisplacementsAreCutToOneStep) {
  ExpectVector(GoTo(3.0f, 4.0f), 0.006, 0.008, 0);
  const CVector3 cShort = GoTo(0.05f, 0.05f);
  EXPECT_FLOAT_EQ(static_cast<float>(cShort.GetX()), 0.05f);
  EXPECT_FLOAT_EQ(static_cast<float>(cShort.GetY()), 0.05f);
  ExpectVector(GoTo(0.0f, 0.0f), 0, 0, 0);
  /* Integers are converted. */
  ExpectVector(GoTo(0, 2), 0, 0.01, 0);
}

TEST_F(Spiri, GoToAndRotateCheckTheirArguments) {
  veskvm_t tVM = m_cRobot.VM();
  EXPECT_EQ(Call(tVM, "goto", {1.0f, std::string("n")}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(tVM), "type mismatch: expected float, got string");
  EXPECT_TRUE(Propellers().GetCommands().empty());
  CTestRobot cOther("sp101", SpiriXml(PROPELLERS, ""), 32);
  EXPECT_EQ(Call(cOther.VM(), "rotate", {}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(cOther.VM()),
            "wrong number of local variables: expected 1 parameters, got 0");
}

TEST_F(Spiri, RotateTurnsRelativeToTheCurrentYaw) {
  ASSERT_EQ(Call(m_cRobot.VM(), "rotate", {1.57f}), VESKVM_STATE_READY);
  ASSERT_EQ(Call(m_cRobot.VM(), "rotate", {-1}), VESKVM_STATE_READY);
  const auto &vecCommands = Propellers().GetCommands();
  ASSERT_EQ(vecCommands.size(), 2u);
  EXPECT_EQ(vecCommands[0].Type, CQuadRotorPositionActuator::ECommand::RELATIVE_YAW);
  EXPECT_FLOAT_EQ(static_cast<float>(vecCommands[0].Yaw.GetValue()), 1.57f);
  EXPECT_DOUBLE_EQ(vecCommands[1].Yaw.GetValue(), -1.0);
}

TEST_F(Spiri, PositionAndOrientationTablesFollowThePose) {
  m_cRobot.Robot().GetPose().Position = CVector3(1.5, -2.0, 0.75);
  m_cRobot.Robot().GetPose().Orientation.FromEulerAngles(CRadians(1.0), CRadians(0.0),
                                                         CRadians(0.0));
  m_cRobot.Robot().Step();
  veskvm_t tVM = m_cRobot.VM();
  veskobj_t tPosition = Global(tVM, "position");
  EXPECT_FLOAT_EQ(FloatField(tVM, tPosition, std::string("x")), 1.5f);
  EXPECT_FLOAT_EQ(FloatField(tVM, tPosition, std::string("y")), -2.0f);
  EXPECT_FLOAT_EQ(FloatField(tVM, tPosition, std::string("z")), 0.75f);
  veskobj_t tOrientation = Global(tVM, "orientation");
  EXPECT_NEAR(FloatField(tVM, tOrientation, std::string("yaw")), 1.0f, 1e-6);
  EXPECT_NEAR(FloatField(tVM, tOrientation, std::string("pitch")), 0.0f, 1e-6);
}

TEST_F(Spiri, BlobsTableListsWhatTheEnabledCameraSees) {
  CColoredBlobPerspectiveCameraSensor &cCamera =
      m_cRobot.Sensor<CColoredBlobPerspectiveCameraSensor>(
          "colored_blob_perspective_camera");
  cCamera.SetVisibleBlobs(
      {CCI_ColoredBlobPerspectiveCameraSensor::SBlob(CColor::RED, 324, 438),
       CCI_ColoredBlobPerspectiveCameraSensor::SBlob(CColor::BLUE, 1, 2),
       CCI_ColoredBlobPerspectiveCameraSensor::SBlob(CColor::GREEN, 3, 4)});
  veskvm_t tVM = m_cRobot.VM();
  /* The camera starts off: nothing seen. */
  m_cRobot.Robot().Step();
  veskobj_t tBlobs = Global(tVM, "blobs");
  ASSERT_TRUE(veskobj_istable(tBlobs));
  EXPECT_EQ(veskdict_size(tBlobs->t.value), 0u);
  ASSERT_EQ(Call(tVM, "camera_enable", {}), VESKVM_STATE_READY);
  EXPECT_TRUE(cCamera.IsEnabled());
  m_cRobot.Robot().Step();
  tBlobs = Global(tVM, "blobs");
  EXPECT_EQ(veskdict_size(tBlobs->t.value), 3u);
  veskobj_t tFirst = Field(tVM, tBlobs, 0);
  EXPECT_EQ(IntField(tVM, tFirst, std::string("px")), 324);
  EXPECT_EQ(IntField(tVM, tFirst, std::string("py")), 438);
  veskobj_t tColor = Field(tVM, tFirst, std::string("color"));
  EXPECT_EQ(IntField(tVM, tColor, std::string("red")), 255);
  EXPECT_EQ(IntField(tVM, tColor, std::string("green")), 0);
  EXPECT_EQ(IntField(tVM, Field(tVM, tBlobs, 2), std::string("py")), 4);
  ASSERT_EQ(Call(tVM, "camera_disable", {}), VESKVM_STATE_READY);
  EXPECT_FALSE(cCamera.IsEnabled());
}

TEST(SpiriDevices, MissingDevicesRemoveTheirNativesAndTables) {
  CTestRobot cNoPositioning("sp1", SpiriXml(PROPELLERS, ""), 32);
  veskvm_t tVM = cNoPositioning.VM();
  for (const char *pchName :
       {"takeoff", "land", "position", "orientation", "blobs", "camera_enable"})
    EXPECT_TRUE(veskobj_isnil(Global(tVM, pchName))) << pchName;
  EXPECT_TRUE(veskobj_isclosure(Global(tVM, "goto")));
  EXPECT_TRUE(veskobj_isclosure(Global(tVM, "rotate")));

  CTestRobot cSensorsOnly("sp2", SpiriXml("", std::string(POSITIONING) + CAMERA), 32);
  tVM = cSensorsOnly.VM();
  for (const char *pchName : {"takeoff", "land", "goto", "rotate"})
    EXPECT_TRUE(veskobj_isnil(Global(tVM, pchName))) << pchName;
  EXPECT_TRUE(veskobj_istable(Global(tVM, "position")));
  EXPECT_TRUE(veskobj_istable(Global(tVM, "blobs")));
  EXPECT_TRUE(veskobj_isclosure(Global(tVM, "camera_disable")));
}

TEST(SpiriDevices, InitFailuresNameTheSpiri) {
  const std::string strText = ThrownText([] {
    CTestRobot cRobot("sp1", ControllerXml("vesk_controller_spiri", "", RAB_SENSOR, ""),
                      32);
  });
  EXPECT_NE(strText.find("[FATAL] Error initializing the Vesk controller for the spiri\n"
                         "[FATAL] Error initializing the Vesk controller\n"
                         "[FATAL] Unknown actuator type range_and_bearing"),
            std::string::npos)
      << strText;
}
