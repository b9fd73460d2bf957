/*
 * vesksim's --debug: the debugger's session is attached to the VM of the
 * chosen robot's controller, and interrupted so that it stops before the
 * first instruction that robot executes (in its top level, or in the chosen
 * step). Everything else about stopping is the debugger's own.
 */
#include "sim_debugger.h"
#include "sim_world.h"
#include "vesk_controller.h"

#include <cerrno>
#include <cstdlib>

namespace vesksim {

bool ParseDebugTarget(const std::string &str_text, SDebugTarget &s_target) {
  const size_t unAt = str_text.find('@');
  s_target.Robot = str_text.substr(0, unAt);
  s_target.Step.reset();
  bool bGood = !s_target.Robot.empty();
  if (bGood && unAt != std::string::npos) {
    const std::string strStep = str_text.substr(unAt + 1);
    char *pchEnd = nullptr;
    errno = 0;
    const unsigned long long unStep = std::strtoull(strStep.c_str(), &pchEnd, 10);
    bGood = !strStep.empty() && *pchEnd == '\0' && errno == 0 && strStep[0] != '-' &&
            unStep > 0;
    s_target.Step = unStep;
  }
  if (!bGood)
    std::fprintf(stderr,
                 "vesksim: --debug needs ROBOT or ROBOT@STEP (a step from 1), "
                 "got \"%s\"\n",
                 str_text.c_str());
  return bGood;
}

CDebugger::CDebugger(const SDebugTarget &s_target, FILE *pt_in, bool b_prompt)
    : m_sTarget(s_target), m_sInput{pt_in, stdout, b_prompt ? 1 : 0} {
  if (m_sTarget.Step) return;
  CVeskController::SetScriptLoadHook([this](CVeskController &c_controller) {
    if (!m_tSession && c_controller.GetId() == m_sTarget.Robot)
      Attach(c_controller, "before its script runs");
  });
}

CDebugger::~CDebugger() {
  Detach();
}

void CDebugger::Attach(CVeskController &c_controller, const std::string &str_when) {
  std::fprintf(stdout,
               "vesksim: debugging robot %s %s; the world waits while it is stopped\n",
               m_sTarget.Robot.c_str(), str_when.c_str());
  std::fflush(stdout);
  m_tSession = veskdbgcli_attach(m_sTarget.Robot.c_str(), c_controller.GetVeskVM(),
                                 c_controller.GetDebugInfo(), veskdbgcli_read_stream,
                                 &m_sInput, stdout, stderr);
  veskdbgcli_interrupt(m_tSession);
}

bool CDebugger::BeforeStep(uint64_t un_step, CWorld &c_world) {
  if (m_tSession) return true;
  if (un_step != m_sTarget.Step.value_or(1)) return true;
  for (size_t i = 0; i < c_world.GetNumRobots(); ++i) {
    CRobot &cRobot = *c_world.GetBody(i).Robot;
    if (cRobot.GetId() != m_sTarget.Robot) continue;
    auto *pcController = dynamic_cast<CVeskController *>(&cRobot.GetController());
    if (!pcController || !pcController->GetVeskVM()) break;
    if (m_sTarget.Step) Attach(*pcController, "from step " + std::to_string(un_step));
    return true;
  }
  std::fprintf(stderr, "vesksim: --debug: no robot \"%s\" runs a Vesk script\n",
               m_sTarget.Robot.c_str());
  return false;
}

bool CDebugger::Quitted() const {
  return m_tSession && veskdbgcli_quitted(m_tSession);
}

void CDebugger::Detach() {
  if (!m_sTarget.Step) CVeskController::SetScriptLoadHook(nullptr);
  veskdbgcli_destroy(&m_tSession);
}

} // namespace vesksim
