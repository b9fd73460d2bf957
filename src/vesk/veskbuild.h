/*
 * Building a script in memory: compiles a source file and assembles the
 * listing without writing intermediate files. Used by the front end, the
 * debugger and the editor, so that all of them build exactly as vskparse
 * followed by vskasm would.
 */
#ifndef VESKBUILD_H
#define VESKBUILD_H

#include <stdint.h>
#include "veskdebug.h"

VESK_BEGIN_DECLS

/*
 * Compiles and assembles source. On success returns 1 with the bytecode
 * (release with free) and its debug object (release with veskdebug_destroy).
 * On failure returns 0 after the compiler's or assembler's messages on
 * standard error; *bcode is then null and *dbg may hold a debug object that
 * the caller still releases.
 */
VESK_API int veskbuild_memory(const char *source, uint8_t **bcode, uint32_t *size,
                              veskdebug_t *dbg);

VESK_END_DECLS

#endif
