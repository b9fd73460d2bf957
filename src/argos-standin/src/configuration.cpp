// The non-template attribute readers and writers of the configuration API.
#include <argos3/core/utility/configuration/argos_configuration.h>
#include <limits>

namespace argos {

void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      bool &b_buffer) {
  std::string strValue;
  GetNodeAttribute(t_node, str_attribute, strValue);
  if (strValue == "true")
    b_buffer = true;
  else if (strValue == "false")
    b_buffer = false;
  else
    THROW_ARGOSEXCEPTION("Error parsing attribute \""
                         << str_attribute << "\": cannot convert \"" << strValue
                         << "\" into a bool. Accepted values: 'true', 'false'.");
}

namespace {

// Reads a whole number and checks it fits the byte type T.
template <typename T>
void GetByteAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      T &t_buffer) {
  SInt32 nValue = 0;
  GetNodeAttribute(t_node, str_attribute, nValue);
  if (nValue < std::numeric_limits<T>::min() || nValue > std::numeric_limits<T>::max())
    THROW_ARGOSEXCEPTION("Error parsing attribute \""
                         << str_attribute << "\": " << nValue << " is out of range ["
                         << static_cast<SInt32>(std::numeric_limits<T>::min()) << ", "
                         << static_cast<SInt32>(std::numeric_limits<T>::max()) << "]");
  t_buffer = static_cast<T>(nValue);
}

} // namespace

void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      UInt8 &un_buffer) {
  GetByteAttribute(t_node, str_attribute, un_buffer);
}

void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      SInt8 &n_buffer) {
  GetByteAttribute(t_node, str_attribute, n_buffer);
}

void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const bool &b_value) {
  t_node.SetAttribute(str_attribute, std::string(b_value ? "true" : "false"));
}

} // namespace argos
