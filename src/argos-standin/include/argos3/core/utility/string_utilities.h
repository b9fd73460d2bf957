/*
 * Conversions between values and their text through the standard streams.
 */
#ifndef ARGOS_STRING_UTILITIES_H
#define ARGOS_STRING_UTILITIES_H

#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/datatypes/datatypes.h>
#include <istream>
#include <sstream>
#include <string>
#include <vector>

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

// Reads un_num_fields values separated by ch_delimiter, each with
// operator>> on its own text: what a field holds after its value is ignored,
// a field that does not convert gives what operator>> leaves (0 for numbers),
// and text after the last field stays in the stream. Throws CARGoSException
// when the stream ends before the last field.
template <typename T>
void ParseValues(std::istream &str_input, UInt32 un_num_fields, T *pt_field_buffer,
                 const char ch_delimiter = '\n') {
  std::vector<std::string> vecFields(un_num_fields);
  UInt32 unFound = 0;
  while (unFound < un_num_fields &&
         std::getline(str_input, vecFields[unFound], ch_delimiter))
    ++unFound;
  if (unFound < un_num_fields)
    THROW_ARGOSEXCEPTION("Parse error: expected " << un_num_fields << " values, but "
                                                  << unFound << " have been found in \""
                                                  << str_input.rdbuf() << "\"");
  str_input.clear();
  for (UInt32 i = 0; i < un_num_fields; ++i) {
    std::istringstream ssField(vecFields[i]);
    ssField >> pt_field_buffer[i];
  }
}

template <typename T>
void ParseValues(const std::string &str_input, const UInt32 un_num_fields,
                 T *pt_field_buffer, const char ch_delimiter = '\n') {
  std::istringstream ssInput(str_input);
  ParseValues(ssInput, un_num_fields, pt_field_buffer, ch_delimiter);
}

} // namespace argos

#endif
