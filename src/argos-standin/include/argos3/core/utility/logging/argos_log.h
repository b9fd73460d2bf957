// Simulator logging: the LOG and LOGERR streams and the DEBUG macros.
// Text written to a log is kept in a buffer until Flush(), as in a simulator
// built with thread-safe logging: the simulator flushes both logs after every
// step, and code that needs its text out at once flushes itself.
#ifndef ARGOS_LOG_H
#define ARGOS_LOG_H

#include <argos3/core/config.h>
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

enum class EARGoSLogAttributes : unsigned {
  RESET = 0,
  BRIGHT = 1,
  DIM = 2,
  UNDERSCORE = 3,
  BLINK = 5,
  REVERSE = 7,
  HIDDEN = 8
};

enum class EARGoSLogColors : unsigned {
  BLACK = 0,
  RED = 1,
  GREEN = 2,
  YELLOW = 3,
  BLUE = 4,
  MAGENTA = 5,
  CYAN = 6,
  WHITE = 7,
  RESET = 8
};

struct SLogColor {
  EARGoSLogAttributes Attribute;
  EARGoSLogColors Foreground;
  SLogColor(EARGoSLogAttributes e_attribute, EARGoSLogColors e_foreground)
      : Attribute(e_attribute), Foreground(e_foreground) {}
};

// A log stream. The stand-in never writes colour codes; the colour switch is
// remembered only so that IsColoredOutput() answers as expected.
class CARGoSLog {
public:
  CARGoSLog(std::ostream &c_stream, const SLogColor &s_log_color,
            bool b_colored_output_enabled = true);
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

#define DEBUG_FUNCTION_ENTER                                                             \
  {                                                                                      \
    DEBUG("%s START\n", __PRETTY_FUNCTION__);                                            \
    ++DEBUG_INDENTATION;                                                                 \
  }

#define DEBUG_FUNCTION_EXIT                                                              \
  {                                                                                      \
    if (DEBUG_INDENTATION > 0) --DEBUG_INDENTATION;                                      \
    DEBUG("%s END\n", __PRETTY_FUNCTION__);                                              \
  }

// Prints an expression and its value on LOG.
#define TRACE(x) LOG << #x " = " << (x) << std::endl;

// Log lines prefixed with the id of the robot whose controller writes them;
// usable inside controller member functions.
#define RLOG LOG << "[" << GetId() << "] "
#define RLOGERR LOGERR << "[" << GetId() << "] "

#endif
