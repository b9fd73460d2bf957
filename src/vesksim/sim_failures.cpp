/*
 * Condensed reports of the robots' script failures.
 */
#include "sim_failures.h"

namespace vesksim {

CFailureLog::CFailureLog(FILE *pc_out, bool b_all) : m_pcOut(pc_out), m_bAll(b_all) {
  CVeskController::SetFailureReporter(
      [this](const CVeskController::SScriptFailure &s_failure) { Report(s_failure); });
}

CFailureLog::~CFailureLog() {
  CVeskController::SetFailureReporter(nullptr);
}

namespace {

std::string Where(const std::string &str_call) {
  return str_call.empty() ? "the script's top level" : str_call;
}

} // namespace

void CFailureLog::Report(const CVeskController::SScriptFailure &s_failure) {
  if (m_bAll) std::fputs(s_failure.Text.c_str(), m_pcOut);
  auto it = m_mapLast.find(s_failure.RobotId);
  if (it != m_mapLast.end() && it->second == s_failure.Error) {
    ++m_unRepeats;
    return;
  }
  m_mapLast[s_failure.RobotId] = s_failure.Error;
  if (m_bAll) return;
  std::fprintf(m_pcOut, "vesksim: robot %s stopped at step %llu (in %s): %s\n",
               s_failure.RobotId.c_str(), static_cast<unsigned long long>(m_unStep),
               Where(s_failure.Call).c_str(), s_failure.Error.c_str());
  if (s_failure.CallMissing)
    std::fprintf(m_pcOut,
                 "vesksim: robot %s: the script defines no function named '%s'\n",
                 s_failure.RobotId.c_str(), s_failure.Call.c_str());
}

void CFailureLog::Summarize() const {
  if (m_mapLast.empty()) return;
  std::fprintf(m_pcOut, "vesksim: %zu robot%s stopped on script errors", m_mapLast.size(),
               m_mapLast.size() == 1 ? "" : "s");
  if (m_unRepeats > 0 && !m_bAll)
    std::fprintf(m_pcOut, " (%llu repeated reports not shown; --all-errors shows them)",
                 static_cast<unsigned long long>(m_unRepeats));
  std::fputs("\n", m_pcOut);
}

} // namespace vesksim
