/*
 * A value of any copyable type, read back with any_cast.
 */
#ifndef ARGOS_ANY_H
#define ARGOS_ANY_H

#include <argos3/core/utility/configuration/argos_exception.h>
#include <any>
#include <type_traits>
#include <typeinfo>

namespace argos {

class CAny {
public:
  CAny() {}
  template <typename T>
  requires(!std::is_same_v<std::decay_t<T>, CAny>) CAny(const T &t_value)
      : m_cValue(t_value) {}

  bool Empty() const { return !m_cValue.has_value(); }
  const std::type_info &GetType() const { return m_cValue.type(); }
  CAny &Swap(CAny &c_other) {
    m_cValue.swap(c_other.m_cValue);
    return *this;
  }

  template <typename T> friend T *any_cast(CAny *pc_any);
  template <typename T> friend const T *any_cast(const CAny *pc_any);

private:
  std::any m_cValue;
};

// Pointer forms: null when the held type differs.
template <typename T> T *any_cast(CAny *pc_any) {
  return pc_any ? std::any_cast<T>(&pc_any->m_cValue) : nullptr;
}
template <typename T> const T *any_cast(const CAny *pc_any) {
  return pc_any ? std::any_cast<T>(&pc_any->m_cValue) : nullptr;
}

// Reference forms: throw CARGoSException when the held type differs.
template <typename T> T &any_cast(CAny &c_any) {
  T *pt_value = any_cast<T>(&c_any);
  if (pt_value == nullptr)
    throw CARGoSException(std::string("Cannot cast a CAny holding \"") +
                          c_any.GetType().name() + "\" to \"" + typeid(T).name() + "\"");
  return *pt_value;
}
template <typename T> const T &any_cast(const CAny &c_any) {
  const T *pt_value = any_cast<T>(&c_any);
  if (pt_value == nullptr)
    throw CARGoSException(std::string("Cannot cast a CAny holding \"") +
                          c_any.GetType().name() + "\" to \"" + typeid(T).name() + "\"");
  return *pt_value;
}

} // namespace argos

#endif
