/*
 * Terminal colours of the logs: ANSI escape sequences written on a stream.
 */
#ifndef ARGOS_COLORED_TEXT_H
#define ARGOS_COLORED_TEXT_H

#include <argos3/core/utility/datatypes/datatypes.h>
#include <ostream>

namespace argos {

enum EARGoSLogAttributes {
  ARGOS_LOG_ATTRIBUTE_RESET = 0,
  ARGOS_LOG_ATTRIBUTE_BRIGHT = 1,
  ARGOS_LOG_ATTRIBUTE_DIM = 2,
  ARGOS_LOG_ATTRIBUTE_UNDERSCORE = 3,
  ARGOS_LOG_ATTRIBUTE_BLINK = 5,
  ARGOS_LOG_ATTRIBUTE_REVERSE = 7,
  ARGOS_LOG_ATTRIBUTE_HIDDEN = 8
};

enum EARGoSLogColors {
  ARGOS_LOG_COLOR_BLACK = 0,
  ARGOS_LOG_COLOR_RED = 1,
  ARGOS_LOG_COLOR_GREEN = 2,
  ARGOS_LOG_COLOR_YELLOW = 3,
  ARGOS_LOG_COLOR_BLUE = 4,
  ARGOS_LOG_COLOR_MAGENTA = 5,
  ARGOS_LOG_COLOR_CYAN = 6,
  ARGOS_LOG_COLOR_WHITE = 7
};

struct SLogColor {
  UInt8 Attribute;
  UInt8 Foreground;
  SLogColor() : Attribute(ARGOS_LOG_ATTRIBUTE_RESET), Foreground(ARGOS_LOG_COLOR_WHITE) {}
  SLogColor(EARGoSLogAttributes e_attribute, EARGoSLogColors e_foreground_color)
      : Attribute(e_attribute), Foreground(e_foreground_color) {}
};

// "\033[<attribute>;<30 + colour>m", e.g. "\033[1;32m" for bright green.
inline std::ostream &operator<<(std::ostream &c_os, const SLogColor &s_log_color) {
  return c_os << "\033[" << static_cast<unsigned>(s_log_color.Attribute) << ";"
              << (s_log_color.Foreground + 30) << "m";
}

// Back to the terminal's default: "\033[0m".
inline std::ostream &reset(std::ostream &c_os) {
  return c_os << "\033[" << ARGOS_LOG_ATTRIBUTE_RESET << "m";
}

} // namespace argos

#endif
