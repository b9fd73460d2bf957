/*
 * Wire encoding of inter-robot messages: big-endian integers, a portable
 * float form, length-prefixed strings and whole values (nil, numbers,
 * strings, nested tables). Serialisers append to a byte payload the caller
 * owns; deserialisers read from a position and never past the payload.
 */
#ifndef VESKMSG_H
#define VESKMSG_H

#include <stdint.h>
#include "veskdarray.h"
#include "vesktype.h"

VESK_BEGIN_DECLS

struct veskvm_s;

/* Message kinds: the first byte of every message. */
typedef enum {
  VESKMSG_BROADCAST = 0,
  VESKMSG_SWARM_LIST,
  VESKMSG_VSTIG_PUT,
  VESKMSG_VSTIG_GET,
  VESKMSG_SWARM_JOIN,
  VESKMSG_SWARM_LEAVE
} veskmsg_kind;
#define VESKMSG_KINDS 6
/* Names of the kinds, as warnings print them. */
VESK_API extern const char *const veskmsg_kind_desc[VESKMSG_KINDS];

/* Scale of the float mantissa field; used after conversion to float (2^31). */
#define MAX_MANTISSA 2147483646

/*
 * Non-finite floats. A zero travels as mantissa 0, exponent 0; a non-zero
 * value never has mantissa 0. The otherwise unused pairs (mantissa 0,
 * exponent 1), (0, -1) and (0, 2) carry +infinity, -infinity and NaN.
 * Any other exponent with mantissa 0 decodes as zero.
 */
#define VESKMSG_FLOAT_EXP_PINF 1
#define VESKMSG_FLOAT_EXP_NINF (-1)
#define VESKMSG_FLOAT_EXP_NAN 2

/* Longest text a string encoding can carry (16-bit count). */
#define VESKMSG_MAX_STRLEN 65535
/* Deepest table nesting a value may have to be sent or accepted. */
#define VESKMSG_MAX_DEPTH 64
/* Largest message: the packet carries each message behind a 16-bit length. */
#define VESKMSG_MAX_LEN 65535

VESK_API void veskmsg_serialize_u8(veskdarray_t payload, uint8_t v);
VESK_API int64_t veskmsg_deserialize_u8(uint8_t *out, const veskdarray_t payload,
                                        uint32_t pos);
VESK_API void veskmsg_serialize_u16(veskdarray_t payload, uint16_t v);
VESK_API int64_t veskmsg_deserialize_u16(uint16_t *out, const veskdarray_t payload,
                                         uint32_t pos);
VESK_API void veskmsg_serialize_u32(veskdarray_t payload, uint32_t v);
VESK_API int64_t veskmsg_deserialize_u32(uint32_t *out, const veskdarray_t payload,
                                         uint32_t pos);
VESK_API void veskmsg_serialize_float(veskdarray_t payload, float v);
VESK_API int64_t veskmsg_deserialize_float(float *out, const veskdarray_t payload,
                                           uint32_t pos);
/* Returns 1, or 0 (nothing appended) for a text longer than VESKMSG_MAX_STRLEN. */
VESK_API int veskmsg_serialize_string(veskdarray_t payload, const char *str);
/* On success *out is a new zero-terminated copy the caller frees with free(). */
VESK_API int64_t veskmsg_deserialize_string(char **out, const veskdarray_t payload,
                                            uint32_t pos);

/*
 * Appends the encoding of o. Returns 1, or 0 when o cannot be encoded (a
 * text too long, tables nested deeper than VESKMSG_MAX_DEPTH); the payload
 * may then hold a partial encoding and must be discarded.
 */
VESK_API int veskobj_serialize(veskdarray_t payload, const veskobj_t o);
/*
 * Decodes one value into a new heap object of vm. Returns the position
 * after it, or -1 for a truncated or malformed encoding (unknown tag,
 * closure, userdata, a table key that cannot index a table, nesting deeper
 * than VESKMSG_MAX_DEPTH) or a text for which no string id is left. Objects
 * made before a failure are garbage.
 */
VESK_API int64_t veskobj_deserialize(veskobj_t *out, const veskdarray_t payload,
                                     uint32_t pos, struct veskvm_s *vm);

/*
 * Checks that o can be sent: texts fit their count, tables are nested at
 * most VESKMSG_MAX_DEPTH deep (so cycles are refused) and use no NaN key.
 * Adds the encoded size to *size and stops early once it exceeds limit.
 * Returns null when sendable, otherwise a static text saying why not.
 */
VESK_API const char *veskmsg_obj_check(const veskobj_t o, uint64_t *size, uint64_t limit);

/*
 * Checks a message's values before it is queued: on failure raises a
 * "type mismatch" VM error naming the problem and returns 0. header is the
 * byte count of the fixed fields; n values follow.
 */
VESK_API int veskmsg_check_sendable(struct veskvm_s *vm, uint64_t header,
                                    const veskobj_t *objs, int n);

/* Key hash and equality of stigmergy keys and pending-message keys: numbers
 * of equal value are one key (1 and 1.0), NaN equals NaN, strings by text. */
VESK_API uint32_t veskmsg_key_hash(const veskobj_t k);
VESK_API int veskmsg_key_eq(const veskobj_t a, const veskobj_t b);
/* True when a value may serve as a stigmergy key: nil, integer, float, string. */
VESK_API int veskmsg_key_valid(const veskobj_t k);

/*
 * Deep copy of an object that lives outside the heap (a message or
 * stigmergy copy) into new heap objects of vm, so a script may keep it.
 */
VESK_API veskobj_t veskmsg_obj_toheap(struct veskvm_s *vm, const veskobj_t o);

/*
 * Stack helpers shared by the swarm-communication natives. All return the
 * VM state.
 */
/* Pushes a new empty table. */
VESK_API int veskmsg_pusht(struct veskvm_s *vm);
/* Stack t v -> t: stores v in t under the (protected) string key. */
VESK_API int veskmsg_tset(struct veskvm_s *vm, const char *key);
/* Pushes t[key] for a (protected) string key; nil when absent. */
VESK_API int veskmsg_tget(struct veskvm_s *vm, veskobj_t t, const char *key);
/* t[key] for a (protected) string key, or null when absent or t is not a
   table; makes no object. */
VESK_API veskobj_t veskmsg_tpeek(struct veskvm_s *vm, veskobj_t t, const char *key);
/* The global named name (protected), or null; makes no object. */
VESK_API veskobj_t veskmsg_global(struct veskvm_s *vm, const char *name);
/* Stack v -> (empty): stores v as the global named name (protected). */
VESK_API int veskmsg_gset(struct veskvm_s *vm, const char *name);
/* Pops until the current stack holds size elements. */
VESK_API void veskmsg_pop_to(struct veskvm_s *vm, int64_t size);
/*
 * Reads the integer "id" of self (the table a native is called on); raises
 * "type mismatch" when self is not a table or its id not an integer.
 */
VESK_API int veskmsg_self_id(struct veskvm_s *vm, int32_t *id);

/* Prints "[WARNING] [ROBOT %u] " and the formatted text on standard error
   in one write, or hands that text to the calling thread's warning handler. */
VESK_API void veskmsg_warn(struct veskvm_s *vm, const char *fmt, ...)
    __attribute__((format(printf, 2, 3)));

/* Receives a whole warning of veskmsg_warn, prefix included. */
typedef void (*veskmsg_warn_fn)(const char *text, void *data);
/* Sets the warning handler of the calling thread only (a host that steps
   robots on several threads collects each robot's warnings this way);
   a null fn restores standard error. Returns the previous handler and its
   data through prev and prev_data when they are not null. */
VESK_API void veskmsg_set_warn_handler(veskmsg_warn_fn fn, void *data,
                                       veskmsg_warn_fn *prev, void **prev_data);

VESK_END_DECLS

#endif
