/*
 * Progress bar of vesksim.
 */
#include "sim_progress.h"
#include <cstdio>
#include <string>
#include <unistd.h>

namespace vesksim {

namespace {
constexpr int BAR_WIDTH = 40;
}

CProgress::CProgress(uint64_t un_total, bool b_enabled)
    : m_unTotal(un_total), m_bActive(b_enabled && un_total > 0 && isatty(STDERR_FILENO)),
      m_bSharedTerminal(isatty(STDOUT_FILENO)) {}

void CProgress::Update(uint64_t un_done) {
  if (!m_bActive) return;
  const int nPerMille = static_cast<int>(un_done * 1000 / m_unTotal);
  if (nPerMille == m_nShown && !m_bHidden) return;
  m_nShown = nPerMille;
  m_bHidden = false;
  Draw(un_done);
}

void CProgress::Hide() {
  if (!m_bActive || !m_bSharedTerminal || m_bHidden || m_nShown < 0) return;
  std::fprintf(stderr, "\r%*s\r", BAR_WIDTH + 40, "");
  std::fflush(stderr);
  m_bHidden = true;
}

void CProgress::Draw(uint64_t un_done) {
  const int nFilled = m_nShown * BAR_WIDTH / 1000;
  const std::string strBar =
      std::string(nFilled, '#') + std::string(BAR_WIDTH - nFilled, '.');
  std::fprintf(stderr, "\r[%s] %5.1f%% step %llu/%llu", strBar.c_str(), m_nShown / 10.0,
               static_cast<unsigned long long>(un_done),
               static_cast<unsigned long long>(m_unTotal));
  std::fflush(stderr);
}

void CProgress::Finish() {
  if (!m_bActive) return;
  std::fprintf(stderr, "\r%*s\r", BAR_WIDTH + 40, "");
  std::fflush(stderr);
  m_bActive = false;
}

} // namespace vesksim
