/*
 * Helpers for the simulator controller tests: Vesk scripts built at test
 * time into .vo/.vdb files in the test program's temporary directory, robots
 * built from XML controller definitions by the headless world's robot
 * harness, and access to a controller VM's globals and natives.
 */
#ifndef CONTROLLER_TEST_UTIL_H
#define CONTROLLER_TEST_UTIL_H

#include <gtest/gtest.h>

#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/logging/argos_log.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "sim_robot.h"
#include "script_build.h"
#include "temp_dir.h"
#include "thrown_text.h"
#include "vesk_controller.h"

namespace ctrl_test {

/* A compiled script: paths of its bytecode and debug files. */
struct SScript {
  std::string Bytecode;
  std::string Debug;
};

/* The directory of this test program's files, removed at exit. */
inline std::filesystem::path ScratchDir() {
  return TestProgramDir().path();
}

inline std::string WriteFile(const std::string &str_name, const std::string &str_text) {
  return TestProgramDir().write(str_name, str_text);
}

/* Builds a script (once per distinct source) into .vo and .vdb files, as
   `vsk build` does. Fails the test when it does not build. */
inline SScript Compile(const std::string &str_source) {
  static std::map<std::string, SScript> tCache;
  auto it = tCache.find(str_source);
  if (it != tCache.end()) return it->second;
  const std::string strBase = "script" + std::to_string(tCache.size());
  const std::string strSource = WriteFile(strBase + ".vsk", str_source);
  SScript sScript{TestProgramDir().file(strBase + ".vo"),
                  TestProgramDir().file(strBase + ".vdb")};
  if (!vesk_test::BuildFiles(strSource))
    ADD_FAILURE() << "script does not compile:\n" << str_source;
  tCache[str_source] = sScript;
  return sScript;
}

/* A script with empty init and step, for tests of natives. */
inline SScript EmptyScript() {
  return Compile("function init() {\n}\nfunction step() {\n}\n");
}

/* XML controller definition under a registration label. */
inline std::string ControllerXml(const std::string &str_label,
                                 const std::string &str_actuators,
                                 const std::string &str_sensors,
                                 const std::string &str_params,
                                 const std::string &str_params_body = "") {
  return "<" + str_label + " id=\"c\"><actuators>" + str_actuators +
         "</actuators><sensors>" + str_sensors + "</sensors><params " + str_params + ">" +
         str_params_body + "</params></" + str_label + ">";
}

inline std::string ScriptParams(const SScript &s_script) {
  return "bytecode_file=\"" + s_script.Bytecode + "\" debug_file=\"" + s_script.Debug +
         "\"";
}

const char RAB_ACTUATOR[] = "<range_and_bearing implementation=\"default\"/>";
const char RAB_SENSOR[] = "<range_and_bearing implementation=\"medium\" medium=\"rab\"/>";

/* One robot built by the robot harness from an XML definition. */
class CTestRobot {
public:
  CTestRobot(const std::string &str_id, const std::string &str_xml,
             size_t un_payload = 32) {
    m_cDocument.Parse(str_xml);
    /* The log's text is under test, not ARGoS's colouring of it. */
    argos::LOG.DisableColoredOutput();
    argos::LOGERR.DisableColoredOutput();
    vesksim::SRobotSettings sSettings;
    sSettings.RABDataSize = un_payload;
    m_pcRobot.reset(
        new vesksim::CRobot(str_id, *m_cDocument.FirstChildElement(), sSettings));
  }
  vesksim::CRobot &Robot() { return *m_pcRobot; }
  CVeskController &Controller() {
    return dynamic_cast<CVeskController &>(m_pcRobot->GetController());
  }
  template <typename T> T &As() { return dynamic_cast<T &>(m_pcRobot->GetController()); }
  veskvm_t VM() { return Controller().GetVeskVM(); }
  template <typename T> T &Actuator(const std::string &str_name) {
    return m_pcRobot->Actuator<T>(str_name);
  }
  template <typename T> T &Sensor(const std::string &str_name) {
    return m_pcRobot->Sensor<T>(str_name);
  }
  /* The packet the robot sends next. */
  const argos::CByteArray &Packet() {
    return Actuator<vesksim::CRangeAndBearingActuator>("range_and_bearing").GetData();
  }

private:
  ticpp::Document m_cDocument;
  std::unique_ptr<vesksim::CRobot> m_pcRobot;
};

/* The global str_name of the VM (a nil object when undefined). */
inline veskobj_t Global(veskvm_t t_vm, const std::string &str_name) {
  veskvm_pushstr(t_vm, str_name.c_str(), 0);
  veskvm_gload(t_vm);
  veskobj_t tObj = veskvm_stack_at(t_vm, 1);
  veskvm_pop(t_vm);
  return tObj;
}

typedef std::variant<int, std::string> TKey;

/* Element of a table (a nil object when absent). */
inline veskobj_t Field(veskvm_t t_vm, veskobj_t t_table, const TKey &t_key) {
  veskvm_push(t_vm, t_table);
  if (std::holds_alternative<int>(t_key))
    veskvm_pushi(t_vm, std::get<int>(t_key));
  else
    veskvm_pushstr(t_vm, std::get<std::string>(t_key).c_str(), 0);
  veskvm_tget(t_vm);
  veskobj_t tObj = veskvm_stack_at(t_vm, 1);
  veskvm_pop(t_vm);
  return tObj;
}

inline float FloatField(veskvm_t t_vm, veskobj_t t_table, const TKey &t_key) {
  veskobj_t tObj = Field(t_vm, t_table, t_key);
  EXPECT_EQ(veskobj_type(tObj), VESKTYPE_FLOAT);
  return veskobj_isfloat(tObj) ? tObj->f.value : -12345.0f;
}

inline int IntField(veskvm_t t_vm, veskobj_t t_table, const TKey &t_key) {
  veskobj_t tObj = Field(t_vm, t_table, t_key);
  EXPECT_EQ(veskobj_type(tObj), VESKTYPE_INT);
  return veskobj_isint(tObj) ? tObj->i.value : -12345;
}

/* An argument of a native called from a test. */
typedef std::variant<int, float, std::string> TArg;

/* Calls the global function str_name with the arguments; returns the VM
   state. A result stays on the stack. */
inline int Call(veskvm_t t_vm, const std::string &str_name,
                const std::vector<TArg> &vec_args) {
  veskvm_pushstr(t_vm, str_name.c_str(), 0);
  veskvm_gload(t_vm);
  for (const TArg &tArg : vec_args) {
    if (std::holds_alternative<int>(tArg))
      veskvm_pushi(t_vm, std::get<int>(tArg));
    else if (std::holds_alternative<float>(tArg))
      veskvm_pushf(t_vm, std::get<float>(tArg));
    else
      veskvm_pushstr(t_vm, std::get<std::string>(tArg).c_str(), 0);
  }
  return veskvm_closure_call(t_vm, static_cast<uint32_t>(vec_args.size()));
}

/* The VM's error text ("" when it has none). */
inline std::string ErrorText(veskvm_t t_vm) {
  return t_vm->errormsg ? t_vm->errormsg : "";
}

/* The bytes of a byte array. */
inline std::vector<argos::UInt8> Bytes(const argos::CByteArray &c_data) {
  if (c_data.Empty()) return {};
  return std::vector<argos::UInt8>(c_data.ToCArray(), c_data.ToCArray() + c_data.Size());
}

} // namespace ctrl_test

#endif
