/*
 * Code shared by the command-line programs and the vsk front end: writing
 * and loading bytecode and debug files, and the console runner, which runs a
 * script in a fresh VM with a print function and reports how it ended.
 */
#ifndef VESKTOOLS_H
#define VESKTOOLS_H

#include <stdint.h>
#include "veskdebug.h"

VESK_BEGIN_DECLS

/*
 * Assembles a listing into a bytecode file and a debug file, reporting
 * failures on standard error. Returns the exit status: 0, or 1 when the
 * listing cannot be assembled or a file cannot be written.
 */
VESK_API int vesktools_assemble_files(const char *vasm, const char *vo, const char *vdb);

/*
 * Reads a whole file into a malloc'ed buffer (release with free). Returns 0
 * when the file cannot be opened or measured (after perror with the path);
 * otherwise 1, also after a short read, which is reported with perror and
 * leaves what was read.
 */
VESK_API int vesktools_load(const char *path, uint8_t **buf, uint32_t *size);

/* A debug object filled from path; on failure perror(path) and an empty object. */
VESK_API veskdebug_t vesktools_load_debug(const char *path);

/* The script function print: writes its arguments and a newline to standard output. */
VESK_API int vesktools_print(veskvm_t vm);

/* Makes print a global function of the VM. */
VESK_API void vesktools_register_print(veskvm_t vm);

/*
 * Runs bytecode in a fresh VM (robot 1) with print until it leaves "ready",
 * tracing every step to standard output when asked, and reports the end under
 * name: "execution terminated correctly" on standard output (returns 0) or the
 * error at its source position, or its bytecode offset, on standard error
 * (returns 1).
 */
VESK_API int vesktools_run(const char *name, const uint8_t *bcode, uint32_t size,
                            veskdebug_t dbg, int trace);

VESK_END_DECLS

#endif
