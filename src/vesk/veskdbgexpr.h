/*
 * What the debugger shows of a program's state: the frames of its active
 * calls, the values of variables named as in the source (locals of a frame,
 * then globals; table members with NAME.FIELD and NAME[KEY]), and values
 * with the contents of their tables down to a depth.
 */
#ifndef VESKDBGEXPR_H
#define VESKDBGEXPR_H

#include <stdint.h>
#include "veskdbgsyms.h"
#include "veskdebug.h"
#include "veskvm.h"

VESK_BEGIN_DECLS

/* Active calls of the VM, the top level included. */
VESK_API int64_t veskdbgexpr_frames(veskvm_t vm);

/*
 * Offset of the instruction that frame k (0 = innermost) is at: for frame 0
 * the pc, or the failing instruction after an error; for a caller its call
 * instruction. -1 when unknown.
 */
VESK_API int32_t veskdbgexpr_frame_offset(veskvm_t vm, int64_t k);

/* "FILE:LINE:COL" of an offset, "bytecode offset N" without a position,
   "unknown position" for -1. Release with free. */
VESK_API char *veskdbgexpr_where(veskdebug_t dbg, int32_t off);

/* A value as text, tables with their entries down to depth levels (0: only
   their size). Release with free. */
VESK_API char *veskdbgexpr_format(veskvm_t vm, veskdebug_t dbg, veskobj_t o, int depth);

/*
 * The value of expr in frame k: a local visible there (names from syms,
 * which may be null), else a global, followed by .FIELD and [KEY] members.
 * Returns the object, or null with *error set to a message (release with
 * free) when the expression is malformed or names nothing.
 */
VESK_API veskobj_t veskdbgexpr_eval(veskvm_t vm, veskdebug_t dbg, veskdbgsyms_t syms,
                                    int64_t k, const char *expr, char **error);

/* The locals of frame k, one "NAME = VALUE" line each (without syms, every
   slot as "[slot N]"); null at the top level. Release with free. */
VESK_API char *veskdbgexpr_locals(veskvm_t vm, veskdebug_t dbg, veskdbgsyms_t syms,
                                  int64_t k, int depth);

/* A global's value by name, or null when there is none. */
VESK_API veskobj_t veskdbgexpr_global(veskvm_t vm, const char *name);

VESK_END_DECLS

#endif
