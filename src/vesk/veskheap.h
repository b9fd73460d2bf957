/*
 * The object heap of a VM: every object a script creates, reclaimed by a
 * non-moving mark-and-sweep collector driven by generation stamps.
 */
#ifndef VESKHEAP_H
#define VESKHEAP_H

#include "vesktype.h"

VESK_BEGIN_DECLS

struct veskheap_s {
  veskdarray_t objs;  /* every live object, in creation order */
  uint32_t marklimit; /* collect when the object count reaches this */
  uint16_t marker;    /* current generation stamp */
};
typedef struct veskheap_s *veskheap_t;

struct veskvm_s;

VESK_API veskheap_t veskheap_new(void);
VESK_API void veskheap_destroy(veskheap_t *h);
VESK_API veskobj_t veskheap_newobj(veskheap_t h, uint16_t type);
/* Collection check and, when due, a full collection. */
VESK_API void veskheap_gc(struct veskvm_s *vm);
/* Marks one object and everything reachable from it. */
VESK_API void veskheap_objmark(struct veskvm_s *vm, veskobj_t o);

VESK_END_DECLS

#endif
