/*
 * Random number categories: the simulator's named base seeds.
 */
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/math/rng.h>

namespace argos {

std::map<std::string, UInt32> CRandom::m_mapCategories;

bool CRandom::CreateCategory(const std::string &str_category, UInt32 un_seed) {
  return m_mapCategories.emplace(str_category, un_seed).second;
}

bool CRandom::ExistsCategory(const std::string &str_category) {
  return m_mapCategories.count(str_category) > 0;
}

void CRandom::RemoveCategory(const std::string &str_category) {
  m_mapCategories.erase(str_category);
}

UInt32 CRandom::GetSeedOf(const std::string &str_category) {
  auto it = m_mapCategories.find(str_category);
  if (it == m_mapCategories.end())
    THROW_ARGOSEXCEPTION("CRandom:: can't find category \"" << str_category << "\".");
  return it->second;
}

void CRandom::SetSeedOf(const std::string &str_category, UInt32 un_seed) {
  auto it = m_mapCategories.find(str_category);
  if (it == m_mapCategories.end())
    THROW_ARGOSEXCEPTION("CRandom:: can't find category \"" << str_category << "\".");
  it->second = un_seed;
}

} // namespace argos
