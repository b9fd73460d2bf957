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

/* Appends a handle; writes in place while the array keeps a free slot after
   the insertion (its size < capacity invariant), else lets it grow. */
inline void veskvm_handles_push(veskdarray_t da, veskobj_t o) {
  if (da->size + 1 < static_cast<int64_t>(da->capacity))
    reinterpret_cast<veskobj_t *>(da->data)[da->size++] = o;
  else
    veskdarray_push(da, &o);
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

/* Steps while the VM is "ready" and, for depth >= 0, while it has more than
   depth operand stacks (a call made from native code is still running). */
int veskvm_run(veskvm_t vm, int64_t depth);

#endif
