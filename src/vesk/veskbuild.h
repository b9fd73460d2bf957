/*
 * Building a script: compiles a source file and assembles the listing, in
 * memory or into the files vskparse and vskasm would write. Used by the
 * front end, the debugger, the editor and the tests, so that all of them
 * build exactly as vskparse followed by vskasm would.
 */
#ifndef VESKBUILD_H
#define VESKBUILD_H

#include <stdint.h>
#include "veskdebug.h"
#include "veskparser.h"

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

/*
 * The same, with the name under which the assembler reports the listing
 * (NULL: the .vasm file vskparse would have written) and, when messages is
 * not NULL, the compiler's and assembler's messages kept in *messages (a
 * string, possibly empty; release with free) instead of standard error.
 */
VESK_API int veskbuild_memory_named(const char *source, const char *listing,
                                    uint8_t **bcode, uint32_t *size, veskdebug_t *dbg,
                                    char **messages);

/*
 * The same as veskbuild_memory_named with the default listing name, with
 * observer told what the compiler sees (see veskparser_observe).
 */
VESK_API int veskbuild_observed(const char *source, veskparser_observer_t observer,
                                void *data, uint8_t **bcode, uint32_t *size,
                                veskdebug_t *dbg, char **messages);

/*
 * Builds source as `vsk build` does: writes FILE.vasm, FILE.vo and FILE.vdb
 * next to FILE.vsk. Returns the exit status: 0, or 1 after the messages on
 * standard error.
 */
VESK_API int veskbuild_files(const char *source);

/*
 * Writes built bytecode to the file vo and its debug object to vdb, printing
 * nothing. Returns 0, 1 when vo cannot be written or 2 when vdb cannot
 * (errno says why).
 */
VESK_API int veskbuild_write(const char *vo, const char *vdb, const uint8_t *bcode,
                             uint32_t size, veskdebug_t dbg);

/*
 * Capture of standard error: everything the process writes there (on the
 * file descriptor, whatever writes it) between start and finish. Start
 * returns NULL when standard error cannot be redirected; finish restores it
 * and returns what was written (a string; release with free), or NULL for a
 * NULL capture, and releases the capture.
 */
typedef struct veskbuild_capture_s *veskbuild_capture_t;
VESK_API veskbuild_capture_t veskbuild_capture_start(void);
VESK_API char *veskbuild_capture_finish(veskbuild_capture_t *capture);

VESK_END_DECLS

#endif
