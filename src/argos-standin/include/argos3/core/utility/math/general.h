/*
 * Small numeric helpers shared by the math types. The object-like macros
 * Log, Sqrt, Exp and Mod are part of the simulator's API as well: keeping
 * them here means code that would clash with them fails in the stand-in too.
 */
#ifndef ARGOS_GENERAL_H
#define ARGOS_GENERAL_H

#include <argos3/core/utility/datatypes/datatypes.h>
#include <cmath>

namespace argos {

template <typename T> T Abs(const T &t_v) {
  return t_v > T(0) ? t_v : -t_v;
}
template <typename T> T Min(const T &t_v1, const T &t_v2) {
  return t_v1 < t_v2 ? t_v1 : t_v2;
}
template <typename T> T Max(const T &t_v1, const T &t_v2) {
  return t_v1 > t_v2 ? t_v1 : t_v2;
}
template <typename T> T Square(const T &t_v) {
  return t_v * t_v;
}
template <typename T> SInt32 Sign(const T &t_v) {
  return t_v > T(0) ? 1 : (t_v < T(0) ? -1 : 0);
}

} // namespace argos

#define Log ::log
#define Sqrt ::sqrt
#define Exp ::exp
#define Mod ::fmod

#endif
