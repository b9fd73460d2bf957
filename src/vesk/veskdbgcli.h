/*
 * Command interpreter of the debugger: a debugging session driven by text
 * commands (break, watch, run, continue, step, next, finish, print, display,
 * locals, backtrace, frame, list, info, help, quit), either over a program
 * of its own (vskdbg) or attached to a VM that a host runs (a robot's
 * controller in vesksim or in the editor).
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
/* Ends a session, removing its breakpoints from the debug information; an
   attached one removes its hook and leaves the VM. */
VESK_API void veskdbgcli_destroy(veskdbgcli_t *s);

/*
 * Reads one command line (without its newline) into line, at most size
 * bytes with the terminating zero; returns 0 at the end of input.
 */
typedef int (*veskdbgcli_read_t)(void *data, char *line, size_t size);

/* Command lines from a stream, with the prompt "(vskdbg) " written on out
   before each when prompt is non-zero (data: a veskdbgcli_stream_t). */
typedef struct veskdbgcli_stream_s {
  FILE *in;
  FILE *out;
  int prompt;
} veskdbgcli_stream_t;
VESK_API int veskdbgcli_read_stream(void *data, char *line, size_t size);

/*
 * A session attached to a VM that a host runs: it installs the VM's hook
 * and, whenever the program stops (breakpoint, end of a step, changed
 * watched global, interrupt), reports the stop on out and reads commands
 * through read until one resumes the program; meanwhile the host waits in
 * its call into the VM. dbg is the program's debug information (may be
 * null), kept alive by the caller. `run` is refused; `quit` and the end of
 * input detach the debugger and let the program run on. The main script
 * named by dbg is compiled again to name the locals.
 */
VESK_API veskdbgcli_t veskdbgcli_attach(const char *name, veskvm_t vm, veskdebug_t dbg,
                                        veskdbgcli_read_t read, void *data, FILE *out,
                                        FILE *err);

/* Stops the program before the next instruction it executes. */
VESK_API void veskdbgcli_interrupt(veskdbgcli_t s);

/* Non-zero once the user gave `quit` (an attached host may then end). */
VESK_API int veskdbgcli_quitted(veskdbgcli_t s);

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
