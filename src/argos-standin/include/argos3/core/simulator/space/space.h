/*
 * The simulated space: every entity, indexed by type description and id.
 */
#ifndef ARGOS_SPACE_H
#define ARGOS_SPACE_H

#include <argos3/core/utility/datatypes/any.h>
#include <map>
#include <string>

namespace argos {

namespace standin {
class CEntityWiring;
}

class CSpace {
public:
  typedef std::map<std::string, CAny, std::less<std::string>> TMapPerType;
  typedef std::map<std::string, TMapPerType, std::less<std::string>> TMapPerTypePerId;

  // Entities of one type by id, each value holding a pointer to the entity
  // (e.g. CControllableEntity* for "controller"). Throws CARGoSException
  // when the space holds no entity of that type.
  TMapPerType &GetEntitiesByType(const std::string &str_type);
  TMapPerTypePerId &GetEntityMapPerTypePerId() { return m_mapEntitiesPerTypePerId; }

private:
  friend class standin::CEntityWiring;
  TMapPerTypePerId m_mapEntitiesPerTypePerId;
};

} // namespace argos

#endif
