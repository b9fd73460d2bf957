// Conversions between values and their text through the standard streams.
#ifndef ARGOS_STRING_UTILITIES_H
#define ARGOS_STRING_UTILITIES_H

#include <sstream>
#include <string>

namespace argos {

// Text of a value; booleans print as "true"/"false".
template <typename T> std::string ToString(const T &t_value) {
  std::ostringstream ss;
  ss.setf(std::ios::boolalpha);
  ss << t_value;
  return ss.str();
}

// Value of a text. Never throws: unparsable text gives a value-initialised
// result for arithmetic types.
template <typename T> T FromString(const std::string &str_value) {
  T t_value{};
  std::istringstream ss(str_value);
  ss.setf(std::ios::boolalpha);
  ss >> t_value;
  return t_value;
}

} // namespace argos

#endif
