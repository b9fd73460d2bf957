/*
 * The checker's list of built-in globals against the globals that really
 * exist when a script runs: in the console runner's VM, and in the VM of
 * every robot kind's controller with all its devices after one control
 * step (sensor readings are registered then). A global that a library or
 * a controller starts to register fails here until the list has it.
 */
#include "controller_test_util.h"

#include "sim_efootbot_devices.h"
#include "veskcheck.h"
#include "vesktools.h"
#include "veskstrman.h"

#include <set>

using namespace ctrl_test;

namespace {

const char WHEELS[] = "<differential_steering implementation=\"default\"/>";
const char LEDS[] = "<leds implementation=\"default\" medium=\"leds\"/>";
const char BATTERY[] = "<battery implementation=\"default\" soc=\"0.75\"/>";

/* The globals of a VM by name, without the script's own init and step. */
std::set<std::string> GlobalNames(veskvm_t t_vm) {
  struct SCollect {
    veskvm_t VM;
    std::set<std::string> Names;
  } sCollect{t_vm, {}};
  veskdict_foreach(
      t_vm->gsyms,
      [](const void *pt_key, void *, void *pt_params) {
        auto *psCollect = static_cast<SCollect *>(pt_params);
        uint16_t unId = static_cast<uint16_t>(*static_cast<const int32_t *>(pt_key));
        psCollect->Names.insert(veskstrman_get(psCollect->VM->strings, unId));
      },
      &sCollect);
  sCollect.Names.erase("init");
  sCollect.Names.erase("step");
  return sCollect.Names;
}

/* The names the checker would wrongly report as never assigned. */
std::vector<std::string> Unlisted(const std::set<std::string> &set_names) {
  std::vector<std::string> vecMissing;
  for (const std::string &strName : set_names)
    if (!veskcheck_is_builtin(strName.c_str())) vecMissing.push_back(strName);
  return vecMissing;
}

std::set<std::string> RobotGlobals(const std::string &str_label,
                                   const std::string &str_actuators,
                                   const std::string &str_sensors) {
  CTestRobot cRobot("r1",
                    ControllerXml(str_label, std::string(RAB_ACTUATOR) + str_actuators,
                                  std::string(RAB_SENSOR) + str_sensors,
                                  ScriptParams(EmptyScript())));
  cRobot.Robot().Step();
  return GlobalNames(cRobot.VM());
}

/* The globals of the console runner's VM. */
std::set<std::string> ConsoleGlobals() {
  vesk_test::BuiltScript cScript(WriteFile("console.vsk", "function step() {\n}\n"));
  EXPECT_TRUE(cScript.ok()) << cScript.messages();
  veskvm_t tVM = veskvm_new(1);
  veskvm_set_bcode(tVM, cScript.code().data(),
                   static_cast<uint32_t>(cScript.code().size()));
  vesktools_register_print(tVM);
  std::set<std::string> setNames = GlobalNames(tVM);
  veskvm_destroy(&tVM);
  return setNames;
}

} // namespace

TEST(CheckBuiltins, TheListIsExactlyTheGlobalsOfTheRunnerAndEveryRobotKind) {
  vesksim::RegisterEFootBotDevices();
  const std::vector<std::set<std::string>> vecVMs = {
      ConsoleGlobals(),
      RobotGlobals("vesk_controller_footbot", std::string(WHEELS) + LEDS,
                   "<footbot_proximity implementation=\"default\"/>"),
      RobotGlobals("vesk_controller_efootbot", std::string(WHEELS) + LEDS,
                   std::string("<efootbot_proximity implementation=\"default\"/>") +
                       BATTERY),
      RobotGlobals("vesk_controller_base_station", std::string(WHEELS) + LEDS, ""),
      RobotGlobals("vesk_controller_spiri",
                   "<quadrotor_position implementation=\"default\"/>",
                   "<positioning implementation=\"default\"/>"
                   "<colored_blob_perspective_camera implementation=\"default\" "
                   "medium=\"leds\"/>")};
  std::set<std::string> setAll;
  for (const std::set<std::string> &setNames : vecVMs) {
    EXPECT_TRUE(setNames.count("print") || setNames.count("log")); /* really enumerated */
    EXPECT_EQ(Unlisted(setNames), std::vector<std::string>());
    setAll.insert(setNames.begin(), setNames.end());
  }
  /* No name stays listed after its registration has gone. */
  std::set<std::string> setListed;
  for (const char *const *ppchName = veskcheck_builtins(); *ppchName; ++ppchName)
    setListed.insert(*ppchName);
  EXPECT_EQ(setListed, setAll);
}

TEST(CheckBuiltins, ScriptNamesAreNotBuiltins) {
  for (const char *pchName : {"init", "step", "speed", "true", "false", "self", ""})
    EXPECT_FALSE(veskcheck_is_builtin(pchName)) << pchName;
}
