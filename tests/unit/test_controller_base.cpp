/*
 * The controller base, exercised through the foot-bot controller on the
 * ARGoS stand-in: loading scripts from the XML configuration, the robot id,
 * the range-and-bearing packets in both directions, the natives `log` and
 * `debug`, error reports, Reset and Destroy.
 */
#include "controller_test_util.h"

#include <argos3/core/utility/math/angles.h>
#include <argos3/core/utility/math/rng.h>

#include <climits>

#include "sim_world.h"
#include "vesk_controller_footbot.h"
#include "veskoutmsg.h"

using namespace argos;
using namespace vesksim;
using namespace ctrl_test;

namespace {

std::string FootBotXml(const std::string &str_params,
                       const std::string &str_extra_sensors = "") {
  return ControllerXml("vesk_controller_footbot", RAB_ACTUATOR,
                       std::string(RAB_SENSOR) + str_extra_sensors, str_params);
}

std::string ScriptXml(const std::string &str_source) {
  return FootBotXml(ScriptParams(Compile(str_source)));
}

/* The first outbound message of a VM as bytes (the queue keeps it). */
std::vector<UInt8> FirstOutMsg(veskvm_t t_vm) {
  veskdarray_t tMsg = veskoutmsg_queue_first(t_vm);
  std::vector<UInt8> vecBytes(tMsg->data, tMsg->data + veskdarray_size(tMsg));
  veskdarray_destroy(&tMsg);
  return vecBytes;
}

/* Pushes the value of a test broadcast: nil for k = 0, else a string of
   k - 1 characters. */
void PushCandidate(veskvm_t t_vm, size_t un_k) {
  if (un_k == 0)
    veskvm_pushnil(t_vm);
  else
    veskvm_pushstr(t_vm, std::string(un_k - 1, 'x').c_str(), 0);
}

/* Queues a broadcast under topic "t" whose serialised size is exactly
   un_size bytes: the value is nil or a string of the length that fits. */
void QueueBroadcastOfSize(veskvm_t t_vm, size_t un_size) {
  for (size_t unK = 0; unK < 64; ++unK) {
    /* Measure on a scratch VM so t_vm's queue only gets the right one. */
    veskvm_t tScratch = veskvm_new(1);
    veskvm_pushstr(tScratch, "t", 0);
    PushCandidate(tScratch, unK);
    veskoutmsg_queue_append_broadcast(tScratch, veskvm_stack_at(tScratch, 2),
                                      veskvm_stack_at(tScratch, 1));
    const size_t unSize = FirstOutMsg(tScratch).size();
    veskvm_destroy(&tScratch);
    if (unSize == un_size) {
      veskvm_pushstr(t_vm, "t", 0);
      PushCandidate(t_vm, unK);
      veskoutmsg_queue_append_broadcast(t_vm, veskvm_stack_at(t_vm, 2),
                                        veskvm_stack_at(t_vm, 1));
      veskvm_pop(t_vm);
      veskvm_pop(t_vm);
      return;
    }
  }
  FAIL() << "no broadcast of " << un_size << " bytes";
}

const char LISTENER[] = R"(var got = nil
var sender = nil
var heard = 0
function init() {
  neighbors.listen("t", function(topic, value, rid) {
    got = value
    sender = rid
  })
}
function step() {
  heard = neighbors.count()
}
)";

} // namespace

/****************************************/
/* Init                                 */
/****************************************/

TEST(ControllerInit, ScriptRunsTopLevelAndInitWithItsGlobals) {
  CTestRobot cRobot("fb12", ScriptXml(R"(var stage = "top"
function init() {
  stage = "init"
}
function step() {
}
)"),
                    32);
  veskvm_t tVM = cRobot.VM();
  ASSERT_NE(tVM, nullptr);
  EXPECT_EQ(tVM->state, VESKVM_STATE_READY);
  EXPECT_STREQ(Global(tVM, "stage")->s.str, "init");
  EXPECT_EQ(Global(tVM, "id")->i.value, 12);
  EXPECT_EQ(cRobot.Controller().GetRobotId(), 12);
  veskobj_t tController = Global(tVM, "controller");
  ASSERT_TRUE(veskobj_isuserdata(tController));
  EXPECT_EQ(tController->u.value, static_cast<void *>(&cRobot.Controller()));
  EXPECT_TRUE(veskobj_isclosure(Global(tVM, "log")));
  EXPECT_TRUE(veskobj_isclosure(Global(tVM, "debug")));
  EXPECT_EQ(veskvm_stack_size(tVM), 0);
}

TEST(ControllerInit, SensorTablesAppearOnlyAfterInit) {
  CTestRobot cRobot("fb1",
                    ControllerXml("vesk_controller_footbot", RAB_ACTUATOR,
                                  std::string(RAB_SENSOR) +
                                      "<footbot_proximity implementation=\"default\"/>",
                                  ScriptParams(Compile(R"(var seen = 5
function init() {
  if (proximity == nil) {
    seen = 0
  }
}
function step() {
}
)"))));
  veskvm_t tVM = cRobot.VM();
  EXPECT_EQ(Global(tVM, "seen")->i.value, 0);
  EXPECT_TRUE(veskobj_istable(Global(tVM, "proximity")));
}

TEST(ControllerInit, WithoutScriptFilesTheVMIsEmptyAndStillAnnounces) {
  for (const std::string &strParams :
       {std::string(""), std::string("bytecode_file=\"x.vo\""),
        std::string("debug_file=\"x.vdb\"")}) {
    CTestRobot cRobot("fb7", FootBotXml(strParams), 8);
    veskvm_t tVM = cRobot.VM();
    ASSERT_NE(tVM, nullptr);
    EXPECT_EQ(tVM->state, VESKVM_STATE_NOCODE);
    EXPECT_EQ(tVM->robot, 7);
    EXPECT_TRUE(veskobj_isnil(Global(tVM, "log")));
    EXPECT_EQ(Bytes(cRobot.Packet()), (std::vector<UInt8>{0, 7, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cRobot.Controller().ErrorInfo(), "Script not loaded!");
  }
}

TEST(ControllerInit, EmptyVMReportsEveryStepAndKeepsSending) {
  CTestRobot cRobot("fb7", FootBotXml(""), 8);
  testing::internal::CaptureStderr();
  cRobot.Robot().Step();
  const std::string strErr = testing::internal::GetCapturedStderr();
  EXPECT_EQ(strErr.find("[ROBOT fb7] Robot is not ready to execute Vesk script.\n\n"),
            0u);
  EXPECT_NE(
      strErr.find("[ROBOT 7] : execution terminated abnormally: Script not loaded!\n\n"),
      std::string::npos);
  EXPECT_EQ(Bytes(cRobot.Packet()), (std::vector<UInt8>{0, 7, 0, 0, 0, 0, 0, 0}));
}

TEST(ControllerInit, RobotIdDropsTheTwoLetterPrefix) {
  const std::vector<std::pair<std::string, UInt16>> vecCases = {
      {"fb0", 0}, {"sp100", 100}, {"fb65535", 65535}, {"x", 0}, {"bsabc", 0}};
  for (const auto &tCase : vecCases) {
    CTestRobot cRobot(tCase.first, FootBotXml(""));
    EXPECT_EQ(cRobot.Controller().GetRobotId(), tCase.second) << tCase.first;
    EXPECT_EQ(cRobot.Packet()[0], tCase.second >> 8) << tCase.first;
    EXPECT_EQ(cRobot.Packet()[1], tCase.second & 0xFF) << tCase.first;
  }
}

TEST(ControllerInit, FailuresNestTheirCauseUnderTheControllerMessages) {
  const std::string strMissing = (ScratchDir() / "missing.vo").string();
  const std::string strText = ThrownText([&] {
    CTestRobot cRobot("fb1", FootBotXml("bytecode_file=\"" + strMissing +
                                        "\" debug_file=\"missing.vdb\""));
  });
  const std::string strExpected =
      "[FATAL] Error initializing the Vesk controller for the foot-bot\n"
      "[FATAL] Error initializing the Vesk controller\n"
      "[FATAL] Can't open file \"" +
      strMissing + "\": No such file or directory";
  EXPECT_NE(strText.find(strExpected), std::string::npos) << strText;

  const SScript sScript = EmptyScript();
  const std::string strNoDebug = ThrownText([&] {
    CTestRobot cRobot("fb1", FootBotXml("bytecode_file=\"" + sScript.Bytecode +
                                        "\" debug_file=\"/nonexistent/x.vdb\""));
  });
  EXPECT_NE(strNoDebug.find(
                "Can't open file \"/nonexistent/x.vdb\": No such file or directory"),
            std::string::npos)
      << strNoDebug;
}

TEST(ControllerInit, BadBytecodeIsALoadError) {
  const std::string strBad = WriteFile("bad.vo", std::string("\x01\x00", 2));
  const std::string strDbg = WriteFile("bad.vdb", "");
  const std::string strText = ThrownText([&] {
    CTestRobot cRobot("fb1", FootBotXml("bytecode_file=\"" + strBad + "\" debug_file=\"" +
                                        strDbg + "\""));
  });
  EXPECT_NE(strText.find("[FATAL] Error loading Vesk script \"" + strBad + "\": "),
            std::string::npos)
      << strText;
}

TEST(ControllerInit, RangeAndBearingDevicesAreRequired) {
  const std::string strNoSensor = ThrownText([] {
    CTestRobot cRobot("fb1",
                      ControllerXml("vesk_controller_footbot", RAB_ACTUATOR, "", ""));
  });
  EXPECT_NE(
      strNoSensor.find("Error initializing the Vesk controller\n[FATAL] Unknown sensor "
                       "type range_and_bearing"),
      std::string::npos)
      << strNoSensor;
  const std::string strSmall =
      ThrownText([] { CTestRobot cRobot("fb1", FootBotXml(""), 3); });
  EXPECT_NE(strSmall.find("payload size is 3 bytes"), std::string::npos) << strSmall;
}

/****************************************/
/* Packets                              */
/****************************************/

TEST(ControllerPackets, MessagesThatDoNotFitWaitForALaterStep) {
  CTestRobot cRobot("fb1", FootBotXml(ScriptParams(EmptyScript())), 32);
  veskvm_t tVM = cRobot.VM();
  QueueBroadcastOfSize(tVM, 10);
  QueueBroadcastOfSize(tVM, 20);
  const std::vector<UInt8> vecFirst = FirstOutMsg(tVM);
  ASSERT_EQ(vecFirst.size(), 10u);
  cRobot.Robot().Step();
  /* 2 + (2 + 10) = 14 bytes used; 14 + 2 + 20 = 36 > 32. */
  std::vector<UInt8> vecExpected = {0, 1, 0, 10};
  vecExpected.insert(vecExpected.end(), vecFirst.begin(), vecFirst.end());
  vecExpected.resize(32, 0);
  EXPECT_EQ(Bytes(cRobot.Packet()), vecExpected);
  ASSERT_EQ(veskoutmsg_queue_size(tVM), 1u);
  const std::vector<UInt8> vecSecond = FirstOutMsg(tVM);
  ASSERT_EQ(vecSecond.size(), 20u);
  cRobot.Robot().Step();
  vecExpected = {0, 1, 0, 20};
  vecExpected.insert(vecExpected.end(), vecSecond.begin(), vecSecond.end());
  vecExpected.resize(32, 0);
  EXPECT_EQ(Bytes(cRobot.Packet()), vecExpected);
  EXPECT_EQ(veskoutmsg_queue_size(tVM), 0u);
}

TEST(ControllerPackets, AMessageTooBigForAPacketIsDroppedAndBlocksNothing) {
  CTestRobot cRobot("fb1", FootBotXml(ScriptParams(EmptyScript())), 16);
  veskvm_t tVM = cRobot.VM();
  testing::internal::CaptureStderr();
  QueueBroadcastOfSize(tVM, 13); /* 2 + 2 + 13 > 16 */
  EXPECT_EQ(
      testing::internal::GetCapturedStderr(),
      "[WARNING] [ROBOT 1] Dropping VESKMSG_BROADCAST message of 13 bytes: a packet "
      "carries at most 12\n");
  QueueBroadcastOfSize(tVM, 10);
  const std::vector<UInt8> vecMsg = FirstOutMsg(tVM);
  cRobot.Robot().Step();
  std::vector<UInt8> vecExpected = {0, 1, 0, 10};
  vecExpected.insert(vecExpected.end(), vecMsg.begin(), vecMsg.end());
  vecExpected.resize(16, 0);
  EXPECT_EQ(Bytes(cRobot.Packet()), vecExpected);
  EXPECT_EQ(veskoutmsg_queue_size(tVM), 0u);
}

TEST(ControllerPackets, ReceivedMessagesReachTheListenersAndNeighbours) {
  CTestRobot cSender("fb3", FootBotXml(ScriptParams(EmptyScript())), 32);
  CTestRobot cReceiver("fb4", ScriptXml(LISTENER), 32);
  QueueBroadcastOfSize(cSender.VM(), 14); /* the value is "xx" */
  cSender.Robot().Step();
  cReceiver.Sensor<CRangeAndBearingSensor>("range_and_bearing")
      .AddReading(150.0, CRadians(0.5), CRadians(-0.25), cSender.Packet());
  cReceiver.Robot().Step();
  veskvm_t tVM = cReceiver.VM();
  ASSERT_EQ(tVM->state, VESKVM_STATE_READY) << ErrorText(tVM);
  EXPECT_EQ(Global(tVM, "heard")->i.value, 1);
  ASSERT_TRUE(veskobj_isint(Global(tVM, "sender")));
  EXPECT_EQ(Global(tVM, "sender")->i.value, 3);
  ASSERT_TRUE(veskobj_isstring(Global(tVM, "got")));
  EXPECT_STREQ(Global(tVM, "got")->s.str, "xx");
  /* The neighbour record carries the reception's range and bearings. */
  veskobj_t tData = Field(tVM, Global(tVM, "neighbors"), std::string("data"));
  veskobj_t tRecord = Field(tVM, tData, 3);
  EXPECT_FLOAT_EQ(FloatField(tVM, tRecord, std::string("distance")), 150.0f);
  EXPECT_FLOAT_EQ(FloatField(tVM, tRecord, std::string("azimuth")), 0.5f);
  EXPECT_FLOAT_EQ(FloatField(tVM, tRecord, std::string("elevation")), -0.25f);
}

TEST(ControllerPackets, AnEmptyAnnouncementMakesANeighbourWithoutMessages) {
  CTestRobot cSender("fb3", FootBotXml(""), 32);
  CTestRobot cReceiver("fb4", ScriptXml(LISTENER), 32);
  cReceiver.Sensor<CRangeAndBearingSensor>("range_and_bearing")
      .AddReading(80.0, CRadians(0.0), CRadians(0.0), cSender.Packet());
  cReceiver.Robot().Step();
  veskvm_t tVM = cReceiver.VM();
  EXPECT_EQ(Global(tVM, "heard")->i.value, 1);
  EXPECT_TRUE(veskobj_isnil(Global(tVM, "got")));
}

TEST(ControllerPackets, ALengthBeyondThePacketIsSkipped) {
  CTestRobot cSender("fb3", FootBotXml(ScriptParams(EmptyScript())), 32);
  QueueBroadcastOfSize(cSender.VM(), 14);
  const std::vector<UInt8> vecMsg = FirstOutMsg(cSender.VM());
  /* id 9, a length of 0x00FF that exceeds the packet, then a real message. */
  CByteArray cPacket;
  cPacket << static_cast<UInt16>(9) << static_cast<UInt16>(0x00FF);
  cPacket << static_cast<UInt16>(vecMsg.size());
  cPacket.AddBuffer(vecMsg.data(), vecMsg.size());
  while (cPacket.Size() < 32)
    cPacket << static_cast<UInt8>(0);
  CTestRobot cReceiver("fb4", ScriptXml(LISTENER), 32);
  cReceiver.Sensor<CRangeAndBearingSensor>("range_and_bearing")
      .AddReading(10.0, CRadians(0.0), CRadians(0.0), cPacket);
  cReceiver.Robot().Step();
  veskvm_t tVM = cReceiver.VM();
  /* The packet's sender is the neighbour; the message names its author. */
  EXPECT_EQ(Global(tVM, "heard")->i.value, 1);
  EXPECT_TRUE(veskobj_istable(
      Field(tVM, Field(tVM, Global(tVM, "neighbors"), std::string("data")), 9)));
  EXPECT_EQ(Global(tVM, "sender")->i.value, 3);
  ASSERT_TRUE(veskobj_isstring(Global(tVM, "got")));
  EXPECT_STREQ(Global(tVM, "got")->s.str, "xx");
}

TEST(ControllerPackets, MalformedPacketsNeverCrash) {
  CTestRobot cReceiver("fb4", ScriptXml(LISTENER), 32);
  CRangeAndBearingSensor &cSensor =
      cReceiver.Sensor<CRangeAndBearingSensor>("range_and_bearing");
  const std::vector<std::vector<UInt8>> vecPackets = {
      {},
      {7},
      {0, 8},
      {0, 9, 0},
      {0, 10, 0, 3, 1, 2},
      {0, 11, 0, 2, 0xFF, 0xFF, 0, 1, 0xAA},
      std::vector<UInt8>(32, 0xFF)};
  for (const auto &vecPacket : vecPackets)
    cSensor.AddReading(5.0, CRadians(0.0), CRadians(0.0),
                       CByteArray(vecPacket.data(), vecPacket.size()));
  cReceiver.Robot().Step();
  veskvm_t tVM = cReceiver.VM();
  /* Every packet of at least two bytes names a neighbour. */
  EXPECT_EQ(Global(tVM, "heard")->i.value, 5);
}

TEST(ControllerPackets, TwoRobotsTalkThroughTheWorldsRadio) {
  const SScript sScript = Compile(R"(var got = nil
function init() {
  neighbors.listen("hello", function(topic, value, rid) {
    got = value
  })
}
function step() {
  neighbors.broadcast("hello", id * 10)
}
)");
  ticpp::Document cDocument;
  cDocument.Parse(FootBotXml(ScriptParams(sScript)));
  vesksim::CWorld cWorld(10, CVector3(10, 10, 3), CVector3(0, 0, 1.5), {});
  vesksim::SRobotSpec sSpec;
  sSpec.RABDataSize = 64;
  for (const char *pchId : {"fb1", "fb2"}) {
    sSpec.Id = pchId;
    cWorld.AddRobot(sSpec, *cDocument.FirstChildElement());
    sSpec.Position.SetX(0.5);
  }
  for (int i = 0; i < 3; ++i)
    cWorld.Step();
  veskvm_t tVM1 =
      dynamic_cast<CVeskController &>(cWorld.GetBody(0).Robot->GetController())
          .GetVeskVM();
  veskvm_t tVM2 =
      dynamic_cast<CVeskController &>(cWorld.GetBody(1).Robot->GetController())
          .GetVeskVM();
  EXPECT_EQ(Global(tVM1, "got")->i.value, 20);
  EXPECT_EQ(Global(tVM2, "got")->i.value, 10);
}

/****************************************/
/* log and debug                        */
/****************************************/

TEST(ControllerNatives, LogWritesOneLineOnTheLog) {
  CTestRobot cRobot("fb1", ScriptXml(R"(function init() {
}
function step() {
  log(1, 2.5, "a", nil)
  log()
  log(0.1, {.a = 1, .b = 2}, 1000000.0)
}
)"));
  testing::internal::CaptureStdout();
  cRobot.Robot().Step();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "VESK: 12.5a[nil]\nVESK: \nVESK: 0.1[table with 2 elems]1e+06\n");
}

TEST(ControllerNatives, LogFormatsClosuresAndUserData) {
  CTestRobot cRobot("fb1", FootBotXml(ScriptParams(EmptyScript())));
  veskvm_t tVM = cRobot.VM();
  testing::internal::CaptureStdout();
  veskvm_pushstr(tVM, "log", 0);
  veskvm_gload(tVM);
  veskvm_pushstr(tVM, "log", 0);
  veskvm_gload(tVM); /* a native closure */
  veskvm_pushstr(tVM, "step", 0);
  veskvm_gload(tVM); /* a script closure */
  veskvm_pushu(tVM, nullptr);
  ASSERT_EQ(veskvm_closure_call(tVM, 3), VESKVM_STATE_READY);
  const int32_t nLogRef = Global(tVM, "log")->c.ref;
  const int32_t nStepRef = Global(tVM, "step")->c.ref;
  std::ostringstream cPointer;
  cPointer << static_cast<void *>(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "VESK: [c-closure @" + std::to_string(nLogRef) + "][n-closure @" +
                std::to_string(nStepRef) + "][userdata @" + cPointer.str() + "]\n");
}

TEST(ControllerNatives, DebugSetsTheMessageAndResetClearsIt) {
  CTestRobot cRobot("fb1", ScriptXml(R"(function init() {
  debug("at ", 3, " ", 1.5)
}
function step() {
}
)"));
  EXPECT_EQ(cRobot.Controller().GetDebugMsg(), "at 3 1.5");
  cRobot.Robot().Reset();
  EXPECT_EQ(cRobot.Controller().GetDebugMsg(), "at 3 1.5"); /* init ran again */
  CTestRobot cEmpty("fb2", FootBotXml(""));
  cEmpty.Controller().SetDebugMsg("something");
  cEmpty.Robot().Reset();
  EXPECT_EQ(cEmpty.Controller().GetDebugMsg(), "");
}

TEST(ControllerNatives, AnOverwrittenControllerGlobalIsATypeError) {
  CTestRobot cRobot("fb1", FootBotXml(ScriptParams(EmptyScript())));
  veskvm_t tVM = cRobot.VM();
  cRobot.Controller().Register("controller", 5);
  EXPECT_EQ(Call(tVM, "debug", {std::string("x")}), VESKVM_STATE_ERROR);
  EXPECT_EQ(ErrorText(tVM), "type mismatch: expected userdata, got integer");
  EXPECT_EQ(cRobot.Controller().GetDebugMsg(), "");
}

TEST(ControllerNatives, ForeignUserDataInTheControllerGlobalIsRefused) {
  /* A file handle is user data too; natives must not take it for the
     controller. */
  CTestRobot cRobot(
      "fb1", ScriptXml(R"(var f = io.fopen(")" + WriteFile("handle.txt", "x") + R"(", "r")
controller = f.handle
function init() {
}
function step() {
  debug("boom")
}
)"));
  testing::internal::CaptureStderr();
  cRobot.Robot().Step();
  const std::string strErr = testing::internal::GetCapturedStderr();
  EXPECT_EQ(cRobot.VM()->state, VESKVM_STATE_ERROR);
  EXPECT_NE(
      strErr.find("type mismatch: expected userdata of this robot's controller, got "
                  "userdata"),
      std::string::npos)
      << strErr;
  EXPECT_EQ(cRobot.Controller().GetDebugMsg(), "");
}

/****************************************/
/* Errors, stack, Reset, Destroy        */
/****************************************/

TEST(ControllerErrors, AStepErrorIsReportedWithItsSourcePosition) {
  const SScript sScript =
      Compile("function init() {\n}\nfunction step() {\n  var t = {}\n  "
              "t.missing()\n}\n");
  CTestRobot cRobot("fb5", FootBotXml(ScriptParams(sScript)));
  testing::internal::CaptureStderr();
  cRobot.Robot().Step();
  cRobot.Robot().Step();
  const std::string strErr = testing::internal::GetCapturedStderr();
  const std::string strInfo = cRobot.Controller().ErrorInfo();
  EXPECT_NE(strInfo.find(".vsk:5:"), std::string::npos) << strInfo;
  EXPECT_NE(strInfo.find(": type mismatch: "), std::string::npos) << strInfo;
  const std::string strLine = "[ROBOT 5] " + sScript.Bytecode +
                              ": execution terminated abnormally: " + strInfo + "\n\n";
  const size_t unFirst = strErr.find(strLine);
  ASSERT_NE(unFirst, std::string::npos) << strErr;
  /* The second step finds the VM not ready and reports the error again. */
  const size_t unNotReady = strErr.find("[ROBOT fb5] Robot is not ready", unFirst);
  ASSERT_NE(unNotReady, std::string::npos) << strErr;
  EXPECT_NE(strErr.find(strLine, unNotReady), std::string::npos) << strErr;
}

TEST(ControllerErrors, AMissingStepFunctionIsReportedEveryStep) {
  CTestRobot cRobot("fb5", ScriptXml("function init() {\n}\n"));
  testing::internal::CaptureStderr();
  cRobot.Robot().Step();
  const std::string strErr = testing::internal::GetCapturedStderr();
  EXPECT_NE(strErr.find("execution terminated abnormally: At bytecode offset -1: type "
                        "mismatch: expected closure, got nil\n\n"),
            std::string::npos)
      << strErr;
}

TEST(ControllerErrors, ResultsOfScriptFunctionsDoNotPileUpOnTheStack) {
  CTestRobot cRobot("fb1", ScriptXml(R"(var n = 0
function init() {
  return 1
}
function step() {
  n = n + 1
  return {.n = n}
}
function destroy() {
  return 2
}
)"));
  veskvm_t tVM = cRobot.VM();
  const int64_t nSize = veskvm_stack_size(tVM);
  for (int i = 0; i < 50; ++i)
    cRobot.Robot().Step();
  EXPECT_EQ(Global(tVM, "n")->i.value, 50);
  EXPECT_EQ(veskvm_stack_size(tVM), nSize);
  EXPECT_EQ(nSize, 0);
}

TEST(ControllerLifecycle, ResetReloadsTheScriptIntoAFreshVM) {
  CTestRobot cRobot("fb1", FootBotXml(ScriptParams(Compile(R"(var steps = 0
var inits = 0
function init() {
  inits = inits + 1
}
function step() {
  steps = steps + 1
}
)")),
                                      "<footbot_proximity implementation=\"default\"/>"));
  for (int i = 0; i < 4; ++i)
    cRobot.Robot().Step();
  EXPECT_EQ(Global(cRobot.VM(), "steps")->i.value, 4);
  cRobot.Controller().Register("leftover", 1);
  cRobot.Robot().Reset();
  veskvm_t tVM = cRobot.VM();
  EXPECT_EQ(Global(tVM, "steps")->i.value, 0);
  EXPECT_EQ(Global(tVM, "inits")->i.value, 1);
  EXPECT_TRUE(veskobj_isnil(Global(tVM, "leftover")));
  /* Sensor tables come back with the next step. */
  EXPECT_TRUE(veskobj_isnil(Global(tVM, "proximity")));
  cRobot.Robot().Step();
  EXPECT_TRUE(veskobj_istable(Global(tVM, "proximity")));
  EXPECT_EQ(Global(tVM, "steps")->i.value, 1);
}

/* ARGoS resets every controller twice per experiment reset. */
TEST(ControllerLifecycle, AResetBeforeAnyStepKeepsTheFreshScript) {
  CTestRobot cRobot("fb1", ScriptXml(R"(var inits = 0
function init() {
  inits = inits + 1
  log("init")
}
function step() {
}
)"));
  testing::internal::CaptureStdout();
  cRobot.Robot().Step();
  cRobot.Robot().Reset();
  veskvm_t tFresh = cRobot.VM();
  cRobot.Robot().Reset();
  EXPECT_EQ(cRobot.VM(), tFresh);
  EXPECT_EQ(Global(tFresh, "inits")->i.value, 1);
  cRobot.Robot().Step();
  cRobot.Robot().Reset();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "VESK: init\nVESK: init\n");
}

TEST(ControllerLifecycle, ResetFailuresGoToTheErrorLog) {
  const std::string strSource = "function init() {\n}\nfunction step() {\n}\n";
  const std::string strVo = WriteFile("reset.vo", "");
  const std::string strVdb = WriteFile("reset.vdb", "");
  const SScript sScript = Compile(strSource);
  std::filesystem::copy_file(sScript.Bytecode, strVo,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(sScript.Debug, strVdb,
                             std::filesystem::copy_options::overwrite_existing);
  CTestRobot cRobot(
      "fb1", FootBotXml("bytecode_file=\"" + strVo + "\" debug_file=\"" + strVdb + "\""));
  cRobot.Robot().Step();
  std::filesystem::remove(strVo);
  testing::internal::CaptureStderr();
  cRobot.Robot().Reset();
  const std::string strErr = testing::internal::GetCapturedStderr();
  EXPECT_NE(
      strErr.find("[FATAL] Can't open file \"" + strVo + "\": No such file or directory"),
      std::string::npos)
      << strErr;
  /* The robot keeps going with its new, empty VM. */
  ASSERT_NE(cRobot.VM(), nullptr);
  testing::internal::CaptureStderr();
  cRobot.Robot().Step();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Robot is not ready"),
            std::string::npos);
}

TEST(ControllerLifecycle, DestroyCallsTheScriptAndReleasesTheVM) {
  CTestRobot cRobot("fb1", ScriptXml(R"(function init() {
}
function step() {
}
function destroy() {
  log("bye ", id)
}
)"));
  testing::internal::CaptureStdout();
  cRobot.Robot().Destroy();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "VESK: bye 1\n");
  EXPECT_EQ(cRobot.VM(), nullptr);
  EXPECT_EQ(cRobot.Controller().ErrorInfo(), "Script not loaded!");
}

/****************************************/
/* Conversions                          */
/****************************************/

TEST(ControllerConversions, SimulatorValuesBecomeScriptValues) {
  CTestRobot cRobot("fb1", FootBotXml(ScriptParams(EmptyScript())));
  CVeskController &cController = cRobot.Controller();
  veskvm_t tVM = cRobot.VM();
  const int64_t nSize = veskvm_stack_size(tVM);
  cController.Register("i", 42);
  cController.Register("f", 0.25);
  cController.Register("r", CRadians(1.5));
  cController.Register("v", CVector3(1, 2, 3));
  CQuaternion cOrientation;
  cOrientation.FromEulerAngles(CRadians(0.5), CRadians(0.25), CRadians(-0.125));
  cController.Register("q", cOrientation);
  cController.Register("c", CColor(1, 2, 3, 4));
  veskobj_t tTable = cController.NewTable();
  cController.Register("t", tTable);
  cController.TablePut(tTable, 7, CVector3(4, 5, 6));
  cController.TablePut(tTable, "k", 3);
  EXPECT_EQ(veskvm_stack_size(tVM), nSize);
  EXPECT_EQ(Global(tVM, "i")->i.value, 42);
  EXPECT_FLOAT_EQ(Global(tVM, "f")->f.value, 0.25f);
  EXPECT_FLOAT_EQ(Global(tVM, "r")->f.value, 1.5f);
  veskobj_t tV = Global(tVM, "v");
  EXPECT_FLOAT_EQ(FloatField(tVM, tV, std::string("z")), 3.0f);
  veskobj_t tQ = Global(tVM, "q");
  EXPECT_NEAR(FloatField(tVM, tQ, std::string("yaw")), 0.5f, 1e-5);
  EXPECT_NEAR(FloatField(tVM, tQ, std::string("pitch")), 0.25f, 1e-5);
  EXPECT_NEAR(FloatField(tVM, tQ, std::string("roll")), -0.125f, 1e-5);
  veskobj_t tC = Global(tVM, "c");
  EXPECT_EQ(IntField(tVM, tC, std::string("red")), 1);
  EXPECT_EQ(IntField(tVM, tC, std::string("blue")), 3);
  EXPECT_EQ(veskdict_size(tC->t.value), 3u);
  EXPECT_FLOAT_EQ(FloatField(tVM, Field(tVM, tTable, 7), std::string("y")), 5.0f);
  EXPECT_EQ(IntField(tVM, tTable, std::string("k")), 3);
}

TEST(ControllerLifecycle, AControllerWhoseInitFailedIsNeverTouched) {
  /* No range-and-bearing sensor: Init fails before a VM exists. */
  CVeskControllerFootBot cController;
  cController.SetId("fb3");
  cController.AddActuator("range_and_bearing", new CRangeAndBearingActuator(16));
  ticpp::Document cDocument;
  cDocument.Parse("<params/>");
  EXPECT_THROW(cController.Init(*cDocument.FirstChildElement()), CARGoSException);
  EXPECT_EQ(cController.GetVeskVM(), nullptr);
  testing::internal::CaptureStderr();
  cController.ControlStep();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[ROBOT fb3] Robot is not ready to execute Vesk script.\n\n");
  cController.ProcessInMsgs();
  cController.ProcessOutMsgs();
  cController.UpdateSensors();
  EXPECT_EQ(cController.RegisterFunctions(), VESKVM_STATE_NOCODE);
  EXPECT_EQ(cController.Register("x", 1), VESKVM_STATE_NOCODE);
  EXPECT_EQ(cController.ErrorInfo(), "Script not loaded!");
  cController.Reset();
  cController.Destroy();
  EXPECT_EQ(cController.GetVeskVM(), nullptr);
}

/****************************************/
/* Random numbers                       */
/****************************************/

namespace {

/* What robot str_id's script drew first in init, under experiment seed
   un_seed; with b_reset, what it draws first after a reset following a step. */
int32_t FirstDraw(const std::string &str_id, UInt32 un_seed, bool b_reset = false,
                  const std::string &str_init = "first = rng.uniform()") {
  if (!CRandom::CreateCategory("argos", un_seed)) CRandom::SetSeedOf("argos", un_seed);
  CTestRobot cRobot(str_id, ScriptXml("var first = 0\nfunction init() { " + str_init +
                                      " }\nfunction step() { first = 0 }\n"));
  if (b_reset) {
    cRobot.Robot().Step();
    cRobot.Robot().Reset();
  }
  CRandom::RemoveCategory("argos");
  veskobj_t tFirst = Global(cRobot.VM(), "first");
  return veskobj_isint(tFirst) ? tFirst->i.value : INT32_MIN;
}

} // namespace

TEST(ControllerRandom, EachRobotIsSeededFromTheExperimentSeedAndItsId) {
  const int32_t nFirst = FirstDraw("fb1", 42);
  ASSERT_NE(nFirst, INT32_MIN);
  EXPECT_EQ(FirstDraw("fb1", 42), nFirst);
  EXPECT_EQ(FirstDraw("fb1", 42, true), nFirst); /* a reset seeds again */
  EXPECT_NE(FirstDraw("fb2", 42), nFirst);
  EXPECT_NE(FirstDraw("sp1", 42), nFirst); /* same number, other kind */
  EXPECT_NE(FirstDraw("fb1", 43), nFirst);
}

TEST(ControllerRandom, TheScriptsOwnSeedWins) {
  /* The first MT19937 output for seed 5489, as a signed integer. */
  for (UInt32 unSeed : {1u, 2u})
    EXPECT_EQ(FirstDraw("fb1", unSeed, false, "rng.setseed(5489) first = rng.uniform()"),
              -795755684);
}
