/*
 * CVeskController: the common base of the Vesk robot controllers of the
 * simulator plug-in. One controller gives one simulated robot one Vesk VM:
 * it loads the script named in the experiment's XML configuration, exposes
 * itself and the natives `log` and `debug` to the script, calls the script's
 * `init`, `step` and `destroy`, and carries the VM's swarm messages over the
 * robot's range-and-bearing device.
 *
 * Range-and-bearing packet: one per robot per step, exactly the payload size
 * of the robot's device, packed and unpacked by libvesk's packet codec
 * (veskpacket.h) that every host shares.
 *
 * Public API for hosts (the simulator, the headless runner, the GUI):
 *   Init/ControlStep/Reset/Destroy  - the simulator's life cycle;
 *   GetVeskVM()                     - the robot's VM (null before Init and
 *                                     after Destroy); read-only use;
 *   GetRobotId()                    - numeric robot id given to the VM;
 *   GetDebugMsg()                   - the text last set by the script's
 *                                     `debug` (shown above the robot);
 *   ErrorInfo()                     - the VM's error with its source position;
 *   GetBytecodeFile()/GetDebugFile() - the script files in use.
 * Derived controllers add devices, natives (RegisterFunctions) and sensor
 * tables (UpdateSensors), using Register/TablePut to build script values.
 *
 * Threads: the control steps of different robots may run at the same time
 * on different threads (ARGoS's <system threads="N"/>, vesksim's pool);
 * Init, Reset and Destroy run on one thread while no robot steps. A robot's
 * text (log lines, lines on standard error, failure reports) is written
 * whole, one line never cuts into another; a host that wants it in robot
 * order collects it per robot with CCapture and flushes it in order.
 */
#ifndef VESK_CONTROLLER_H
#define VESK_CONTROLLER_H

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/datatypes/byte_array.h>
#include <argos3/core/utility/datatypes/color.h>
#include <argos3/core/utility/math/angles.h>
#include <argos3/core/utility/math/quaternion.h>
#include <argos3/core/utility/math/vector3.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_sensor.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "veskdebug.h"
#include "veskmsg.h"
#include "veskvm.h"

class CVeskController : public argos::CCI_Controller {
public:
  CVeskController();
  /* Frees the VM and the debug information if Destroy() did not. */
  virtual ~CVeskController();

  /* t_node is the controller's <params> node ("bytecode_file",
     "debug_file"). Throws CARGoSException "Error initializing the Vesk
     controller" nesting the cause. */
  virtual void Init(argos::TConfigurationNode &t_node) override;
  /* Clears the debug message and reloads the script into a fresh VM;
     failures are written on LOGERR. */
  virtual void Reset() override;
  /* Calls the script's `destroy`, then frees the VM and debug information. */
  virtual void Destroy() override;
  /* Receive, refresh sensor tables, call `step`, send. */
  virtual void ControlStep() override;

  /* Loads the bytecode and debug files into a fresh VM, registers the
     natives, runs the top level and `init`. Throws CARGoSException. */
  virtual void SetBytecode(const std::string &str_bytecode_file,
                           const std::string &str_debug_file);
  /* Publishes `controller`, `log` and `debug`; returns the VM state.
     Derived controllers call this first, then add their own natives. */
  virtual int RegisterFunctions();
  /* Rebuilds the neighbours and queues the messages of the packets received. */
  virtual void ProcessInMsgs();
  /* Packs the queued outbound messages into this step's packet. */
  virtual void ProcessOutMsgs();
  /* Refreshes the sensor tables of the script (none in the base). */
  virtual void UpdateSensors();

  /* "file:line:column: message" of the VM's error, "At bytecode offset N:
     message" when the offset has no source position, or "Script not
     loaded!" without debug information. */
  std::string ErrorInfo();
  veskvm_t GetVeskVM() { return m_tVeskVM; }
  const std::string &GetDebugMsg() const { return m_strDebugMsg; }
  void SetDebugMsg(const std::string &str_msg) { m_strDebugMsg = str_msg; }
  argos::UInt16 GetRobotId() const { return m_unRobotId; }
  const std::string &GetBytecodeFile() const { return m_strBytecodeFName; }
  const std::string &GetDebugFile() const { return m_strDebugFName; }
  /* The loaded script's debug information (null before it is loaded). */
  veskdebug_t GetDebugInfo() { return m_tVeskDbgInfo; }

  /* Script values from simulator values. Each stores the converted value as
     a global (Register) or into a table under a string or integer key
     (TablePut), leaves the VM's stack as it was and returns the VM state.
     Vectors, quaternions and colours become new tables ({x, y, z},
     {yaw, pitch, roll} in radians, {red, green, blue}). */
  int Register(const std::string &str_name, veskobj_t t_value);
  int Register(const std::string &str_name, int n_value);
  int Register(const std::string &str_name, double f_value);
  int Register(const std::string &str_name, const argos::CRadians &c_value);
  int Register(const std::string &str_name, const argos::CVector3 &c_value);
  int Register(const std::string &str_name, const argos::CQuaternion &c_value);
  int Register(const std::string &str_name, const argos::CColor &c_value);
  int TablePut(veskobj_t t_table, const std::string &str_key, veskobj_t t_value);
  int TablePut(veskobj_t t_table, const std::string &str_key, int n_value);
  int TablePut(veskobj_t t_table, const std::string &str_key, double f_value);
  int TablePut(veskobj_t t_table, const std::string &str_key,
               const argos::CRadians &c_value);
  int TablePut(veskobj_t t_table, const std::string &str_key,
               const argos::CVector3 &c_value);
  int TablePut(veskobj_t t_table, const std::string &str_key,
               const argos::CQuaternion &c_value);
  int TablePut(veskobj_t t_table, const std::string &str_key,
               const argos::CColor &c_value);
  int TablePut(veskobj_t t_table, int n_idx, veskobj_t t_value);
  int TablePut(veskobj_t t_table, int n_idx, int n_value);
  int TablePut(veskobj_t t_table, int n_idx, double f_value);
  int TablePut(veskobj_t t_table, int n_idx, const argos::CRadians &c_value);
  int TablePut(veskobj_t t_table, int n_idx, const argos::CVector3 &c_value);
  int TablePut(veskobj_t t_table, int n_idx, const argos::CQuaternion &c_value);
  int TablePut(veskobj_t t_table, int n_idx, const argos::CColor &c_value);

  /* A new empty table on the VM's heap (not yet reachable: store it with
     Register or TablePut before the VM runs again). */
  veskobj_t NewTable();

  /* A script failure as the controller reports it at a control step. */
  struct SScriptFailure {
    std::string RobotId; /* the controller's id, e.g. "fb3" */
    /* The script function whose call failed: "step", or "init" or "" (the
       top level) when the script failed while it was loaded. */
    std::string Call;
    /* The call failed because the script has no function of that name. */
    bool CallMissing = false;
    std::string Error; /* ErrorInfo() */
    std::string Text;  /* all that is printed for it, VM dump included */
  };
  using TFailureReporter = std::function<void(const SScriptFailure &)>;
  /* Where every controller's failure reports go; by default (an empty
     function) their text is written on standard error. */
  static void SetFailureReporter(TFailureReporter t_reporter);

  /* What a robot wrote during its control steps, kept in the order written:
     `log` lines, text for standard output (the base station's forests) and
     for standard error (the "not ready" line, wheel traces, the messaging
     layer's warnings) and failure reports. */
  class COutput {
  public:
    /* Writes everything kept, in order, where it goes without a capture
       (LOG, standard output or error, the failure reporter), then forgets
       it. */
    void Flush();
    /* Forgets everything kept. */
    void Clear() { m_vecEntries.clear(); }
    bool Empty() const { return m_vecEntries.empty(); }

  private:
    friend class CVeskController;
    enum class EKind { LOG, OUTPUT, ERROR, FAILURE };
    struct SEntry {
      EKind Kind;
      std::string Text;
      SScriptFailure Failure;
    };
    std::vector<SEntry> m_vecEntries;
  };

  /* While it lives, what the controllers write on the calling thread goes
     into c_output instead. Captures nest; each restores the previous one. */
  class CCapture {
  public:
    explicit CCapture(COutput &c_output);
    ~CCapture();
    CCapture(const CCapture &) = delete;
    CCapture &operator=(const CCapture &) = delete;

  private:
    COutput *m_pcPrevious;
    veskmsg_warn_fn m_fnPreviousWarn;
    void *m_pPreviousWarnData;
  };

  /* A log line ("VESK: ..." without its newline), text for standard output
     (flushed) or standard error and a failure report, to the calling
     thread's capture or out, each in one write. */
  static void WriteLog(const std::string &str_line);
  static void WriteOutput(const std::string &str_text);
  static void WriteError(const std::string &str_text);
  static void WriteFailure(const SScriptFailure &s_failure);

  /* What a script writes with `log` (b_debug false) or `debug` (true), with
     the id of the robot whose VM wrote it, for GUIs that show it. Called in
     the thread that runs the controller; empty by default. */
  using TOutputObserver = std::function<void(argos::UInt16 un_robot, bool b_debug,
                                             const std::string &str_text)>;
  static void SetOutputObserver(TOutputObserver t_observer);

  /* Called with the controller whenever a script has been loaded into a
     fresh VM (at Init and at every Reset), before its top level runs: a
     debugger attaches there to stop in the top level or in init. Set it
     before the controllers are initialised; empty: nothing is called. */
  using TScriptLoadHook = std::function<void(CVeskController &)>;
  static void SetScriptLoadHook(TScriptLoadHook t_hook);

protected:
  /* Where a converted value goes: a global, or a table slot. */
  struct SSlot {
    veskobj_t Table; /* null for a global */
    const std::string *Key;
    int Index; /* used when Key is null */
  };

  /* Makes fun a global native function under str_name. */
  int RegisterNative(const char *str_name, veskvm_funp fun);

  /* The device configured under str_name, or null when it is absent or
     of another type (optional devices). */
  template <typename T> T *GetOptionalSensor(const std::string &str_name) {
    try {
      return GetSensor<T>(str_name);
    } catch (argos::CARGoSException &) {
      return nullptr;
    }
  }
  template <typename T> T *GetOptionalActuator(const std::string &str_name) {
    try {
      return GetActuator<T>(str_name);
    } catch (argos::CARGoSException &) {
      return nullptr;
    }
  }

  argos::CCI_RangeAndBearingActuator *m_pcRABA;
  argos::CCI_RangeAndBearingSensor *m_pcRABS;
  argos::UInt16 m_unRobotId;
  veskvm_t m_tVeskVM;
  veskdebug_t m_tVeskDbgInfo;
  std::string m_strBytecodeFName;
  std::string m_strDebugFName;
  argos::CByteArray m_cBytecode;
  std::string m_strDebugMsg;
  /* A script was loaded and has not stepped since. */
  bool m_bUnstepped = false;
  /* The script function that failed while the script was loaded ("" for
     the top level), valid while the VM is in the state "error". */
  std::string m_strFailedCall;

private:
  int Put(const SSlot &s_slot, veskobj_t t_value);
  int Put(const SSlot &s_slot, int n_value);
  int Put(const SSlot &s_slot, double f_value);
  int Put(const SSlot &s_slot, const argos::CRadians &c_value);
  int Put(const SSlot &s_slot, const argos::CVector3 &c_value);
  int Put(const SSlot &s_slot, const argos::CQuaternion &c_value);
  int Put(const SSlot &s_slot, const argos::CColor &c_value);

  void NewVM();
  void DestroyVM();
  /* Seeds the script's generator from the experiment's random seed and
     the robot id, so that robots differ and runs repeat. */
  void SeedGenerator();
  /* Runs the script's top level and init, remembering which one failed. */
  void StartScript();
  /* Reports the failed call of str_call (see SScriptFailure). */
  void ReportFailure(const std::string &str_call, const std::string &str_not_ready);
  /* Calls a script function with no arguments, then drops whatever the
     call left on the stack; the caller reports a failure. */
  int CallScript(const char *str_function);
  /* A packet with the robot id and no message. */
  void SendAnnouncement();
};

/*
 * Helpers for the natives of every controller.
 */

/* The controller of the VM, taken from the global `controller`. When that
   global no longer holds this VM's controller, sets the VM error "type
   mismatch" and returns null. */
CVeskController *VeskControllerOf(veskvm_t t_vm);

/* The same, as a derived controller class. */
template <typename T> T *VeskControllerAs(veskvm_t t_vm) {
  CVeskController *pcController = VeskControllerOf(t_vm);
  if (pcController == nullptr) return nullptr;
  T *pcDerived = dynamic_cast<T *>(pcController);
  if (pcDerived == nullptr)
    veskvm_seterror(t_vm, VESKVM_ERROR_TYPE, "expected %s, got %s",
                    "userdata of this robot's controller", "userdata");
  return pcDerived;
}

/* Checks the argument count and then the exact type of every argument,
   from the first; on the first failure sets the VM error and returns false. */
bool VeskCheckArgs(veskvm_t t_vm, std::initializer_list<uint16_t> t_types);

/* Checks that there are exactly un_count arguments, each an integer or a
   float, and stores them (integers converted) in pf_values; on failure sets
   the VM error ("expected float, got <type>") and returns false. */
bool VeskNumberArgs(veskvm_t t_vm, unsigned un_count, double *pf_values);

/* Argument un_idx (1-based) of the current native; the caller has checked
   that it exists. */
veskobj_t VeskArg(veskvm_t t_vm, unsigned un_idx);

/* Natives of the base controller. */
int VeskLOG(veskvm_t t_vm);
int VeskDebug(veskvm_t t_vm);

#endif
