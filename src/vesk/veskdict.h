/*
 * Hash dictionary with fixed-size keys and values, both copied byte-wise.
 * The bucket count is fixed at creation: the dictionary never rehashes.
 */
#ifndef VESKDICT_H
#define VESKDICT_H

#include <stdint.h>
#include "veskdarray.h"

VESK_BEGIN_DECLS

typedef uint32_t (*veskdict_hashfunp)(const void *key);
typedef int (*veskdict_keycmpp)(const void *a, const void *b);
/* Called when an entry leaves: (key copy, value copy, user parameter). */
typedef void (*veskdict_elem_funp)(const void *key, void *data, void *params);
/*
 * Key class for the lookup index of large dictionaries: returns the class of
 * the key (0: the key cannot be indexed) and stores in *hash a hash of it.
 * Two keys of one class must compare equal exactly when they are equal
 * according to the dictionary's compare function, and equal keys of a class
 * must have equal hashes and fall into the same bucket.
 */
typedef uint32_t (*veskdict_keyclassf)(const void *key, uint32_t *hash);

/* One bucket entry: heap copies of key and value (16 bytes). */
struct veskdict_entry_s {
  void *key;
  void *data;
};
typedef struct veskdict_entry_s veskdict_entry_t;

struct veskdict_s {
  veskdarray_t *buckets; /* each null, or an array of entries */
  uint32_t size;         /* entries in all buckets */
  uint32_t num_buckets;
  veskdict_hashfunp hashf;
  veskdict_keycmpp keycmpf;
  veskdict_elem_funp dstryf;
  uint32_t keysize;
  uint32_t datasize;
  /* Lookup index beside the buckets, built once the dictionary grows large:
     it finds an entry in constant time; the buckets keep the order. */
  veskdict_keyclassf keyclassf; /* null: never indexed */
  struct veskdict_index_s *index;
};
typedef struct veskdict_s *veskdict_t;

VESK_API veskdict_t veskdict_new(uint32_t buckets, uint32_t keysize, uint32_t datasize,
                                 veskdict_hashfunp hashf, veskdict_keycmpp keycmpf,
                                 veskdict_elem_funp dstryf);
VESK_API void veskdict_destroy(veskdict_t *dt);
VESK_API void *veskdict_rawget(veskdict_t dt, const void *key);
VESK_API void veskdict_set(veskdict_t dt, const void *key, const void *data);
/* Adds an entry whose key the caller knows to be absent, without searching. */
VESK_API void veskdict_append(veskdict_t dt, const void *key, const void *data);
VESK_API int veskdict_remove(veskdict_t dt, const void *key);
VESK_API void veskdict_foreach(veskdict_t dt, veskdict_elem_funp fun, void *params);
/*
 * Lets a dictionary with its own hash function be indexed once it is large
 * (dictionaries using the stock hash functions below are indexed anyway).
 * Call it while the dictionary is still empty.
 */
VESK_API void veskdict_set_keyclass(veskdict_t dt, veskdict_keyclassf keyclassf);
/* Default entry destroy callback: frees both copies. */
VESK_API void veskdict_entry_destroy(const void *key, void *data, void *params);

VESK_API uint32_t veskdict_strkeyhash(const void *key);
VESK_API int veskdict_strkeycmp(const void *a, const void *b);
VESK_API uint32_t veskdict_int16keyhash(const void *key);
VESK_API int veskdict_int16keycmp(const void *a, const void *b);
VESK_API uint32_t veskdict_uint16keyhash(const void *key);
VESK_API int veskdict_uint16keycmp(const void *a, const void *b);
VESK_API uint32_t veskdict_int32keyhash(const void *key);
VESK_API int veskdict_int32keycmp(const void *a, const void *b);
VESK_API uint32_t veskdict_uint32keyhash(const void *key);
VESK_API int veskdict_uint32keycmp(const void *a, const void *b);

/* Typed read: pointer to the stored value, or null when absent. */
#define veskdict_get(dt, key, type) ((type *)veskdict_rawget(dt, key))
#define veskdict_exists(dt, key) (veskdict_rawget(dt, key) != NULL)
#define veskdict_size(dt) ((dt)->size)
#define veskdict_isempty(dt) ((dt)->size == 0)

VESK_END_DECLS

#endif
