/*
 * Names of the local variables of a compiled script, for debuggers: which
 * frame slot holds which variable at a source position. Gathered from the
 * compiler's own symbol tables while it compiles the source (as an observer
 * of the compilation), so that the bytecode and debug files need not carry
 * them.
 */
#ifndef VESKDBGSYMS_H
#define VESKDBGSYMS_H

#include <stdint.h>
#include "veskdefs.h"
#include "veskparser.h"

VESK_BEGIN_DECLS

typedef struct veskdbgsyms_s *veskdbgsyms_t;

VESK_API veskdbgsyms_t veskdbgsyms_new(void);
VESK_API void veskdbgsyms_destroy(veskdbgsyms_t *s);

/* The observer to attach to a compilation (data: the symbols object). */
VESK_API void veskdbgsyms_observe(const veskparser_seen_t *seen, void *data);

/* One local variable visible at a position: its name and frame slot. */
typedef struct veskdbgsyms_local_s {
  const char *name; /* valid while the symbols object lives */
  int64_t slot;
} veskdbgsyms_local_t;

/*
 * The locals visible at FILE:LINE:COL (a position of the debug information)
 * in the innermost function around it, by slot, the innermost declaration of
 * each name only; at most max of them go to out. Returns how many there are
 * (0 at the top level, whose variables are globals).
 */
VESK_API uint32_t veskdbgsyms_visible(veskdbgsyms_t s, const char *fname, uint64_t line,
                                      uint64_t col, veskdbgsyms_local_t *out,
                                      uint32_t max);

VESK_END_DECLS

#endif
