/*
 * Virtual stigmergy: key-value tables that robots replicate among
 * themselves, with per-entry logical timestamps, the writer's id for
 * conflict resolution, and script-replaceable conflict handlers.
 */
#ifndef VESKVSTIG_H
#define VESKVSTIG_H

#include <stdint.h>
#include "veskdict.h"
#include "veskmsg.h"

VESK_BEGIN_DECLS

struct veskvm_s;

/* One version of a value: the value is a copy outside the VM heap, owned. */
struct veskvstig_elem_s {
  veskobj_t data;
  uint16_t timestamp; /* incremented by every local write, wraps */
  uint16_t robot;     /* robot that produced this version */
};
typedef struct veskvstig_elem_s *veskvstig_elem_t;

/*
 * A stigmergy table: key copy -> entry. The handlers are copies of the
 * script's closures (or null); the collector keeps what they capture alive.
 */
struct veskvstig_s {
  veskdict_t data;
  veskobj_t onconflict;
  veskobj_t onconflictlost;
  uint64_t serial; /* unique per table made: tells a recreated stigmergy apart */
};
typedef struct veskvstig_s *veskvstig_t;

VESK_API veskvstig_t veskvstig_new(void);
VESK_API void veskvstig_destroy(veskvstig_t *vs);

/* New entry owning data (a copy outside the heap). */
VESK_API veskvstig_elem_t veskvstig_elem_new(veskobj_t data, uint16_t timestamp,
                                             uint16_t robot);
/* Entry with an independent copy of e's value. */
VESK_API veskvstig_elem_t veskvstig_elem_clone(const veskvstig_elem_t e);
/* Frees an entry and its value copy; sets the handle to null. */
VESK_API void veskvstig_elem_free(veskvstig_elem_t *e);
/* Entry destroy callback of the data dictionary: key copy, entry, value copy. */
VESK_API void veskvstig_elem_destroy(const void *key, void *data, void *params);
VESK_API uint32_t veskvstig_key_hash(const void *key);
VESK_API int veskvstig_key_cmp(const void *a, const void *b);

/*
 * Versions. Timestamps are 16-bit serial numbers: a is newer than b when
 * (uint16_t)(a - b) lies in 1..32767, so a key written more than 65,535
 * times still compares right across the wrap. Versions exactly 32768 apart
 * are ordered by their plain values, so every robot decides the same way.
 */
VESK_API int veskvstig_newer(uint16_t a, uint16_t b);
/* The very same version: timestamp, writer and value (compared encoded). */
VESK_API int veskvstig_elem_same(const veskvstig_elem_t a, const veskvstig_elem_t b);
/* A query: a get carrying nil asks for a key and is no version of it. */
VESK_API int veskvstig_is_query(int kind, const veskvstig_elem_t e);

/* Local entry of a key, or null. */
VESK_API veskvstig_elem_t veskvstig_lookup(veskvstig_t vs, const veskobj_t key);
/* Stores e under a copy of key (e passes to the table); replaces the old entry. */
VESK_API void veskvstig_store(veskvstig_t vs, const veskobj_t key, veskvstig_elem_t e);

/* Appends key, value, timestamp and writer. Returns 0 if a value cannot be encoded. */
VESK_API int veskvstig_elem_serialize(veskdarray_t payload, const veskobj_t key,
                                      const veskvstig_elem_t e);
/* Decodes into *key and e (e->data becomes a heap object of vm); -1 on failure. */
VESK_API int64_t veskvstig_elem_deserialize(veskobj_t *key, veskvstig_elem_t e,
                                            const veskdarray_t payload, uint32_t pos,
                                            struct veskvm_s *vm);

/* Winner of a same-timestamp conflict, or null when the handler gave no usable answer. */
VESK_API veskvstig_elem_t veskvstig_onconflict_call(struct veskvm_s *vm, veskvstig_t vs,
                                                    const veskobj_t key,
                                                    const veskvstig_elem_t local,
                                                    const veskvstig_elem_t received);
/* Tells the script that the value it wrote lost a conflict. */
VESK_API void veskvstig_onconflictlost_call(struct veskvm_s *vm, veskvstig_t vs,
                                            const veskobj_t key,
                                            const veskvstig_elem_t lost);

/* The stigmergy of an id in vm, or null. */
VESK_API veskvstig_t veskvstig_find(struct veskvm_s *vm, uint16_t id);
/* Creates the global "stigmergy" table. */
VESK_API int veskvstig_register(struct veskvm_s *vm);

VESK_END_DECLS

#endif
