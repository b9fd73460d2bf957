/*
 * Object wrappers around an XML tree (tinyxml2 underneath): elements,
 * attributes, documents and iterators over child elements and attributes.
 *
 * Wrappers have reference semantics: copying an Element copies the handle,
 * not the XML. Every FirstChildElement, NextSiblingElement, InsertEndChild
 * and iterator step returns a new wrapper, owned by the wrapper it was
 * obtained from and valid as long as that wrapper lives: compare nodes with
 * ==, not by address. Exception texts are ticpp's, without its source
 * location.
 */
#ifndef TICPP_H
#define TICPP_H

#include <exception>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLNode;
class XMLElement;
class XMLAttribute;
} // namespace tinyxml2

namespace ticpp {

class Element;
class Attribute;

class Exception : public std::exception {
public:
  Exception(const std::string &details) : m_details(details) {}
  ~Exception() throw() {}
  const char *what() const throw() { return m_details.c_str(); }
  std::string m_details;
};

// Texts of the conversion errors.
inline std::string NotConverted(const std::string &str_text) {
  return "Could not convert \"" + str_text + "\" to target type";
}
constexpr const char *NO_TEXT = "Text does not exists in the current element";

// Text conversion shared by attributes and element text: strings are taken
// verbatim, everything else goes through operator>>, which must consume at
// least one character without failing. Trailing text is ignored.
template <typename T> bool FromText(const std::string &str_text, T *pt_value) {
  std::istringstream ss(str_text);
  ss >> *pt_value;
  return !ss.fail();
}
inline bool FromText(const std::string &str_text, std::string *pstr_value) {
  *pstr_value = str_text;
  return true;
}
template <typename T> std::string ToText(const T &t_value) {
  std::ostringstream ss;
  ss << t_value;
  return ss.str();
}

// Base of the wrappers of everything that lives in a document.
class Node {
public:
  virtual ~Node();

  // The tag of an element, the text of a text node, empty for a document.
  std::string Value() const;

  // Whether both wrap the same XML node.
  bool operator==(const Node &rhs) const { return m_node == rhs.m_node; }
  bool operator!=(const Node &rhs) const { return m_node != rhs.m_node; }

  // First child element (with the given tag, if one is given). Throws
  // Exception when there is none, unless asked not to; then returns null.
  Element *FirstChildElement(bool throwIfNoChildren = true) const;
  Element *FirstChildElement(const char *value, bool throwIfNoChildren = true) const;
  Element *FirstChildElement(const std::string &value,
                             bool throwIfNoChildren = true) const;
  // Next sibling element (with the given tag, if one is given), the same way.
  Element *NextSiblingElement(bool throwIfNoSiblings = true) const;
  Element *NextSiblingElement(const char *value, bool throwIfNoSiblings = true) const;
  Element *NextSiblingElement(const std::string &value,
                              bool throwIfNoSiblings = true) const;

  // Appends a deep copy of addThis (and its subtree) as the last child and
  // returns the wrapper of the copy.
  Node *InsertEndChild(const Node &addThis);
  bool NoChildren() const;

  // The XML text of this node and its subtree.
  friend std::ostream &operator<<(std::ostream &out, const Node &node);

protected:
  Node(std::shared_ptr<tinyxml2::XMLDocument> doc, tinyxml2::XMLNode *node)
      : m_doc(std::move(doc)), m_node(node) {}
  Node(const Node &other) : m_doc(other.m_doc), m_node(other.m_node) {}
  Node &operator=(const Node &other);

  // Wrapper for an element of the same document, owned by this wrapper.
  Element *Spawn(tinyxml2::XMLElement *element) const;
  Element *FindChild(const char *value, bool throwIfNone) const;
  Element *FindSibling(const char *value, bool throwIfNone) const;
  // Drops the child wrappers; needed when the tree below is replaced.
  void ForgetSpawned();

  std::shared_ptr<tinyxml2::XMLDocument> m_doc; // keeps the tree alive
  tinyxml2::XMLNode *m_node;

private:
  mutable std::vector<std::unique_ptr<Element>> m_spawned;
};

class Attribute {
public:
  std::string Name() const;
  std::string Value() const;
  template <typename T> void GetValue(T *value) const {
    if (!FromText(Value(), value)) throw Exception(NotConverted(Value()));
  }
  template <typename T> void GetName(T *name) const {
    if (!FromText(Name(), name)) throw Exception(NotConverted(Name()));
  }
  // The next attribute of the same element; throws at the end unless asked
  // not to, then returns null.
  Attribute *Next(bool throwIfNoAttribute = true) const;

private:
  friend class Element;
  Attribute(const Element *owner, const tinyxml2::XMLAttribute *attribute)
      : m_owner(owner), m_attribute(attribute) {}

  const Element *m_owner;
  const tinyxml2::XMLAttribute *m_attribute;
};

class Element : public Node {
public:
  // A new element in a tree of its own.
  Element();
  Element(const std::string &value);
  Element(const char *value);
  Element(const Element &other);
  Element &operator=(const Element &other);
  ~Element();

  void SetValue(const std::string &value);

  template <class T> void SetAttribute(const std::string &name, const T &value) {
    SetAttributeText(name, ToText(value));
  }
  void RemoveAttribute(const std::string &name);
  bool HasAttribute(const std::string &name) const;
  // The attribute's text, or "" when it is absent.
  std::string GetAttribute(const std::string &name) const;
  // Converts the attribute into *value. A missing attribute throws unless
  // throwIfNotFound is false, in which case *value is left alone; text that
  // does not convert always throws, after operator>> has written *value.
  template <class T>
  void GetAttribute(const std::string &name, T *value,
                    bool throwIfNotFound = true) const {
    if (!HasAttribute(name)) {
      if (throwIfNotFound) throw Exception("Attribute does not exist");
      return;
    }
    std::string text = GetAttribute(name);
    if (!FromText(text, value)) throw Exception(NotConverted(text));
  }
  template <class T, class D>
  void GetAttributeOrDefault(const std::string &name, T *value, const D &def) const {
    if (HasAttribute(name))
      GetAttribute(name, value);
    else
      *value = def;
  }

  // Text content of the element; throws when it has none, unless asked not
  // to, then returns "" or leaves *value alone.
  std::string GetText(bool throwIfNotFound = true) const;
  template <class T> void GetText(T *value, bool throwIfNotFound = true) const {
    if (!HasText()) {
      if (throwIfNotFound) throw Exception(NO_TEXT);
      return;
    }
    std::string text = GetText();
    if (!FromText(text, value)) throw Exception(NotConverted(text));
  }
  template <class T> void SetText(const T &value) { SetTextString(ToText(value)); }

  Attribute *FirstAttribute(bool throwIfNoAttributes = true) const;

private:
  friend class Node;
  friend class Attribute;
  Element(std::shared_ptr<tinyxml2::XMLDocument> doc, tinyxml2::XMLElement *element);
  tinyxml2::XMLElement *Xml() const;
  void SetAttributeText(const std::string &name, const std::string &text);
  void SetTextString(const std::string &text);
  bool HasText() const;
  Attribute *SpawnAttribute(const tinyxml2::XMLAttribute *attribute) const;

  mutable std::vector<std::unique_ptr<Attribute>> m_attributes;
};

class Document : public Node {
public:
  Document();
  // Remembers the file name for LoadFile() without loading it.
  explicit Document(const std::string &documentName);
  ~Document();

  void LoadFile();
  void LoadFile(const std::string &filename);
  void SaveFile(const std::string &filename) const;
  // LoadFile replaces the content with the file's (wrappers obtained from the
  // old content become invalid); Parse appends the parsed nodes after what
  // the document holds. On an error they throw Exception with the parser's
  // description, Parse only unless told not to, and Parse then adds nothing
  // (ticpp keeps the part parsed before the error).
  void Parse(const std::string &xml, bool throwIfParseError = true);

private:
  std::string m_name;
};

// Walks the child elements of a node (optionally only those with a given
// tag) or the attributes of an element:
//   for (it = it.begin(&node); it != it.end(); ++it) ...
template <class T> class Iterator {
public:
  explicit Iterator(const std::string &value = "") : m_p(nullptr), m_value(value) {}
  explicit Iterator(T *node, const std::string &value = "") : m_p(node), m_value(value) {}

  Iterator begin(const Node *parent) const { return Iterator(First(parent), m_value); }
  Iterator end() const { return Iterator(nullptr, m_value); }

  Iterator &operator++() {
    m_p = NextOf(m_p);
    return *this;
  }
  Iterator operator++(int) {
    Iterator old(*this);
    ++*this;
    return old;
  }
  Iterator &operator=(T *p) {
    m_p = p;
    return *this;
  }

  T *Get() const { return m_p; }
  T *operator->() const { return m_p; }
  T &operator*() const { return *m_p; }
  bool operator==(const Iterator &other) const { return m_p == other.m_p; }
  bool operator!=(const Iterator &other) const { return m_p != other.m_p; }
  bool operator==(const T *p) const { return m_p == p; }
  bool operator!=(const T *p) const { return m_p != p; }

private:
  T *First(const Node *parent) const;
  T *NextOf(T *p) const;

  T *m_p;
  std::string m_value;
};

template <> inline Element *Iterator<Element>::First(const Node *parent) const {
  if (parent == nullptr) return nullptr;
  return m_value.empty() ? parent->FirstChildElement(false)
                         : parent->FirstChildElement(m_value, false);
}
template <> inline Element *Iterator<Element>::NextOf(Element *p) const {
  if (p == nullptr) return nullptr;
  return m_value.empty() ? p->NextSiblingElement(false)
                         : p->NextSiblingElement(m_value, false);
}
template <> inline Attribute *Iterator<Attribute>::First(const Node *parent) const {
  const Element *element = dynamic_cast<const Element *>(parent);
  return element ? element->FirstAttribute(false) : nullptr;
}
template <> inline Attribute *Iterator<Attribute>::NextOf(Attribute *p) const {
  return p ? p->Next(false) : nullptr;
}

} // namespace ticpp

#endif
