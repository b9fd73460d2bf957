/*
 * Progress bar on standard error, drawn only when standard error is a
 * terminal so that logs and CI output stay clean.
 */
#ifndef VESKSIM_PROGRESS_H
#define VESKSIM_PROGRESS_H

#include <cstdint>

namespace vesksim {

class CProgress {
public:
  // b_enabled false draws nothing; true draws when stderr is a terminal.
  CProgress(uint64_t un_total, bool b_enabled);
  ~CProgress() { Finish(); }
  void Update(uint64_t un_done);
  // Takes the bar off the line before the robots' logs may print, when they
  // go to the same terminal; the next Update draws it again.
  void Hide();
  // Clears the bar's line.
  void Finish();

private:
  void Draw(uint64_t un_done);
  uint64_t m_unTotal;
  bool m_bActive;
  bool m_bSharedTerminal; // standard output is a terminal too
  bool m_bHidden = false;
  int m_nShown = -1; // per mille last drawn
};

} // namespace vesksim

#endif
