/*
 * The debugger in a running experiment: one robot's script is handed to the
 * debugger's commands on the terminal, from its Init (before its top level
 * runs) or from the start of a given step. While that robot is stopped the
 * world waits, since its control step has not returned.
 */
#ifndef VESKSIM_DEBUGGER_H
#define VESKSIM_DEBUGGER_H

#include "veskdbgcli.h"
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

class CVeskController;

namespace vesksim {

class CWorld;

// What --debug names: ROBOT or ROBOT@STEP.
struct SDebugTarget {
  std::string Robot;
  std::optional<uint64_t> Step; // none: from Init
};

// Reads ROBOT[@STEP]; false (after a message on standard error) when malformed.
bool ParseDebugTarget(const std::string &str_text, SDebugTarget &s_target);

class CDebugger {
public:
  // Commands come from c_in (prompted on a terminal), the debugger's output
  // goes to standard output, its diagnostics to standard error. From Init,
  // it attaches as the robot's script is loaded (create it before the world).
  CDebugger(const SDebugTarget &s_target, FILE *pt_in, bool b_prompt);
  // Detach() must have been called while the robot's VM still existed.
  ~CDebugger();
  CDebugger(const CDebugger &) = delete;
  CDebugger &operator=(const CDebugger &) = delete;

  // Before step un_step of c_world: attaches when it is the target step.
  // Returns false (after a message) when the robot does not exist.
  bool BeforeStep(uint64_t un_step, CWorld &c_world);
  // The user gave quit: the experiment ends after this step.
  bool Quitted() const;
  // Ends the session and stops watching scripts being loaded.
  void Detach();

private:
  void Attach(CVeskController &c_controller, const std::string &str_when);

  SDebugTarget m_sTarget;
  veskdbgcli_stream_t m_sInput;
  veskdbgcli_t m_tSession = nullptr;
};

} // namespace vesksim

#endif
