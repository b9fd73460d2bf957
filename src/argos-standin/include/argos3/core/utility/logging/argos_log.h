/*
 * Simulator logging: the LOG and LOGERR streams and the DEBUG macros.
 * Text written to a log is kept in a buffer until Flush(), as in a simulator
 * built with thread-safe logging: the simulator flushes both logs after every
 * step, and code that needs its text out at once flushes itself.
 */
#ifndef ARGOS_LOG_H
#define ARGOS_LOG_H

#include <argos3/core/config.h>
#include <argos3/core/utility/logging/argos_colored_text.h>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

namespace argos {

// How many levels of DEBUG_FUNCTION_ENTER the program is in; DEBUG indents
// its output by two spaces per level.
extern size_t DEBUG_INDENTATION;

// A log stream. While coloured output is on (the default), every value is
// written between its colour code and the reset code; manipulators such as
// std::endl go in plain.
class CARGoSLog {
public:
  CARGoSLog(std::ostream &c_stream, const SLogColor &s_log_color,
            bool b_colored_output_enabled = true);
  // Text not flushed is dropped; a coloured log writes the reset code.
  ~CARGoSLog();
  CARGoSLog(const CARGoSLog &) = delete;
  CARGoSLog &operator=(const CARGoSLog &) = delete;

  void EnableColoredOutput() { m_bColoredOutput = true; }
  void DisableColoredOutput() { m_bColoredOutput = false; }
  bool IsColoredOutput() const { return m_bColoredOutput; }

  // The stream that Flush() writes to.
  std::ostream &GetStream() { return *m_pcStream; }
  void RedirectToFile(const std::string &str_fname);
  void Flush();

  CARGoSLog &operator<<(std::ostream &(*c_stream)(std::ostream &)) {
    m_cBuffer << c_stream;
    return *this;
  }
  template <typename T> CARGoSLog &operator<<(const T t_msg) {
    if (m_bColoredOutput)
      m_cBuffer << m_sLogColor << t_msg << reset;
    else
      m_cBuffer << t_msg;
    return *this;
  }

private:
  std::ostream *m_pcStream;
  std::unique_ptr<std::ofstream> m_pcFile;
  SLogColor m_sLogColor;
  bool m_bColoredOutput;
  std::ostringstream m_cBuffer;
};

extern CARGoSLog LOG;
extern CARGoSLog LOGERR;

} // namespace argos

// Writes "[DEBUG] ", the indentation and the printf-formatted text on stderr.
#define DEBUG(MSG, ...)                                                                  \
  {                                                                                      \
    fprintf(stderr, "[DEBUG] ");                                                         \
    for (size_t n_debug_level = 0; n_debug_level < DEBUG_INDENTATION; ++n_debug_level)   \
      fprintf(stderr, "  ");                                                             \
    fprintf(stderr, MSG, ##__VA_ARGS__);                                                 \
  }

// Indents one level, then writes "<function> - START"; EXIT writes
// "<function> - END" and goes back a level.
#define DEBUG_FUNCTION_ENTER                                                             \
  {                                                                                      \
    ++DEBUG_INDENTATION;                                                                 \
    DEBUG("%s - START\n", __PRETTY_FUNCTION__);                                          \
  }

#define DEBUG_FUNCTION_EXIT                                                              \
  {                                                                                      \
    DEBUG("%s - END\n", __PRETTY_FUNCTION__);                                            \
    --DEBUG_INDENTATION;                                                                 \
  }

// Runs a statement, then writes its text with DEBUG.
#define TRACE(LINE)                                                                      \
  LINE;                                                                                  \
  DEBUG(#LINE "\n");

// Log lines prefixed with the id of the robot whose controller writes them;
// usable inside controller member functions.
#define RLOG LOG << "[" << GetId() << "] "
#define RLOGERR LOGERR << "[" << GetId() << "] "

#endif
