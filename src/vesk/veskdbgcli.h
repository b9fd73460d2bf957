/*
 * Command interpreter of the console debugger vskdbg: a debugging session
 * over one bytecode buffer and its debug information, driven by text
 * commands (break, run, continue, step, next, print, globals, backtrace,
 * help, quit) read from a stream.
 */
#ifndef VESKDBGCLI_H
#define VESKDBGCLI_H

#include <stdint.h>
#include <stdio.h>
#include "veskdebug.h"
#include "veskvm.h"

VESK_BEGIN_DECLS

typedef struct veskdbgcli_s *veskdbgcli_t;

/*
 * A session over bytecode and its debug information, both kept alive by the
 * caller for the session's life. name labels the end-of-run messages (as
 * vskrun's bytecode path does); the debugger's own output goes to out, its
 * diagnostics and the program's run-time errors to err. The program's print
 * writes to standard output.
 */
VESK_API veskdbgcli_t veskdbgcli_new(const char *name, const uint8_t *bcode,
                                     uint32_t size, veskdebug_t dbg, FILE *out,
                                     FILE *err);
VESK_API void veskdbgcli_destroy(veskdbgcli_t *s);

/* Executes one command line: 0 after quit, otherwise 1. */
VESK_API int veskdbgcli_execute(veskdbgcli_t s, const char *line);

/*
 * Executes the commands read from in until quit or end of input, writing the
 * prompt "(vskdbg) " before each when prompt is non-zero. Returns the exit
 * status of the debugger (0).
 */
VESK_API int veskdbgcli_repl(veskdbgcli_t s, FILE *in, int prompt);

/* The VM of the program being debugged, or null before the first run. */
VESK_API veskvm_t veskdbgcli_vm(veskdbgcli_t s);

VESK_END_DECLS

#endif
