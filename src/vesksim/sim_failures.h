/*
 * The robots' script failures, condensed: a controller reports its failure
 * at every step once its script has stopped (the VM stays in the "error"
 * state), which for a swarm buries the one line that matters. CFailureLog
 * takes the controllers' reports, says each robot's error once with the
 * robot, the step and the source position, counts the repeats, and tells at
 * the end how many robots stopped.
 */
#ifndef VESKSIM_FAILURES_H
#define VESKSIM_FAILURES_H

#include "vesk_controller.h"
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace vesksim {

class CFailureLog {
public:
  // Installs itself as every controller's failure reporter until destroyed.
  // b_all: also pass every report through, as the controllers print it.
  CFailureLog(FILE *pc_out, bool b_all);
  ~CFailureLog();
  CFailureLog(const CFailureLog &) = delete;
  CFailureLog &operator=(const CFailureLog &) = delete;

  // The step that the reports which follow belong to.
  void SetStep(uint64_t un_step) { m_unStep = un_step; }
  void Report(const CVeskController::SScriptFailure &s_failure);
  // Robots that reported at least one failure.
  size_t GetNumFailedRobots() const { return m_mapLast.size(); }
  // Prints how many robots stopped and how many reports were not shown.
  void Summarize() const;

private:
  FILE *m_pcOut;
  bool m_bAll;
  uint64_t m_unStep = 0;
  std::map<std::string, std::string> m_mapLast; // robot id -> its last error
  uint64_t m_unRepeats = 0;
};

} // namespace vesksim

#endif
