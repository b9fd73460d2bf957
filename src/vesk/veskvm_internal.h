/*
 * Internals shared by the VM's source files (not part of the public API):
 * operand-stack primitives and the return sequence.
 */
#ifndef VESKVM_INTERNAL_H
#define VESKVM_INTERNAL_H

#include "veskvm.h"

/* Element idx of the current stack counted from the top (1 = top). */
inline veskobj_t &veskvm_at(veskvm_t vm, int64_t idx) {
  return veskdarray_get(vm->stack, veskdarray_size(vm->stack) - idx, veskobj_t);
}

/* Appends a pointer-sized element (a handle, a stack, a frame); writes in
   place while the array keeps a free slot after the insertion (its
   size < capacity invariant), else lets it grow. */
template <typename T> inline void veskvm_array_push(veskdarray_t da, T v) {
  if (da->size + 1 < static_cast<int64_t>(da->capacity))
    reinterpret_cast<T *>(da->data)[da->size++] = v;
  else
    veskdarray_push(da, &v);
}

inline void veskvm_handles_push(veskdarray_t da, veskobj_t o) {
  veskvm_array_push(da, o);
}

inline void veskvm_drop(veskvm_t vm, int64_t n) {
  vm->stack->size -= n;
}

/* True when the current stack holds at least n elements; else a stack error. */
inline bool veskvm_need(veskvm_t vm, uint32_t n) {
  if (veskdarray_size(vm->stack) >= static_cast<int64_t>(n)) return true;
  veskvm_seterror(vm, VESKVM_ERROR_STACK, "stack idx %u out of bounds", n);
  return false;
}

inline bool veskvm_pc_ok(veskvm_t vm) {
  if (vm->pc >= 0 && static_cast<uint32_t>(vm->pc) < vm->bcode_size) return true;
  veskvm_seterror(vm, VESKVM_ERROR_PC, nullptr);
  return false;
}

inline veskobj_t veskvm_newobj(veskvm_t vm, uint16_t type) {
  return veskheap_newobj(vm->heap, type);
}

/* A new closure (ref, isscript) whose record is t as self followed by the
   elements after self of captured (none when captured is null). */
veskobj_t veskvm_method(veskvm_t vm, veskobj_t t, int32_t ref, uint8_t isscript,
                        veskdarray_t captured);

/* Leaves the innermost call, with the callee's top as result if withvalue. */
int veskvm_return(veskvm_t vm, bool withvalue);

/* The call sequence once the argument count n is known: the checks of
   veskvm_call, then the call. veskvm_call_fits tells, without raising
   anything, whether those checks pass; veskvm_call_enter makes a call that
   passes them. */
int veskvm_call_n(veskvm_t vm, int32_t n, int isswarm);
bool veskvm_call_fits(veskvm_t vm, int32_t n);
int veskvm_call_enter(veskvm_t vm, int32_t n, int isswarm);

/*
 * Fused execution. For every byte offset of the loaded code, the shape of
 * the instruction sequence starting there that the run loops execute as one
 * operation (VESKVM_FUSED_NONE: the instruction alone). A sequence never
 * reaches past the code, never continues into a jump target or a function
 * entry, and ends at a call. Its arguments are read from the code itself.
 */
enum {
  VESKVM_FUSED_NONE = 0,
  VESKVM_FUSED_GLOAD, /* pushs k; gload */
  VESKVM_FUSED_TGET,  /* pushs k; tget */
  VESKVM_FUSED_CALL,  /* pushi n; callc or calls */
  VESKVM_FUSED_LLOAD, /* lload i alone */
  VESKVM_FUSED_JUMP,  /* jump alone */
  VESKVM_FUSED_BINARY = 0x40,
  /* | operand a << 4 | operand b << 2 | sink: [a] [b] binary-op [sink], where
     an operand is VESKVM_OPERAND_* and a sink VESKVM_SINK_*. A result that
     would be pushed and is taken at once by the binary operation that
     follows is passed on without an object. */
  VESKVM_FUSED_TARGET = 0x80 /* flag: some instruction names this address */
};
enum { VESKVM_OPERAND_STACK = 0, VESKVM_OPERAND_LOCAL, VESKVM_OPERAND_CONST };
enum { VESKVM_SINK_PUSH = 0, VESKVM_SINK_LSTORE, VESKVM_SINK_JUMPZ, VESKVM_SINK_JUMPNZ };

struct veskvm_fused_s {
  const uint8_t *bcode; /* the code the shapes were found in */
  uint32_t size;
  uint8_t *shape; /* one per byte offset */
};

/* Finds the sequences of the loaded code (from offset start on). */
void veskvm_fused_build(veskvm_t vm, uint32_t start);
void veskvm_fused_free(veskvm_t vm);

/* Steps while the VM is "ready" and, for depth >= 0, while it has more than
   depth operand stacks (a call made from native code is still running). */
int veskvm_run(veskvm_t vm, int64_t depth);

#endif
