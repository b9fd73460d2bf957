/*
 * XML wrappers over tinyxml2.
 */
#include <argos3/core/utility/configuration/tinyxml/ticpp.h>
#include <ostream>
#include <tinyxml2.h>

namespace ticpp {

namespace {

// A fresh document holding one element with the given tag.
std::shared_ptr<tinyxml2::XMLDocument> NewDocumentWith(const char *value,
                                                       tinyxml2::XMLElement *&element) {
  std::shared_ptr<tinyxml2::XMLDocument> doc = std::make_shared<tinyxml2::XMLDocument>();
  element = doc->NewElement(value);
  doc->InsertEndChild(element);
  return doc;
}

std::string Quoted(const char *value) {
  return std::string("'") + (value != nullptr ? value : "") + "'";
}

} // namespace

/* Node */

Node::~Node() {}

Node &Node::operator=(const Node &other) {
  if (this != &other) {
    m_doc = other.m_doc;
    m_node = other.m_node;
    m_spawned.clear();
  }
  return *this;
}

std::string Node::Value() const {
  const char *value = m_node->Value();
  return value ? value : "";
}

Element *Node::Spawn(tinyxml2::XMLElement *element) const {
  if (element == nullptr) return nullptr;
  m_spawned.emplace_back(new Element(m_doc, element));
  return m_spawned.back().get();
}

Element *Node::FindChild(const char *value, bool throwIfNone) const {
  Element *child = Spawn(m_node->FirstChildElement(value));
  if (child == nullptr && throwIfNone)
    throw Exception("Element (" + Value() +
                    ") does NOT contain a child with the value of " + Quoted(value));
  return child;
}

Element *Node::FindSibling(const char *value, bool throwIfNone) const {
  Element *sibling = Spawn(m_node->NextSiblingElement(value));
  if (sibling == nullptr && throwIfNone)
    throw Exception("No Element Siblings found with value, " + Quoted(value) +
                    ", After this Node (" + Value() + ")");
  return sibling;
}

Element *Node::FirstChildElement(bool throwIfNoChildren) const {
  return FindChild(nullptr, throwIfNoChildren);
}
Element *Node::FirstChildElement(const char *value, bool throwIfNoChildren) const {
  return FindChild(value, throwIfNoChildren);
}
Element *Node::FirstChildElement(const std::string &value, bool throwIfNoChildren) const {
  return FindChild(value.c_str(), throwIfNoChildren);
}
Element *Node::NextSiblingElement(bool throwIfNoSiblings) const {
  return FindSibling(nullptr, throwIfNoSiblings);
}
Element *Node::NextSiblingElement(const char *value, bool throwIfNoSiblings) const {
  return FindSibling(value, throwIfNoSiblings);
}
Element *Node::NextSiblingElement(const std::string &value,
                                  bool throwIfNoSiblings) const {
  return FindSibling(value.c_str(), throwIfNoSiblings);
}

Node *Node::InsertEndChild(const Node &addThis) {
  if (addThis.m_node->ToElement() == nullptr)
    throw Exception("Only elements can be inserted into a node");
  tinyxml2::XMLNode *copy = addThis.m_node->DeepClone(m_doc.get());
  m_node->InsertEndChild(copy);
  return Spawn(copy->ToElement());
}

void Node::ForgetSpawned() {
  m_spawned.clear();
}

bool Node::NoChildren() const {
  return m_node->NoChildren();
}

std::ostream &operator<<(std::ostream &out, const Node &node) {
  tinyxml2::XMLPrinter printer;
  node.m_node->Accept(&printer);
  return out << printer.CStr();
}

/* Attribute */

std::string Attribute::Name() const {
  return m_attribute->Name();
}
std::string Attribute::Value() const {
  return m_attribute->Value();
}

Attribute *Attribute::Next(bool throwIfNoAttribute) const {
  const tinyxml2::XMLAttribute *next = m_attribute->Next();
  if (next == nullptr) {
    if (throwIfNoAttribute) throw Exception("No more attributes found");
    return nullptr;
  }
  return m_owner->SpawnAttribute(next);
}

/* Element */

Element::Element(std::shared_ptr<tinyxml2::XMLDocument> doc,
                 tinyxml2::XMLElement *element)
    : Node(std::move(doc), element) {}

Element::Element() : Node(nullptr, nullptr) {
  tinyxml2::XMLElement *element = nullptr;
  m_doc = NewDocumentWith("", element);
  m_node = element;
}

Element::Element(const std::string &value) : Element(value.c_str()) {}

Element::Element(const char *value) : Node(nullptr, nullptr) {
  tinyxml2::XMLElement *element = nullptr;
  m_doc = NewDocumentWith(value, element);
  m_node = element;
}

Element::Element(const Element &other) : Node(other) {}

Element &Element::operator=(const Element &other) {
  Node::operator=(other);
  m_attributes.clear();
  return *this;
}

Element::~Element() {}

tinyxml2::XMLElement *Element::Xml() const {
  return m_node->ToElement();
}

void Element::SetValue(const std::string &value) {
  m_node->SetValue(value.c_str());
}

void Element::SetAttributeText(const std::string &name, const std::string &text) {
  Xml()->SetAttribute(name.c_str(), text.c_str());
}

void Element::RemoveAttribute(const std::string &name) {
  // Wrappers of the attribute would dangle: drop them all.
  m_attributes.clear();
  Xml()->DeleteAttribute(name.c_str());
}

bool Element::HasAttribute(const std::string &name) const {
  return Xml()->FindAttribute(name.c_str()) != nullptr;
}

std::string Element::GetAttribute(const std::string &name) const {
  const char *text = Xml()->Attribute(name.c_str());
  return text ? text : "";
}

bool Element::HasText() const {
  return Xml()->GetText() != nullptr;
}

std::string Element::GetText(bool throwIfNotFound) const {
  const char *text = Xml()->GetText();
  if (text == nullptr) {
    if (throwIfNotFound) throw Exception(NO_TEXT);
    return "";
  }
  return text;
}

void Element::SetTextString(const std::string &text) {
  Xml()->SetText(text.c_str());
}

Attribute *Element::SpawnAttribute(const tinyxml2::XMLAttribute *attribute) const {
  m_attributes.emplace_back(new Attribute(this, attribute));
  return m_attributes.back().get();
}

Attribute *Element::FirstAttribute(bool throwIfNoAttributes) const {
  const tinyxml2::XMLAttribute *first = Xml()->FirstAttribute();
  if (first == nullptr) {
    if (throwIfNoAttributes)
      throw Exception("Element (" + Value() + ") has no attributes");
    return nullptr;
  }
  return SpawnAttribute(first);
}

/* Document */

Document::Document() : Node(std::make_shared<tinyxml2::XMLDocument>(), nullptr) {
  m_node = m_doc.get();
}

Document::Document(const std::string &documentName) : Document() {
  m_name = documentName;
}

Document::~Document() {}

void Document::LoadFile() {
  LoadFile(m_name);
}

void Document::LoadFile(const std::string &filename) {
  m_name = filename;
  ForgetSpawned();
  if (m_doc->LoadFile(filename.c_str()) != tinyxml2::XML_SUCCESS)
    throw Exception("Couldn't load " + filename + "\nDescription: " + m_doc->ErrorStr());
}

void Document::SaveFile(const std::string &filename) const {
  if (m_doc->SaveFile(filename.c_str()) != tinyxml2::XML_SUCCESS)
    throw Exception("Couldn't save " + filename + "\nDescription: " + m_doc->ErrorStr());
}

void Document::Parse(const std::string &xml, bool throwIfParseError) {
  tinyxml2::XMLDocument parsed;
  if (parsed.Parse(xml.c_str(), xml.size()) != tinyxml2::XML_SUCCESS) {
    if (throwIfParseError)
      throw Exception(std::string("Error parsing xml.\nDescription: ") +
                      parsed.ErrorStr());
    return;
  }
  for (const tinyxml2::XMLNode *node = parsed.FirstChild(); node != nullptr;
       node = node->NextSibling())
    m_doc->InsertEndChild(node->DeepClone(m_doc.get()));
}

} // namespace ticpp
