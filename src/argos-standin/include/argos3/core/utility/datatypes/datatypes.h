/*
 * Fixed-width numeric types used throughout the ARGoS API.
 */
#ifndef ARGOS_DATATYPES_H
#define ARGOS_DATATYPES_H

#include <argos3/core/config.h>
#include <iosfwd>

namespace argos {

#ifdef ARGOS_USE_DOUBLE
typedef double Real;
#else
typedef float Real;
#endif

typedef signed char SInt8;
typedef unsigned char UInt8;
typedef signed short SInt16;
typedef unsigned short UInt16;
typedef signed int SInt32;
typedef unsigned int UInt32;
typedef signed long long SInt64;
typedef unsigned long long UInt64;

// Bytes print as numbers, not as characters.
std::ostream &operator<<(std::ostream &c_os, const SInt8 n_value);
std::ostream &operator<<(std::ostream &c_os, const UInt8 un_value);

} // namespace argos

#endif
