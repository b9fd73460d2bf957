/*
 * Static checks of Vesk scripts (`vsk check`): compiles a script with an
 * observer on the compiler and warns about names that are read but never
 * assigned, assignments that only change a lambda's copy of a captured
 * local, calls with the wrong number of arguments and locals never read.
 */
#ifndef VESKCHECK_H
#define VESKCHECK_H

#include <stdio.h>
#include "veskdefs.h"

VESK_BEGIN_DECLS

/* Checks a source file and the files it includes. Writes one line per
   warning on out, "file:line:column: warning: text", sorted by position;
   a line whose comment contains "check: ignore" gets none. Returns the
   number of warnings, or -1 when the file does not compile (after the
   compiler's messages on standard error). */
VESK_API int veskcheck_file(const char *source, FILE *out);

/* 1 when name is a global that the console runner or a robot kind's
   controller provides, else 0. */
VESK_API int veskcheck_is_builtin(const char *name);

/* Those globals, sorted, ending with NULL. */
VESK_API const char *const *veskcheck_builtins(void);

VESK_END_DECLS

#endif
