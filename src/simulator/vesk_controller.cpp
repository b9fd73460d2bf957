/*
 * CVeskController: loading a robot's script, the simulator's life cycle,
 * the range-and-bearing packets, the conversions of simulator values into
 * script values and the natives `log` and `debug`.
 */
#include "vesk_controller.h"

#include <argos3/core/utility/logging/argos_log.h>
#include <argos3/core/utility/math/rng.h>
#include <argos3/core/utility/string_utilities.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <vector>

#include "veskinmsg.h"
#include "veskmath.h"
#include "veskneighbors.h"
#include "veskoutmsg.h"
#include "veskpacket.h"

using namespace argos;

namespace {

/* The controller owning each live VM. Natives check the global
   `controller` against it, so a script that stores some other user data
   there gets an error instead of a wild pointer. Robots stepping on other
   threads read it at the same time; VMs come and go (Init, Reset,
   Destroy) under the exclusive lock. */
struct SVMOwners {
  std::shared_mutex Lock;
  std::unordered_map<veskvm_t, CVeskController *> Map;
};

SVMOwners &VMOwners() {
  static SVMOwners sOwners;
  return sOwners;
}

/* The controller owning t_vm, or null. */
CVeskController *OwnerOf(veskvm_t t_vm) {
  SVMOwners &sOwners = VMOwners();
  std::shared_lock<std::shared_mutex> cLock(sOwners.Lock);
  auto it = sOwners.Map.find(t_vm);
  return it == sOwners.Map.end() ? nullptr : it->second;
}

/* The thread that loaded the plug-in: the simulator's main thread, which
   steps the robots itself when it runs them one after another. */
const std::thread::id MAIN_THREAD = std::this_thread::get_id();

/* Where the calling thread's controllers write; null: straight out. */
thread_local CVeskController::COutput *tCapture = nullptr;

/* Restores the size of the VM's current stack when the scope ends, if the
   call it guards came back to the same stack. */
class CStackGuard {
public:
  explicit CStackGuard(veskvm_t t_vm)
      : m_tVM(t_vm), m_nDepth(veskdarray_size(t_vm->stacks)),
        m_nSize(veskvm_stack_size(t_vm)) {}
  ~CStackGuard() {
    if (veskdarray_size(m_tVM->stacks) != m_nDepth) return;
    while (veskvm_stack_size(m_tVM) > m_nSize)
      veskvm_pop(m_tVM);
  }
  CStackGuard(const CStackGuard &) = delete;
  CStackGuard &operator=(const CStackGuard &) = delete;

private:
  veskvm_t m_tVM;
  int64_t m_nDepth;
  int64_t m_nSize;
};

/* One argument of log/debug as text. */
void FormatValue(std::ostream &c_out, veskobj_t t_obj) {
  switch (veskobj_type(t_obj)) {
  case VESKTYPE_NIL:
    c_out << "[nil]";
    break;
  case VESKTYPE_INT:
    c_out << t_obj->i.value;
    break;
  case VESKTYPE_FLOAT:
    c_out << t_obj->f.value;
    break;
  case VESKTYPE_STRING:
    c_out << t_obj->s.str;
    break;
  case VESKTYPE_TABLE:
    c_out << "[table with " << veskdict_size(t_obj->t.value) << " elems]";
    break;
  case VESKTYPE_CLOSURE:
    c_out << (t_obj->c.isscript ? "[n-closure @" : "[c-closure @") << t_obj->c.ref << "]";
    break;
  case VESKTYPE_USERDATA:
    c_out << "[userdata @" << t_obj->u.value << "]";
    break;
  default:
    c_out << "[unknown]";
    break;
  }
}

/* All arguments of the current native, formatted one after the other. */
std::string FormatArgs(veskvm_t t_vm) {
  std::ostringstream cOut;
  const int64_t nArgs = veskvm_lnum(t_vm);
  for (int64_t i = 1; i <= nArgs; ++i)
    FormatValue(cOut, veskvm_lsym(t_vm, static_cast<uint32_t>(i)));
  return cOut.str();
}

/* The report sink of every controller; empty: standard error. */
CVeskController::TFailureReporter &FailureReporter() {
  static CVeskController::TFailureReporter tReporter;
  return tReporter;
}

/* The observer of the scripts' `log` and `debug` output; empty: none. */
CVeskController::TOutputObserver &OutputObserver() {
  static CVeskController::TOutputObserver tObserver;
  return tObserver;
}

/* Called when a script has been loaded, before it runs; empty: nothing. */
CVeskController::TScriptLoadHook &ScriptLoadHook() {
  static CVeskController::TScriptLoadHook tHook;
  return tHook;
}

/* A robot's seed: the experiment's seed and the robot's id mixed so that
   nearby seeds and ids give unrelated streams (FNV-1a over the id, then the
   splitmix64 finaliser). */
uint32_t RobotSeed(uint32_t un_experiment_seed, const std::string &str_id) {
  uint64_t unHash = 14695981039346656037ull;
  for (unsigned char c : str_id)
    unHash = (unHash ^ c) * 1099511628211ull;
  uint64_t z = unHash ^ (static_cast<uint64_t>(un_experiment_seed) << 32);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

/* Everything veskvm_dump writes, as text. */
std::string DumpText(veskvm_t t_vm) {
  char *pchText = nullptr;
  size_t unSize = 0;
  FILE *pcOut = open_memstream(&pchText, &unSize);
  if (pcOut == nullptr) return "";
  veskvm_dump_to(t_vm, pcOut);
  fclose(pcOut);
  std::string strText(pchText, unSize);
  free(pchText);
  return strText;
}

std::string SystemError() {
  return errno != 0 ? ::strerror(errno) : "unknown error";
}

} // namespace

/****************************************/
/* Life cycle                           */
/****************************************/

CVeskController::CVeskController()
    : m_pcRABA(nullptr), m_pcRABS(nullptr), m_unRobotId(0), m_tVeskVM(nullptr),
      m_tVeskDbgInfo(nullptr) {}

CVeskController::~CVeskController() {
  DestroyVM();
  if (m_tVeskDbgInfo) veskdebug_destroy(&m_tVeskDbgInfo);
}

void CVeskController::Init(TConfigurationNode &t_node) {
  try {
    m_pcRABA = GetActuator<CCI_RangeAndBearingActuator>("range_and_bearing");
    m_pcRABS = GetSensor<CCI_RangeAndBearingSensor>("range_and_bearing");
    if (m_pcRABA->GetSize() < VESKPACKET_MIN_SIZE)
      THROW_ARGOSEXCEPTION("The range-and-bearing payload size is "
                           << m_pcRABA->GetSize() << " bytes; Vesk needs at least "
                           << VESKPACKET_MIN_SIZE << " (set rab_data_size)");
    GetNodeAttributeOrDefault<std::string>(t_node, "bytecode_file", m_strBytecodeFName,
                                           std::string());
    GetNodeAttributeOrDefault<std::string>(t_node, "debug_file", m_strDebugFName,
                                           std::string());
    /* "fb12" is robot 12: the id without its two-letter kind prefix. */
    m_unRobotId = GetId().size() > 2 ? FromString<UInt16>(GetId().substr(2)) : 0;
    if (!m_strBytecodeFName.empty() && !m_strDebugFName.empty()) {
      SetBytecode(m_strBytecodeFName, m_strDebugFName);
    } else {
      NewVM();
    }
    UpdateSensors();
    /* An empty announcement, so the others see this robot from step one. */
    SendAnnouncement();
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error initializing the Vesk controller", ex);
  }
}

void CVeskController::SetBytecode(const std::string &str_bytecode_file,
                                  const std::string &str_debug_file) {
  m_bUnstepped = false;
  NewVM();
  if (m_tVeskDbgInfo) veskdebug_destroy(&m_tVeskDbgInfo);
  m_tVeskDbgInfo = veskdebug_new();
  m_strBytecodeFName = str_bytecode_file;
  m_strDebugFName = str_debug_file;
  /* The whole bytecode file; the VM keeps a pointer into this array. */
  errno = 0;
  std::ifstream cFile(str_bytecode_file, std::ios::binary | std::ios::ate);
  if (!cFile)
    THROW_ARGOSEXCEPTION("Can't open file \"" << str_bytecode_file
                                              << "\": " << SystemError());
  const std::streamoff nSize = cFile.tellg();
  if (nSize < 0 || nSize > static_cast<std::streamoff>(UINT32_MAX)) {
    errno = nSize < 0 ? errno : EFBIG;
    THROW_ARGOSEXCEPTION("Can't open file \"" << str_bytecode_file
                                              << "\": " << SystemError());
  }
  m_cBytecode.Clear();
  m_cBytecode.Resize(static_cast<size_t>(nSize), 0);
  cFile.seekg(0, std::ios::beg);
  if (nSize > 0 && !cFile.read(reinterpret_cast<char *>(m_cBytecode.ToCArray()), nSize))
    THROW_ARGOSEXCEPTION("Can't open file \"" << str_bytecode_file
                                              << "\": " << SystemError());
  errno = 0;
  if (!veskdebug_fromfile(m_tVeskDbgInfo, str_debug_file.c_str()))
    THROW_ARGOSEXCEPTION("Can't open file \"" << str_debug_file
                                              << "\": " << SystemError());
  if (veskvm_set_bcode(m_tVeskVM, m_cBytecode.ToCArray(),
                       static_cast<uint32_t>(m_cBytecode.Size())) != VESKVM_STATE_READY)
    THROW_ARGOSEXCEPTION("Error loading Vesk script \"" << str_bytecode_file
                                                        << "\": " << ErrorInfo());
  if (RegisterFunctions() != VESKVM_STATE_READY)
    THROW_ARGOSEXCEPTION("Error while registering functions");
  SeedGenerator();
  if (ScriptLoadHook()) ScriptLoadHook()(*this);
  StartScript();
  m_bUnstepped = true;
}

void CVeskController::SeedGenerator() {
  /* The simulator creates the category from the experiment's random_seed;
     a controller built outside a simulation keeps the VM's default. */
  if (!CRandom::ExistsCategory("argos")) return;
  mt_setseed(m_tVeskVM,
             static_cast<int32_t>(RobotSeed(CRandom::GetSeedOf("argos"), GetId())));
}

/* Errors of the top level and init show at the first step. */
void CVeskController::StartScript() {
  CStackGuard cGuard(m_tVeskVM);
  m_strFailedCall.clear();
  if (veskvm_execute_script(m_tVeskVM) == VESKVM_STATE_ERROR) return;
  m_strFailedCall = "init";
  veskvm_function_call(m_tVeskVM, "init", 0);
}

void CVeskController::ControlStep() {
  /* The "not ready" line goes out with the failure it announces. */
  std::string strNotReady;
  if (m_tVeskVM == nullptr || m_tVeskVM->state != VESKVM_STATE_READY)
    strNotReady =
        "[ROBOT " + GetId() + "] Robot is not ready to execute Vesk script.\n\n";
  if (m_tVeskVM == nullptr) {
    WriteError(strNotReady);
    return;
  }
  m_bUnstepped = false;
  const bool bWasReady = strNotReady.empty() || m_tVeskVM->state == VESKVM_STATE_DONE;
  ProcessInMsgs();
  UpdateSensors();
  if (CallScript("step") != VESKVM_STATE_READY)
    ReportFailure(bWasReady ? "step" : m_strFailedCall, strNotReady);
  else if (!strNotReady.empty())
    WriteError(strNotReady);
  ProcessOutMsgs();
}

void CVeskController::SetFailureReporter(TFailureReporter t_reporter) {
  FailureReporter() = std::move(t_reporter);
}

void CVeskController::SetOutputObserver(TOutputObserver t_observer) {
  OutputObserver() = std::move(t_observer);
}

void CVeskController::SetScriptLoadHook(TScriptLoadHook t_hook) {
  ScriptLoadHook() = std::move(t_hook);
}

/****************************************/
/* Output                               */
/****************************************/

/* Without a capture: LOG holds one buffer per thread under ARGoS's threads,
   flushed by the simulator after every step; only the main thread may
   flush it at once (a flush copies every thread's buffer). */
void CVeskController::WriteLog(const std::string &str_line) {
  if (tCapture != nullptr) {
    tCapture->m_vecEntries.push_back({COutput::EKind::LOG, str_line, {}});
    return;
  }
  /* One insertion, so the log writes one clean line. */
  LOG << str_line << std::endl;
  if (std::this_thread::get_id() == MAIN_THREAD) LOG.Flush();
}

void CVeskController::WriteOutput(const std::string &str_text) {
  if (tCapture != nullptr) {
    tCapture->m_vecEntries.push_back({COutput::EKind::OUTPUT, str_text, {}});
    return;
  }
  fputs(str_text.c_str(), stdout);
  fflush(stdout);
}

/* One write: lines of robots on other threads never cut into it. */
void CVeskController::WriteError(const std::string &str_text) {
  if (tCapture != nullptr)
    tCapture->m_vecEntries.push_back({COutput::EKind::ERROR, str_text, {}});
  else
    fputs(str_text.c_str(), stderr);
}

void CVeskController::WriteFailure(const SScriptFailure &s_failure) {
  if (tCapture != nullptr)
    tCapture->m_vecEntries.push_back({COutput::EKind::FAILURE, {}, s_failure});
  else if (FailureReporter())
    FailureReporter()(s_failure);
  else
    fputs(s_failure.Text.c_str(), stderr);
}

void CVeskController::COutput::Flush() {
  /* Entries are moved out first: writing may capture again elsewhere. */
  std::vector<SEntry> vecEntries;
  vecEntries.swap(m_vecEntries);
  for (const SEntry &sEntry : vecEntries) {
    if (sEntry.Kind == EKind::FAILURE)
      WriteFailure(sEntry.Failure);
    else if (sEntry.Kind == EKind::LOG)
      WriteLog(sEntry.Text);
    else if (sEntry.Kind == EKind::OUTPUT)
      WriteOutput(sEntry.Text);
    else
      WriteError(sEntry.Text);
  }
}

namespace {

void CaptureWarning(const char *pch_text, void *) {
  CVeskController::WriteError(pch_text);
}

} // namespace

CVeskController::CCapture::CCapture(COutput &c_output) : m_pcPrevious(tCapture) {
  tCapture = &c_output;
  veskmsg_set_warn_handler(CaptureWarning, nullptr, &m_fnPreviousWarn,
                           &m_pPreviousWarnData);
}

CVeskController::CCapture::~CCapture() {
  tCapture = m_pcPrevious;
  veskmsg_set_warn_handler(m_fnPreviousWarn, m_pPreviousWarnData, nullptr, nullptr);
}

void CVeskController::ReportFailure(const std::string &str_call,
                                    const std::string &str_not_ready) {
  SScriptFailure sFailure;
  sFailure.RobotId = GetId();
  sFailure.Call = str_call;
  /* veskvm_function_call fails before running anything (no instruction
     offset) only when the name does not hold a function. */
  sFailure.CallMissing = !str_call.empty() && veskvm_error_offset(m_tVeskVM) < 0 &&
                         m_tVeskVM->error == VESKVM_ERROR_TYPE;
  sFailure.Error = ErrorInfo();
  char pchLine[64];
  snprintf(pchLine, sizeof pchLine, "[ROBOT %u] ",
           static_cast<unsigned>(m_tVeskVM->robot));
  sFailure.Text = str_not_ready + pchLine + m_strBytecodeFName +
                  ": execution terminated abnormally: " + sFailure.Error + "\n\n" +
                  DumpText(m_tVeskVM);
  WriteFailure(sFailure);
}

/* ARGoS resets a robot's controller twice per experiment reset (once as an
 * entity of its space, once as a component of the robot): a script loaded
 * and not stepped since is already what a reload would give, and reloading
 * it again would run its top level and init twice. */
void CVeskController::Reset() {
  if (m_bUnstepped) return;
  m_strDebugMsg.clear();
  if (m_strBytecodeFName.empty() || m_strDebugFName.empty()) return;
  try {
    SetBytecode(m_strBytecodeFName, m_strDebugFName);
  } catch (CARGoSException &ex) {
    LOGERR << ex.what() << std::endl;
    LOGERR.Flush();
  }
}

void CVeskController::Destroy() {
  if (m_tVeskVM) CallScript("destroy");
  DestroyVM();
  if (m_tVeskDbgInfo) veskdebug_destroy(&m_tVeskDbgInfo);
}

void CVeskController::UpdateSensors() {}

int CVeskController::CallScript(const char *str_function) {
  CStackGuard cGuard(m_tVeskVM);
  return veskvm_function_call(m_tVeskVM, str_function, 0);
}

void CVeskController::NewVM() {
  DestroyVM();
  m_tVeskVM = veskvm_new(m_unRobotId);
  {
    std::unique_lock<std::shared_mutex> cLock(VMOwners().Lock);
    VMOwners().Map[m_tVeskVM] = this;
  }
  /* Before any script runs, so that what it queues is checked against the
     packets this robot's radio can send. */
  if (m_pcRABA)
    veskpacket_set_size(m_tVeskVM, static_cast<uint32_t>(m_pcRABA->GetSize()));
}

void CVeskController::DestroyVM() {
  if (m_tVeskVM == nullptr) return;
  {
    std::unique_lock<std::shared_mutex> cLock(VMOwners().Lock);
    VMOwners().Map.erase(m_tVeskVM);
  }
  veskvm_destroy(&m_tVeskVM);
}

/****************************************/
/* Natives                              */
/****************************************/

int CVeskController::RegisterFunctions() {
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  veskvm_pushstr(m_tVeskVM, "controller", 1);
  veskvm_pushu(m_tVeskVM, this);
  veskvm_gstore(m_tVeskVM);
  RegisterNative("log", VeskLOG);
  RegisterNative("debug", VeskDebug);
  return m_tVeskVM->state;
}

int CVeskController::RegisterNative(const char *str_name, veskvm_funp fun) {
  veskvm_pushstr(m_tVeskVM, str_name, 1);
  veskvm_pushc(m_tVeskVM, static_cast<int32_t>(veskvm_function_register(m_tVeskVM, fun)),
               0);
  return veskvm_gstore(m_tVeskVM);
}

CVeskController *VeskControllerOf(veskvm_t t_vm) {
  veskvm_pushstr(t_vm, "controller", 1);
  veskvm_gload(t_vm);
  veskobj_t tObj = veskvm_stack_at(t_vm, 1);
  if (tObj == nullptr) return nullptr; /* the VM already has an error */
  veskvm_pop(t_vm);
  if (!veskobj_isuserdata(tObj)) {
    veskvm_type_error(t_vm, VESKTYPE_USERDATA, tObj);
    return nullptr;
  }
  CVeskController *pcOwner = OwnerOf(t_vm);
  if (pcOwner == nullptr || pcOwner != tObj->u.value) {
    veskvm_seterror(t_vm, VESKVM_ERROR_TYPE, "expected %s, got %s",
                    "userdata of this robot's controller", "userdata");
    return nullptr;
  }
  return pcOwner;
}

veskobj_t VeskArg(veskvm_t t_vm, unsigned un_idx) {
  return veskvm_lsym(t_vm, un_idx);
}

bool VeskCheckArgs(veskvm_t t_vm, std::initializer_list<uint16_t> t_types) {
  if (veskvm_lnum_assert(t_vm, static_cast<int64_t>(t_types.size())) !=
      VESKVM_STATE_READY)
    return false;
  unsigned unIdx = 1;
  for (uint16_t unType : t_types) {
    veskobj_t tArg = VeskArg(t_vm, unIdx++);
    if (veskobj_type(tArg) != unType) {
      veskvm_type_error(t_vm, unType, tArg);
      return false;
    }
  }
  return true;
}

bool VeskNumberArgs(veskvm_t t_vm, unsigned un_count, double *pf_values) {
  if (veskvm_lnum_assert(t_vm, un_count) != VESKVM_STATE_READY) return false;
  for (unsigned i = 0; i < un_count; ++i) {
    veskobj_t tArg = VeskArg(t_vm, i + 1);
    if (veskobj_isfloat(tArg)) {
      pf_values[i] = tArg->f.value;
    } else if (veskobj_isint(tArg)) {
      pf_values[i] = tArg->i.value;
    } else {
      veskvm_type_error(t_vm, VESKTYPE_FLOAT, tArg);
      return false;
    }
  }
  return true;
}

int VeskLOG(veskvm_t t_vm) {
  const std::string strText = FormatArgs(t_vm);
  CVeskController::WriteLog("VESK: " + strText);
  if (OutputObserver()) OutputObserver()(t_vm->robot, false, strText);
  return veskvm_ret0(t_vm);
}

int VeskDebug(veskvm_t t_vm) {
  CVeskController *pcController = VeskControllerOf(t_vm);
  if (pcController == nullptr) return t_vm->state;
  pcController->SetDebugMsg(FormatArgs(t_vm));
  if (OutputObserver()) OutputObserver()(t_vm->robot, true, pcController->GetDebugMsg());
  return veskvm_ret0(t_vm);
}

/****************************************/
/* Messages                             */
/****************************************/

void CVeskController::ProcessInMsgs() {
  /* Nothing to do for a controller whose Init failed. */
  if (m_tVeskVM == nullptr || m_pcRABS == nullptr) return;
  veskneighbors_reset(m_tVeskVM);
  for (const CCI_RangeAndBearingSensor::SPacket &sPacket : m_pcRABS->GetReadings())
    veskpacket_receive(m_tVeskVM, sPacket.Data.ToCArray(),
                       static_cast<uint32_t>(sPacket.Data.Size()),
                       static_cast<float>(sPacket.Range),
                       static_cast<float>(sPacket.HorizontalBearing.GetValue()),
                       static_cast<float>(sPacket.VerticalBearing.GetValue()));
  veskvm_process_inmsgs(m_tVeskVM);
}

void CVeskController::ProcessOutMsgs() {
  if (m_tVeskVM == nullptr || m_pcRABA == nullptr) return;
  veskvm_process_outmsgs(m_tVeskVM);
  std::vector<UInt8> vecPacket(m_pcRABA->GetSize());
  veskpacket_build(m_tVeskVM, vecPacket.data(), static_cast<uint32_t>(vecPacket.size()));
  m_pcRABA->SetData(CByteArray(vecPacket.data(), vecPacket.size()));
}

void CVeskController::SendAnnouncement() {
  std::vector<UInt8> vecPacket(m_pcRABA->GetSize());
  veskpacket_announce(m_tVeskVM, vecPacket.data(),
                      static_cast<uint32_t>(vecPacket.size()));
  m_pcRABA->SetData(CByteArray(vecPacket.data(), vecPacket.size()));
}

/****************************************/
/* Errors                               */
/****************************************/

std::string CVeskController::ErrorInfo() {
  if (m_tVeskDbgInfo == nullptr || m_tVeskVM == nullptr) return "Script not loaded!";
  std::ostringstream cOut;
  const int32_t nOffset = veskvm_error_offset(m_tVeskVM);
  veskdebug_entry_t tPos =
      nOffset >= 0
          ? veskdebug_info_get_fromoffset(m_tVeskDbgInfo, static_cast<uint32_t>(nOffset))
          : nullptr;
  if (tPos)
    cOut << tPos->fname << ":" << tPos->line << ":" << tPos->col;
  else
    cOut << "At bytecode offset " << nOffset;
  cOut << ": ";
  if (m_tVeskVM->errormsg)
    cOut << m_tVeskVM->errormsg;
  else if (m_tVeskVM->error >= VESKVM_ERROR_NONE &&
           m_tVeskVM->error <= VESKVM_ERROR_SWARM)
    cOut << veskvm_error_desc[m_tVeskVM->error];
  return cOut.str();
}

/****************************************/
/* Conversions                          */
/****************************************/

veskobj_t CVeskController::NewTable() {
  return veskheap_newobj(m_tVeskVM->heap, VESKTYPE_TABLE);
}

int CVeskController::Put(const SSlot &s_slot, veskobj_t t_value) {
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  if (s_slot.Table == nullptr) {
    veskvm_pushstr(m_tVeskVM, s_slot.Key->c_str(), 0);
    veskvm_push(m_tVeskVM, t_value);
    return veskvm_gstore(m_tVeskVM);
  }
  veskvm_push(m_tVeskVM, s_slot.Table);
  if (s_slot.Key)
    veskvm_pushstr(m_tVeskVM, s_slot.Key->c_str(), 0);
  else
    veskvm_pushi(m_tVeskVM, s_slot.Index);
  veskvm_push(m_tVeskVM, t_value);
  return veskvm_tput(m_tVeskVM);
}

int CVeskController::Put(const SSlot &s_slot, int n_value) {
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  veskobj_t tObj = veskheap_newobj(m_tVeskVM->heap, VESKTYPE_INT);
  tObj->i.value = n_value;
  return Put(s_slot, tObj);
}

int CVeskController::Put(const SSlot &s_slot, double f_value) {
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  veskobj_t tObj = veskheap_newobj(m_tVeskVM->heap, VESKTYPE_FLOAT);
  tObj->f.value = static_cast<float>(f_value);
  return Put(s_slot, tObj);
}

int CVeskController::Put(const SSlot &s_slot, const CRadians &c_value) {
  return Put(s_slot, static_cast<double>(c_value.GetValue()));
}

/* The table-valued conversions store the new table first, then fill it. */
int CVeskController::Put(const SSlot &s_slot, const CVector3 &c_value) {
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  veskobj_t tTable = NewTable();
  Put(s_slot, tTable);
  TablePut(tTable, "x", static_cast<double>(c_value.GetX()));
  TablePut(tTable, "y", static_cast<double>(c_value.GetY()));
  return TablePut(tTable, "z", static_cast<double>(c_value.GetZ()));
}

int CVeskController::Put(const SSlot &s_slot, const CQuaternion &c_value) {
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  CRadians cYaw, cPitch, cRoll;
  c_value.ToEulerAngles(cYaw, cPitch, cRoll);
  veskobj_t tTable = NewTable();
  Put(s_slot, tTable);
  TablePut(tTable, "yaw", cYaw);
  TablePut(tTable, "pitch", cPitch);
  return TablePut(tTable, "roll", cRoll);
}

int CVeskController::Put(const SSlot &s_slot, const CColor &c_value) {
  if (m_tVeskVM == nullptr) return VESKVM_STATE_NOCODE;
  veskobj_t tTable = NewTable();
  Put(s_slot, tTable);
  TablePut(tTable, "red", static_cast<int>(c_value.GetRed()));
  TablePut(tTable, "green", static_cast<int>(c_value.GetGreen()));
  return TablePut(tTable, "blue", static_cast<int>(c_value.GetBlue()));
}

#define VESK_DEFINE_CONVERSIONS(TYPE)                                                    \
  int CVeskController::Register(const std::string &str_name, TYPE t_value) {             \
    return Put(SSlot{nullptr, &str_name, 0}, t_value);                                   \
  }                                                                                      \
  int CVeskController::TablePut(veskobj_t t_table, const std::string &str_key,           \
                                TYPE t_value) {                                          \
    return Put(SSlot{t_table, &str_key, 0}, t_value);                                    \
  }                                                                                      \
  int CVeskController::TablePut(veskobj_t t_table, int n_idx, TYPE t_value) {            \
    return Put(SSlot{t_table, nullptr, n_idx}, t_value);                                 \
  }

VESK_DEFINE_CONVERSIONS(veskobj_t)
VESK_DEFINE_CONVERSIONS(int)
VESK_DEFINE_CONVERSIONS(double)
VESK_DEFINE_CONVERSIONS(const CRadians &)
VESK_DEFINE_CONVERSIONS(const CVector3 &)
VESK_DEFINE_CONVERSIONS(const CQuaternion &)
VESK_DEFINE_CONVERSIONS(const CColor &)
