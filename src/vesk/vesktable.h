/*
 * The table built-ins every script can call as globals: type, clone, size,
 * foreach, map and reduce. Each is a native function; veskobj_register
 * installs them when bytecode is loaded.
 */
#ifndef VESKTABLE_H
#define VESKTABLE_H

#include "veskvm.h"

VESK_BEGIN_DECLS

/* Stores the six built-ins as global functions; returns the VM state. */
VESK_API int veskobj_register(veskvm_t vm);

/* type(x): the name of x's type as a string. The parentheses keep the name
   apart from the veskobj_type(obj) macro of vesktype.h. */
VESK_API int(veskobj_type)(veskvm_t vm);
/* clone(x): a deep copy of x made of heap objects; shared and cyclic tables
   are copied once, so the copy has the same shape as the original. */
VESK_API int veskobj_clone(veskvm_t vm);
/* size(t): the number of entries of table t. */
VESK_API int veskobj_size(veskvm_t vm);
/*
 * foreach(t, f), map(t, f), reduce(t, f, acc): call f with each key and value
 * (and the accumulator, for reduce). The walk covers the keys t has when it
 * starts, in dictionary order; f may add or remove entries of t: added keys
 * are not visited in this walk, a key removed before its turn is skipped, and
 * each visit passes the value stored at that moment.
 */
VESK_API int veskobj_foreach(veskvm_t vm);
VESK_API int veskobj_map(veskvm_t vm);
VESK_API int veskobj_reduce(veskvm_t vm);

VESK_END_DECLS

#endif
