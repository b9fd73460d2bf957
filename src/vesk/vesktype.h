/*
 * Values of the Vesk language: seven object types behind one handle, with
 * creation, deep copy, hashing, equality and ordering.
 */
#ifndef VESKTYPE_H
#define VESKTYPE_H

#include <stdint.h>
#include <stdio.h>
#include "veskdict.h"

VESK_BEGIN_DECLS

#define VESKTYPE_NIL 0
#define VESKTYPE_INT 1
#define VESKTYPE_FLOAT 2
#define VESKTYPE_STRING 3
#define VESKTYPE_TABLE 4
#define VESKTYPE_CLOSURE 5
#define VESKTYPE_USERDATA 6
#define VESKTYPE_COUNT 7

/* Type names, indexed by type number. */
VESK_API extern const char *vesktype_desc[];

/* Every object begins with this header. */
typedef struct {
  uint16_t type;
  uint16_t marker; /* generation stamp of the last collection that reached it */
} veskobj_header_t;

typedef struct {
  veskobj_header_t hdr;
} veskobj_nil_t;
typedef struct {
  veskobj_header_t hdr;
  int32_t value;
} veskobj_int_t;
typedef struct {
  veskobj_header_t hdr;
  float value;
} veskobj_float_t;
typedef struct {
  veskobj_header_t hdr;
  uint16_t id;
  const char *str; /* owned by the string manager */
} veskobj_string_t;
typedef struct {
  veskobj_header_t hdr;
  veskdict_t value;
} veskobj_table_t;
typedef struct {
  veskobj_header_t hdr;
  int32_t ref;         /* code address (script) or native function id */
  veskdarray_t actrec; /* element 0 is self, then captured locals */
  uint8_t isscript;
} veskobj_closure_t;
typedef struct {
  veskobj_header_t hdr;
  void *value;
} veskobj_userdata_t;

union veskobj_u {
  veskobj_header_t o;
  veskobj_int_t i;
  veskobj_float_t f;
  veskobj_string_t s;
  veskobj_table_t t;
  veskobj_closure_t c;
  veskobj_userdata_t u;
};
typedef union veskobj_u *veskobj_t;

VESK_API veskobj_t veskobj_new(uint16_t type);
VESK_API void veskobj_destroy(veskobj_t *o);
/*
 * Deep copy outside any heap. Tables are copied with everything they hold;
 * a table or closure reached twice (shared or cyclic) is copied once and the
 * copy keeps the sharing. Closures share their captured objects.
 */
VESK_API veskobj_t veskobj_iclone(const veskobj_t o);
/*
 * The same deep copy with objects from another allocator: make returns a new
 * empty object of the source object's type (a table with an empty
 * dictionary, a closure with an empty record); the payload is copied after.
 */
typedef veskobj_t (*veskobj_makef)(const veskobj_t src, void *params);
VESK_API veskobj_t veskobj_deepcopy(const veskobj_t o, veskobj_makef make, void *params);
/*
 * Frees a value made by veskobj_iclone together with every copy nested in its
 * tables (not the objects captured by closures), without recursion; sets the
 * variable to null. veskobj_destroy frees one object only.
 */
VESK_API void veskobj_idestroy(veskobj_t *o);
/*
 * For allocators that provide the storage themselves (the heap's pool):
 * veskobj_init turns zero-filled storage into a new object of the type, and
 * veskobj_release frees what the object owns (table dictionary, closure
 * array) but not the storage.
 */
VESK_API void veskobj_init(veskobj_t o, uint16_t type);
VESK_API void veskobj_release(veskobj_t o);
VESK_API uint32_t veskobj_hash(const veskobj_t o);
VESK_API int veskobj_eq(const veskobj_t a, const veskobj_t b);
VESK_API int veskobj_cmp(const veskobj_t a, const veskobj_t b);
VESK_API uint32_t veskobj_table_hash(const void *key);
VESK_API int veskobj_table_keycmp(const void *a, const void *b);

/* True when the pair has an order (veskobj_cmp is meaningful). */
VESK_API int veskobj_comparable(const veskobj_t a, const veskobj_t b);
/* True when the value can be a table key (integer, float or string). */
VESK_API int veskobj_haskey(const veskobj_t o);
/* True when the value has a hash (everything but closures). */
VESK_API int veskobj_hashable(const veskobj_t o);

/* The ways veskobj_print writes a value. */
typedef enum {
  /* As scripts print values: 12, 0.500000, a string's text, [nil],
     [table with 3 elems], [n-closure @40], [userdata @0x...]. */
  VESKOBJ_PRINT_TEXT = 0,
  /* As the stack dumps list them, one line each: [int] 12, [float] 0.500000,
     [string] 4:'text', [table] 3 elements, [n-closure] 40, [nil]. */
  VESKOBJ_PRINT_DUMP
} veskobj_print_style;

/* Writes o to out in the given style; negative when the stream reports an error. */
VESK_API int veskobj_print(FILE *out, const veskobj_t o, veskobj_print_style style);

#define veskobj_type(obj) ((obj)->o.type)
#define veskobj_isnil(obj) ((obj)->o.type == VESKTYPE_NIL)
#define veskobj_isint(obj) ((obj)->o.type == VESKTYPE_INT)
#define veskobj_isfloat(obj) ((obj)->o.type == VESKTYPE_FLOAT)
#define veskobj_isstring(obj) ((obj)->o.type == VESKTYPE_STRING)
#define veskobj_istable(obj) ((obj)->o.type == VESKTYPE_TABLE)
#define veskobj_isclosure(obj) ((obj)->o.type == VESKTYPE_CLOSURE)
#define veskobj_isuserdata(obj) ((obj)->o.type == VESKTYPE_USERDATA)

VESK_END_DECLS

#endif
