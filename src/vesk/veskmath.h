/*
 * Numeric libraries of Vesk scripts: the global table "math" (single-precision
 * functions and pi) and the global table "rng", a per-VM MT19937 generator with
 * uniform, Gaussian and exponential draws.
 */
#ifndef VESKMATH_H
#define VESKMATH_H

#include <stdint.h>
#include "veskvm.h"

VESK_BEGIN_DECLS

/* Words of MT19937 state kept per VM (vm->rngstate). */
#define VESKMATH_MT_WORDS 624

/*
 * Builds the "math" and "rng" tables as globals and gives the VM a fresh
 * generator seeded with the wall-clock time in seconds. Returns the VM state.
 */
VESK_API int veskmath_register(veskvm_t vm);

/* Frees the generator state of the VM (called when the VM goes away). */
VESK_API void veskmath_release(veskvm_t vm);

/* Seeds the VM's generator; the next draw regenerates the whole block. */
VESK_API void mt_setseed(veskvm_t vm, int32_t seed);

/* Next tempered 32-bit word of the VM's generator. */
VESK_API uint32_t mt_uniform32(veskvm_t vm);

VESK_END_DECLS

#endif
