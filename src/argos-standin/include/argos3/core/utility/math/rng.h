/*
 * Random number categories: named base seeds that the simulator creates
 * ("argos" holds the experiment's random_seed) and that code asks for.
 * Only the category calls are here; the generators themselves are not used.
 */
#ifndef ARGOS_RNG_H
#define ARGOS_RNG_H

#include <argos3/core/utility/datatypes/datatypes.h>
#include <map>
#include <string>

namespace argos {

class CRandom {
public:
  // False when the category exists already (its seed is then unchanged).
  static bool CreateCategory(const std::string &str_category, UInt32 un_seed);
  static bool ExistsCategory(const std::string &str_category);
  static void RemoveCategory(const std::string &str_category);
  // Both throw CARGoSException for an unknown category.
  static UInt32 GetSeedOf(const std::string &str_category);
  static void SetSeedOf(const std::string &str_category, UInt32 un_seed);

private:
  static std::map<std::string, UInt32> m_mapCategories;
};

} // namespace argos

#endif
