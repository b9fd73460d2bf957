/*
 * Access to the XML configuration tree: finding child nodes and reading
 * attributes into typed values, with CARGoSException on failure.
 */
#ifndef ARGOS_CONFIGURATION_H
#define ARGOS_CONFIGURATION_H

#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/configuration/tinyxml/ticpp.h>
#include <argos3/core/utility/datatypes/datatypes.h>
#include <string>

namespace argos {

typedef ticpp::Element TConfigurationNode;
typedef ticpp::Iterator<ticpp::Element> TConfigurationNodeIterator;
typedef ticpp::Iterator<ticpp::Attribute> TConfigurationAttributeIterator;

// True when t_node has a child element tagged str_tag. Never throws.
inline bool NodeExists(TConfigurationNode &t_node, const std::string &str_tag) throw() {
  try {
    return t_node.FirstChildElement(str_tag, false) != nullptr;
  } catch (...) {
    return false;
  }
}

// The first child element tagged str_tag, in a new wrapper at every call;
// throws "Node '<tag>' not found".
inline TConfigurationNode &GetNode(TConfigurationNode &t_node,
                                   const std::string &str_tag) {
  TConfigurationNode *pt_child = t_node.FirstChildElement(str_tag, false);
  if (pt_child == nullptr) THROW_ARGOSEXCEPTION("Node '" << str_tag << "' not found");
  return *pt_child;
}

inline void AddChildNode(TConfigurationNode &t_parent_node,
                         TConfigurationNode &t_child_node) {
  t_parent_node.InsertEndChild(t_child_node);
}

inline bool NodeAttributeExists(TConfigurationNode &t_node,
                                const std::string &str_attribute) {
  return t_node.HasAttribute(str_attribute);
}

// Reads an attribute into t_buffer with operator>> (strings verbatim). A
// missing or unconvertible attribute throws 'Error parsing attribute
// "<name>"' nesting ticpp's reason; a conversion that fails has already
// written t_buffer (0 for numbers). Exceptions of operator>> itself (a
// CVector3 with too few fields) pass unchanged.
template <typename T>
void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      T &t_buffer) {
  try {
    t_node.GetAttribute(str_attribute, &t_buffer, true);
  } catch (ticpp::Exception &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error parsing attribute \"" << str_attribute << "\"",
                                ex);
  }
}
// Booleans accept exactly "true" and "false"; other text throws "Cannot
// convert '<text>' into a bool. ..." without nesting.
void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      bool &b_buffer);
// Bytes are read as 32-bit numbers and cut to 8 bits (300 gives 44).
void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      UInt8 &un_buffer);
void GetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      SInt8 &n_buffer);

// As GetNodeAttribute, but a missing attribute gives t_default. Note that T
// is deduced from both t_buffer and t_default: for strings write
// std::string() as the default, not "".
template <typename T>
void GetNodeAttributeOrDefault(TConfigurationNode &t_node,
                               const std::string &str_attribute, T &t_buffer,
                               const T &t_default) {
  try {
    t_node.GetAttributeOrDefault(str_attribute, &t_buffer, t_default);
  } catch (ticpp::Exception &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error parsing attribute \"" << str_attribute << "\"",
                                ex);
  }
}
void GetNodeAttributeOrDefault(TConfigurationNode &t_node,
                               const std::string &str_attribute, bool &b_buffer,
                               const bool b_default);
void GetNodeAttributeOrDefault(TConfigurationNode &t_node,
                               const std::string &str_attribute, UInt8 &un_buffer,
                               const UInt8 un_default);
void GetNodeAttributeOrDefault(TConfigurationNode &t_node,
                               const std::string &str_attribute, SInt8 &n_buffer,
                               const SInt8 n_default);

// Reads the element's text content into t_buffer with operator>>.
template <typename T> void GetNodeText(TConfigurationNode &t_node, T &t_buffer) {
  try {
    t_node.GetText(&t_buffer);
  } catch (std::exception &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Parse error", ex);
  }
}
template <typename T>
void GetNodeTextOrDefault(TConfigurationNode &t_node, T &t_buffer, const T &t_default) {
  try {
    t_buffer = t_default;
    t_node.GetText(&t_buffer, false);
  } catch (std::exception &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Parse error", ex);
  }
}

template <typename T>
void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const T &t_value) {
  t_node.SetAttribute(str_attribute, t_value);
}
// Booleans are written as "true"/"false" and bytes as numbers, so that
// GetNodeAttribute reads them back.
void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const bool b_value);
void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const SInt8 n_value);
void SetNodeAttribute(TConfigurationNode &t_node, const std::string &str_attribute,
                      const UInt8 un_value);

} // namespace argos

#endif
