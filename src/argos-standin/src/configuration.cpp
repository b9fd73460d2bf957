/*
 * The non-template attribute readers and writers of the configuration API.
 */
#include <argos3/core/utility/configuration/argos_configuration.h>

namespace argos {

namespace {

// "true" or "false"; anything else throws, not nested.
bool ToBool(const std::string &str_text) {
  if (str_text == "true") return true;
  if (str_text != "false")
    THROW_ARGOSEXCEPTION("Cannot convert '"
                         << str_text
                         << "' into a bool. Accepted values: 'true', 'false'.");
  return false;
}

} // namespace

void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      bool &b_buffer) {
  std::string strValue;
  GetNodeAttribute(t_node, str_attribute, strValue);
  b_buffer = ToBool(strValue);
}

void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      UInt8 &un_buffer) {
  UInt32 unValue;
  GetNodeAttribute(t_node, str_attribute, unValue);
  un_buffer = static_cast<UInt8>(unValue);
}

void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      SInt8 &n_buffer) {
  SInt32 nValue;
  GetNodeAttribute(t_node, str_attribute, nValue);
  n_buffer = static_cast<SInt8>(nValue);
}

void GetNodeAttributeOrDefault(TConfigurationNode &t_node,
                               const std::string &str_attribute, bool &b_buffer,
                               const bool b_default) {
  std::string strValue;
  GetNodeAttributeOrDefault(t_node, str_attribute, strValue,
                            std::string(b_default ? "true" : "false"));
  b_buffer = ToBool(strValue);
}

namespace {

// Bytes are read as the 32-bit number of the same sign, then cut, as ARGoS does.
template <typename WIDE, typename NARROW>
void GetNarrowedOrDefault(TConfigurationNode &t_node, const std::string &str_attribute,
                          NARROW &t_buffer, const NARROW t_default) {
  WIDE tValue;
  GetNodeAttributeOrDefault(t_node, str_attribute, tValue, static_cast<WIDE>(t_default));
  t_buffer = static_cast<NARROW>(tValue);
}

} // namespace

void GetNodeAttributeOrDefault(TConfigurationNode &t_node,
                               const std::string &str_attribute, UInt8 &un_buffer,
                               const UInt8 un_default) {
  GetNarrowedOrDefault<UInt32>(t_node, str_attribute, un_buffer, un_default);
}

void GetNodeAttributeOrDefault(TConfigurationNode &t_node,
                               const std::string &str_attribute, SInt8 &n_buffer,
                               const SInt8 n_default) {
  GetNarrowedOrDefault<SInt32>(t_node, str_attribute, n_buffer, n_default);
}

void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const bool b_value) {
  t_node.SetAttribute(str_attribute, std::string(b_value ? "true" : "false"));
}

void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const SInt8 n_value) {
  t_node.SetAttribute(str_attribute, static_cast<SInt32>(n_value));
}

void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const UInt8 un_value) {
  t_node.SetAttribute(str_attribute, static_cast<UInt32>(un_value));
}

} // namespace argos
