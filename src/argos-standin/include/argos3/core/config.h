/* Build switches of the ARGoS stand-in. Mirrors the installed simulator's
 * configuration except for Lua support, which the stand-in leaves out so
 * devices have no Lua hooks to implement. */
#ifndef ARGOS_CONFIG_H
#define ARGOS_CONFIG_H

#define ARGOS_VERSION "3.0.0"
#define ARGOS_RELEASE "beta59"
#define ARGOS_USE_DOUBLE
#define ARGOS_THREADSAFE_LOG

#endif
