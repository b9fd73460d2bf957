/*
 * Debug information of one bytecode file: bytecode offsets mapped to source
 * positions (file, line, column) in both directions, the .vdb file that
 * stores the mapping, breakpoints with stepping helpers, and a readable dump
 * of a VM's state and stack.
 */
#ifndef VESKDEBUG_H
#define VESKDEBUG_H

#include <stdint.h>
#include <stdio.h>
#include "veskdarray.h"
#include "veskdict.h"
#include "veskvm.h"

VESK_BEGIN_DECLS

/* A source position. Each dictionary of a debug object owns its own entries. */
struct veskdebug_entry_s {
  uint64_t line;
  uint64_t col;
  char *fname; /* owned copy */
};
typedef struct veskdebug_entry_s *veskdebug_entry_t;

struct veskdebug_s {
  veskdict_t off2script;    /* uint32 offset -> entry; the position recorded last */
  veskdict_t script2off;    /* entry -> uint32 offset; the lowest offset recorded */
  veskdarray_t breakpoints; /* int32 offsets, unsorted, no duplicates */
};
typedef struct veskdebug_s *veskdebug_t;

VESK_API veskdebug_t veskdebug_new(void);
VESK_API void veskdebug_destroy(veskdebug_t *dbg);

/* Adds every complete record of a .vdb file; 1 on success, 0 on failure (silent). */
VESK_API int veskdebug_fromfile(veskdebug_t dbg, const char *path);
/* Writes one record per off2script entry; 1 on success, 0 on failure (silent). */
VESK_API int veskdebug_tofile(const char *path, veskdebug_t dbg);

VESK_API void veskdebug_info_set(veskdebug_t dbg, uint32_t offset, uint64_t line,
                                 uint64_t col, const char *fname);
/* The lowest offset recorded for a source position, or null. */
VESK_API uint32_t *veskdebug_info_get_fromscript(veskdebug_t dbg, uint64_t line,
                                                 uint64_t col, const char *fname);
/* The source position recorded for an offset, or null. */
VESK_API veskdebug_entry_t veskdebug_info_get_fromoffset(veskdebug_t dbg,
                                                         uint32_t offset);

VESK_API void veskdebug_breakpoint_set_offset(veskdebug_t dbg, int32_t offset);
VESK_API void veskdebug_breakpoint_remove_offset(veskdebug_t dbg, int32_t offset);
VESK_API int veskdebug_breakpoint_exists(veskdebug_t dbg, int32_t offset);

/* Runs the VM until a breakpoint or a state other than "ready". */
VESK_API int veskdebug_continue(veskvm_t vm, veskdebug_t dbg);
/* Calls the closure below argc arguments on the stack, stopping at breakpoints. */
VESK_API int veskdebug_closure_call(veskvm_t vm, uint32_t argc, veskdebug_t dbg);
/* Calls a global function by name through veskdebug_closure_call. */
VESK_API int veskdebug_function_call(veskvm_t vm, const char *fname, uint32_t argc,
                                     veskdebug_t dbg);

/* Dumps state and the stack at depth idx (1 = current stack) to out. */
VESK_API void veskdebug_stack_dump(veskvm_t vm, uint32_t idx, FILE *out);

VESK_API veskdebug_entry_t veskdebug_entry_new(uint64_t line, uint64_t col,
                                               const char *fname);
VESK_API void veskdebug_entry_destroy(veskdebug_entry_t *e);
/* Walking callback of veskdebug_tofile: params is a veskdebug_writer_s. */
struct veskdebug_writer_s {
  FILE *out;
  int ok; /* cleared by the first failed write; later entries are skipped */
};
VESK_API void veskdebug_entry_dump(const void *key, void *data, void *params);

/* Dictionary callbacks of the two maps. */
VESK_API uint32_t veskdebug_entryhash(const void *key);
VESK_API int veskdebug_entrycmp(const void *a, const void *b);
VESK_API void veskdebug_off2script_destroyf(const void *key, void *data, void *params);
VESK_API void veskdebug_script2off_destroyf(const void *key, void *data, void *params);

VESK_END_DECLS

#endif
