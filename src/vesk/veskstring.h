/*
 * String library of Vesk scripts: the global table "string" with length,
 * substrings, concatenation and conversions between strings and numbers.
 * Every string it produces is registered without protection, so the
 * collector disposes of it once nothing refers to it.
 */
#ifndef VESKSTRING_H
#define VESKSTRING_H

#include "veskvm.h"

VESK_BEGIN_DECLS

/* Builds the "string" table and stores it as a global. Returns the VM state. */
VESK_API int veskstring_register(veskvm_t vm);

VESK_END_DECLS

#endif
