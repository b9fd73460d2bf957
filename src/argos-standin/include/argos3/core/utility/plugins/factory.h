/*
 * Registry of creatable classes by label, one per base class. Plug-ins enter
 * their classes with REGISTER_SYMBOL (through REGISTER_CONTROLLER and the
 * like) when the library is loaded; the simulator creates them by label.
 */
#ifndef ARGOS_FACTORY_H
#define ARGOS_FACTORY_H

#include <argos3/core/utility/configuration/argos_exception.h>
#include <map>
#include <memory>
#include <ostream>
#include <string>

namespace argos {

template <typename TYPE> class CFactory {
public:
  typedef TYPE *TCreator();

  struct STypeInfo {
    TCreator *Creator;
    std::string Author;
    std::string Version;
    std::string BriefDescription;
    std::string LongDescription;
    std::string Status;
  };
  typedef std::map<std::string, std::unique_ptr<STypeInfo>> TTypeMap;

  // The labels registered so far with their descriptions.
  static TTypeMap &GetTypeMap() {
    static TTypeMap tTypeMap;
    return tTypeMap;
  }

  // Enters a class; a second registration under the same label replaces the
  // first.
  static void Register(const std::string &str_label, const std::string &str_author,
                       const std::string &str_version, const std::string &str_brief_desc,
                       const std::string &str_long_desc, const std::string &str_status,
                       TCreator *pc_creator) {
    GetTypeMap()[str_label].reset(new STypeInfo{
        pc_creator, str_author, str_version, str_brief_desc, str_long_desc, str_status});
  }

  // A new object of the class registered under str_label, owned by the
  // caller. Throws 'Symbol "<label>" not found' for an unknown label.
  static TYPE *New(const std::string &str_label) {
    typename TTypeMap::const_iterator it = GetTypeMap().find(str_label);
    if (it == GetTypeMap().end())
      throw CARGoSException("Symbol \"" + str_label + "\" not found");
    return it->second->Creator();
  }

  static bool Exists(const std::string &str_label) {
    return GetTypeMap().find(str_label) != GetTypeMap().end();
  }

  // One line per label: label, author, version, status, brief description.
  static void Print(std::ostream &c_os) {
    for (const auto &tEntry : GetTypeMap())
      c_os << tEntry.first << " (" << tEntry.second->Author << ", "
           << tEntry.second->Version << ", " << tEntry.second->Status
           << "): " << tEntry.second->BriefDescription << std::endl;
  }

  // Forgets every registration.
  static void Destroy() { GetTypeMap().clear(); }
};

} // namespace argos

// Must be used at global scope. CLASSNAME is token-pasted into the names of
// the creator function and the registering object, so it must be a plain
// identifier visible from namespace argos (add a using-declaration for a
// class in another namespace).
#define REGISTER_SYMBOL(BASECLASS, CLASSNAME, LABEL, AUTHOR, VERSION, BRIEF_DESCRIPTION, \
                        LONG_DESCRIPTION, STATUS)                                        \
  namespace argos {                                                                      \
  extern "C" {                                                                           \
  BASECLASS *BASECLASS##CLASSNAME##Creator() {                                           \
    return new CLASSNAME;                                                                \
  }                                                                                      \
  }                                                                                      \
  class BASECLASS##CLASSNAME##Proxy {                                                    \
  public:                                                                                \
    BASECLASS##CLASSNAME##Proxy() {                                                      \
      CFactory<BASECLASS>::Register(LABEL, AUTHOR, VERSION, BRIEF_DESCRIPTION,           \
                                    LONG_DESCRIPTION, STATUS,                            \
                                    BASECLASS##CLASSNAME##Creator);                      \
    }                                                                                    \
  };                                                                                     \
  BASECLASS##CLASSNAME##Proxy BASECLASS##CLASSNAME##_p;                                  \
  }

#endif
