/*
 * The object heap of a VM: every object a script creates, reclaimed by a
 * non-moving mark-and-sweep collector driven by generation stamps.
 */
#ifndef VESKHEAP_H
#define VESKHEAP_H

#include "vesktype.h"

VESK_BEGIN_DECLS

struct veskheap_impl_s;

struct veskheap_s {
  veskdarray_t objs;            /* every live object, in creation order */
  uint32_t marklimit;           /* collect when the object count reaches this */
  uint16_t marker;              /* current generation stamp */
  struct veskheap_impl_s *impl; /* object pool and the collector's work list */
};
typedef struct veskheap_s *veskheap_t;

struct veskvm_s;

VESK_API veskheap_t veskheap_new(void);
VESK_API void veskheap_destroy(veskheap_t *h);
VESK_API veskobj_t veskheap_newobj(veskheap_t h, uint16_t type);
/* Deep copy of a value into new objects of the heap (veskobj_deepcopy). */
VESK_API veskobj_t veskheap_copyobj(veskheap_t h, const veskobj_t o);
/* Collection check and, when due, a full collection. */
VESK_API void veskheap_gc(struct veskvm_s *vm);
/* Marks one object and everything reachable from it (no recursion). Objects
   outside the heap (deep copies) may be marked too: this keeps the strings
   and heap objects they refer to alive. */
VESK_API void veskheap_objmark(struct veskvm_s *vm, veskobj_t o);

/* Walkers for the containers of the roots; the user parameter is the VM. */
/* Array of object handles: marks the element. */
VESK_API void veskheap_darrayobj_mark(uint32_t pos, void *elem, void *vm);
/* Dictionary whose values are object handles: marks the value. */
VESK_API void veskheap_dictobj_mark(const void *key, void *data, void *vm);
/* Array of operand stacks: marks every object of the stack. */
VESK_API void veskheap_stack_mark(uint32_t pos, void *elem, void *vm);
/* Array of call frames: marks every local symbol of the frame. */
VESK_API void veskheap_lsyms_mark(uint32_t pos, void *elem, void *vm);
/* Global symbols: marks the value and keeps the name's string. */
VESK_API void veskheap_gsymobj_mark(const void *key, void *data, void *vm);
/* Listeners: keeps the topic string and marks the closure. */
VESK_API void veskheap_listener_mark(const void *key, void *data, void *vm);

VESK_END_DECLS

#endif
