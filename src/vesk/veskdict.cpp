/*
 * Hash dictionary with a fixed number of buckets. Each bucket is a dynamic
 * array of entries holding separately allocated copies of key and value, so
 * that entry destroy callbacks can free them one by one.
 *
 * The buckets fix the walking order, and with few buckets they grow long.
 * Once a dictionary holds many entries, an index beside the buckets (open
 * addressing with linear probing, keyed by the key class's hash) finds an
 * entry without walking its bucket. It records for every entry the address
 * of its key copy and a position hint in the bucket: removals only ever move
 * entries towards the front of a bucket, so the entry is found by scanning
 * down from the hint. The index covers dictionaries whose keys all belong to
 * one class; a key outside it turns the index off for good, and a lookup
 * with a key of another class walks the bucket as before.
 */
#include "veskdict.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "veskfatal.h"

static const char *const NO_MEMORY = "[FATAL] Can't allocate dictionary entry.\n";

static void *copy_bytes(const void *src, uint32_t size) {
  void *p = vesk_checked(malloc(size ? size : 1), NO_MEMORY);
  memcpy(p, src, size);
  return p;
}

/*
 * Entry copies. With the stock destroy callback nobody else frees an entry,
 * so its key and data copies share one block (data after the key, aligned to
 * 8 bytes): half the allocations for the commonest dictionaries. With a
 * callback of the caller's, each copy is a block of its own, as the callback
 * expects.
 */
static bool packed(veskdict_t dt) {
  return dt->dstryf == veskdict_entry_destroy;
}

/* Bytes from a packed entry's key to its data. */
static uint32_t key_room(uint32_t keysize) {
  return (keysize + 7u) & ~7u;
}

static uint32_t data_offset(veskdict_t dt) {
  return key_room(dt->keysize);
}

/*
 * Slab. A packed dictionary whose entries fit in 16 bytes (every table's)
 * keeps its first SLAB_ENTRIES entries and its first SLAB_BUCKETS bucket
 * arrays in its own block, after the bucket array: most tables are small,
 * and their entries and buckets then cost no allocation and sit next to the
 * record that leads to them. Places are handed out in order and never
 * reused (a removed entry or an emptied bucket leaves a hole); later ones
 * are allocated as usual.
 */
static const uint32_t SLAB_ENTRIES = 4;
static const uint32_t SLAB_ENTRY_SIZE = 16;
static const uint32_t SLAB_BUCKETS = 4;
/* Room for one entry before the first growth: most buckets of small tables
   hold one entry and never grow. */
static const uint32_t BUCKET_START_CAP = 2;
static const size_t SLAB_BUCKET_SIZE =
    (VESKDARRAY_SIZE_IN(BUCKET_START_CAP, sizeof(veskdict_entry_t)) + 7) / 8 * 8;

struct dict_slab {
  uint32_t entries_used;
  uint32_t buckets_used;
  uint8_t entries[SLAB_ENTRIES][SLAB_ENTRY_SIZE];
  alignas(8) uint8_t buckets[SLAB_BUCKETS][SLAB_BUCKET_SIZE];
};

static bool slab_fits(uint32_t keysize, uint32_t datasize) {
  return key_room(keysize) + datasize <= SLAB_ENTRY_SIZE;
}

static dict_slab *slab_of(veskdict_t dt) {
  if (!packed(dt) || !slab_fits(dt->keysize, dt->datasize)) return nullptr;
  return (dict_slab *)(dt->buckets + dt->num_buckets);
}

static bool inside(const void *p, const void *begin, size_t bytes) {
  const uint8_t *b = (const uint8_t *)p, *start = (const uint8_t *)begin;
  return b >= start && b < start + bytes;
}

static veskdict_entry_t copy_entry(veskdict_t dt, const void *key, const void *data) {
  if (!packed(dt)) return {copy_bytes(key, dt->keysize), copy_bytes(data, dt->datasize)};
  uint32_t off = data_offset(dt);
  dict_slab *slab = slab_of(dt);
  uint8_t *block =
      slab && slab->entries_used < SLAB_ENTRIES
          ? slab->entries[slab->entries_used++]
          : (uint8_t *)vesk_checked(malloc(off + dt->datasize + 1), NO_MEMORY);
  memcpy(block, key, dt->keysize);
  memcpy(block + off, data, dt->datasize);
  return {block, block + off};
}

static void release_entry(veskdict_t dt, const veskdict_entry_t *e) {
  if (!packed(dt)) {
    dt->dstryf(e->key, e->data, dt);
    return;
  }
  dict_slab *slab = slab_of(dt);
  if (!slab || !inside(e->key, slab->entries, sizeof slab->entries)) free(e->key);
}

static veskdarray_t new_bucket(veskdict_t dt) {
  dict_slab *slab = slab_of(dt);
  if (!slab || slab->buckets_used == SLAB_BUCKETS)
    return veskdarray_new(BUCKET_START_CAP, sizeof(veskdict_entry_t), nullptr);
  return veskdarray_new_in(slab->buckets[slab->buckets_used++], BUCKET_START_CAP,
                           sizeof(veskdict_entry_t), nullptr);
}

static void release_bucket(veskdict_t dt, veskdarray_t *bucket) {
  dict_slab *slab = slab_of(dt);
  if (slab && inside(*bucket, slab->buckets, sizeof slab->buckets))
    veskdarray_release_in(bucket);
  else
    veskdarray_destroy(bucket);
}

/*
 * The lookup index.
 */
struct index_slot {
  void *key;     /* the entry's key copy; null: free slot */
  uint32_t hash; /* class hash of the key */
  uint32_t pos;  /* the entry's position in its bucket, or a higher one */
};

struct veskdict_index_s {
  index_slot *slots;
  uint32_t mask;  /* slot count - 1, a power of two */
  uint32_t shift; /* 64 - log2(slot count) */
  uint32_t used;
  uint32_t cls; /* class of every key */
  int off;      /* a key outside the class arrived: no index any more */
};

/* Dictionaries are indexed from this many entries per bucket on. */
static const uint32_t INDEX_MIN_CHAIN = 3;
static const uint32_t INDEX_MIN_SIZE = 24;

/* Fibonacci hashing: the high bits of the product spread runs of keys. */
static uint32_t home_of(const veskdict_index_s *ix, uint32_t hash) {
  return (uint32_t)(((uint64_t)hash * 0x9E3779B97F4A7C15ull) >> ix->shift);
}

static void index_put(veskdict_index_s *ix, void *key, uint32_t hash, uint32_t pos) {
  uint32_t i = home_of(ix, hash);
  while (ix->slots[i].key)
    i = (i + 1) & ix->mask;
  ix->slots[i] = {key, hash, pos};
  ++ix->used;
}

static void index_resize(veskdict_index_s *ix, uint32_t nslots) {
  index_slot *old = ix->slots;
  uint32_t oldn = old ? ix->mask + 1 : 0;
  ix->slots = (index_slot *)vesk_checked(calloc(nslots, sizeof(index_slot)), NO_MEMORY);
  ix->mask = nslots - 1;
  ix->shift = 64 - (uint32_t)__builtin_ctz(nslots);
  ix->used = 0;
  for (uint32_t i = 0; i < oldn; ++i)
    if (old[i].key) index_put(ix, old[i].key, old[i].hash, old[i].pos);
  free(old);
}

/* Slot holding the key copy `key`, or null. */
static index_slot *index_slot_of(veskdict_index_s *ix, const void *key, uint32_t hash) {
  for (uint32_t i = home_of(ix, hash); ix->slots[i].key; i = (i + 1) & ix->mask)
    if (ix->slots[i].key == key) return &ix->slots[i];
  return nullptr;
}

/* Frees a slot, moving later slots of the probe run back into the gap. */
static void index_erase(veskdict_index_s *ix, index_slot *s) {
  uint32_t gap = (uint32_t)(s - ix->slots);
  for (uint32_t j = (gap + 1) & ix->mask; ix->slots[j].key; j = (j + 1) & ix->mask) {
    uint32_t home = home_of(ix, ix->slots[j].hash);
    /* The slot may move to the gap if its home is not in (gap, j]. */
    bool stays = gap <= j ? (gap < home && home <= j) : (gap < home || home <= j);
    if (stays) continue;
    ix->slots[gap] = ix->slots[j];
    gap = j;
  }
  ix->slots[gap].key = nullptr;
  --ix->used;
}

static void index_free(veskdict_t dt) {
  if (!dt->index) return;
  free(dt->index->slots);
  free(dt->index);
  dt->index = nullptr;
}

/* A key of another class (or none) turns the index off. */
static void index_turn_off(veskdict_t dt) {
  index_free(dt);
  dt->keyclassf = nullptr;
}

/* Builds the index over every entry, if all keys are of one class. */
static void index_build(veskdict_t dt) {
  veskdict_index_s *ix =
      (veskdict_index_s *)vesk_checked(calloc(1, sizeof *ix), NO_MEMORY);
  dt->index = ix;
  uint32_t n = 16;
  while (n < dt->size * 2)
    n *= 2;
  index_resize(ix, n);
  for (uint32_t b = 0; b < dt->num_buckets; ++b) {
    veskdarray_t bucket = dt->buckets[b];
    for (int64_t i = 0; bucket && i < bucket->size; ++i) {
      veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
      uint32_t hash;
      uint32_t cls = dt->keyclassf(e->key, &hash);
      if (cls == 0 || (ix->cls != 0 && cls != ix->cls)) {
        index_turn_off(dt);
        return;
      }
      ix->cls = cls;
      index_put(ix, e->key, hash, (uint32_t)i);
    }
  }
}

/* Records an entry just appended at position pos of its bucket. */
static void index_added(veskdict_t dt, void *key, uint32_t pos) {
  if (!dt->keyclassf) return;
  if (!dt->index) {
    if (dt->size >= INDEX_MIN_SIZE && dt->size >= INDEX_MIN_CHAIN * dt->num_buckets)
      index_build(dt);
    return;
  }
  veskdict_index_s *ix = dt->index;
  uint32_t hash;
  uint32_t cls = dt->keyclassf(key, &hash);
  if (cls == 0 || cls != ix->cls) {
    index_turn_off(dt);
    return;
  }
  if ((ix->used + 1) * 2 > ix->mask + 1) index_resize(ix, (ix->mask + 1) * 2);
  index_put(ix, key, hash, pos);
}

static void index_removed(veskdict_t dt, const void *key) {
  if (!dt->index) return;
  uint32_t hash;
  dt->keyclassf(key, &hash);
  index_slot *s = index_slot_of(dt->index, key, hash);
  if (s) index_erase(dt->index, s);
}

/* Position of the entry whose key copy is `key` in the bucket, scanning down
   from the hint, or -1. */
static int64_t position_of(veskdarray_t bucket, const void *key, uint32_t hint) {
  if (!bucket) return -1;
  int64_t i = (int64_t)hint < bucket->size ? (int64_t)hint : bucket->size - 1;
  for (; i >= 0; --i)
    if (veskdarray_get(bucket, i, veskdict_entry_t).key == key) return i;
  return -1;
}

/* Uses the index for a key of the indexed class: sets *pos (-1 if absent)
   and returns true; false when the bucket must be walked instead. */
static bool index_find(veskdict_t dt, veskdarray_t bucket, const void *key,
                       int64_t *pos) {
  veskdict_index_s *ix = dt->index;
  uint32_t hash;
  if (dt->keyclassf(key, &hash) != ix->cls) return false;
  for (uint32_t i = home_of(ix, hash); ix->slots[i].key; i = (i + 1) & ix->mask) {
    index_slot *s = &ix->slots[i];
    if (s->hash != hash || dt->keycmpf(key, s->key) != 0) continue;
    *pos = position_of(bucket, s->key, s->pos);
    if (*pos < 0) return false; /* not where the index says: walk the bucket */
    s->pos = (uint32_t)*pos;
    return true;
  }
  *pos = -1;
  return true;
}

/* Keys of the stock hash functions form one class whose hash is the
   function's result: equal keys are equal bytes. */
static uint32_t class_str(const void *key, uint32_t *hash) {
  *hash = veskdict_strkeyhash(key);
  return 1;
}
static uint32_t class_int16(const void *key, uint32_t *hash) {
  *hash = veskdict_int16keyhash(key);
  return 1;
}
static uint32_t class_uint16(const void *key, uint32_t *hash) {
  *hash = veskdict_uint16keyhash(key);
  return 1;
}
static uint32_t class_int32(const void *key, uint32_t *hash) {
  *hash = veskdict_int32keyhash(key);
  return 1;
}
static uint32_t class_uint32(const void *key, uint32_t *hash) {
  *hash = veskdict_uint32keyhash(key);
  return 1;
}

static veskdict_keyclassf stock_class(veskdict_hashfunp hashf, veskdict_keycmpp cmpf) {
  if (hashf == veskdict_strkeyhash && cmpf == veskdict_strkeycmp) return class_str;
  if (hashf == veskdict_int16keyhash && cmpf == veskdict_int16keycmp) return class_int16;
  if (hashf == veskdict_uint16keyhash && cmpf == veskdict_uint16keycmp)
    return class_uint16;
  if (hashf == veskdict_int32keyhash && cmpf == veskdict_int32keycmp) return class_int32;
  if (hashf == veskdict_uint32keyhash && cmpf == veskdict_uint32keycmp)
    return class_uint32;
  return nullptr;
}

void veskdict_set_keyclass(veskdict_t dt, veskdict_keyclassf keyclassf) {
  index_free(dt);
  dt->keyclassf = keyclassf;
  if (keyclassf && dt->size >= INDEX_MIN_SIZE &&
      dt->size >= INDEX_MIN_CHAIN * dt->num_buckets)
    index_build(dt);
}

/*
 * The dictionary.
 */
void veskdict_entry_destroy(const void *key, void *data, void *) {
  free((void *)key);
  free(data);
}

veskdict_t veskdict_new(uint32_t buckets, uint32_t keysize, uint32_t datasize,
                        veskdict_hashfunp hashf, veskdict_keycmpp keycmpf,
                        veskdict_elem_funp dstryf) {
  if (buckets == 0) buckets = 1; /* a modulo by zero would be undefined */
  /* The bucket array never changes size: it lives in the record's block,
     followed by the slab when there is one. */
  size_t room = (size_t)buckets * sizeof(veskdarray_t);
  bool slab =
      !dstryf || dstryf == veskdict_entry_destroy ? slab_fits(keysize, datasize) : false;
  size_t extra = slab ? sizeof(dict_slab) : 0;
  veskdict_t dt = (veskdict_t)malloc(sizeof(struct veskdict_s) + room + extra);
  if (!dt) vesk_fatal("[FATAL] Can't allocate dictionary.\n");
  dt->buckets = (veskdarray_t *)(dt + 1);
  memset(dt->buckets, 0, room);
  if (slab) {
    dict_slab *counts = (dict_slab *)(dt->buckets + buckets);
    counts->entries_used = counts->buckets_used = 0;
  }
  dt->size = 0;
  dt->num_buckets = buckets;
  dt->hashf = hashf;
  dt->keycmpf = keycmpf;
  dt->dstryf = dstryf ? dstryf : veskdict_entry_destroy;
  dt->keysize = keysize;
  dt->datasize = datasize;
  dt->keyclassf = stock_class(hashf, keycmpf);
  dt->index = nullptr;
  return dt;
}

/* Key and value copies are separate blocks, cold in a large dictionary: a
   walk fetches those of a later entry of the bucket before it needs them. */
static inline void prefetch_later_entry(veskdarray_t bucket, int64_t i) {
  const int64_t AHEAD = 8;
  if (i + AHEAD >= bucket->size) return;
  veskdict_entry_t *later = &veskdarray_get(bucket, i + AHEAD, veskdict_entry_t);
  __builtin_prefetch(later->key);
  __builtin_prefetch(later->data);
}

void veskdict_destroy(veskdict_t *dt) {
  if (!dt || !*dt) return;
  veskdict_t d = *dt;
  /* A dead dictionary is usually cold: ask for all its buckets at once. */
  for (uint32_t b = 0; b < d->num_buckets; ++b)
    if (d->buckets[b]) __builtin_prefetch(d->buckets[b]);
  for (uint32_t b = 0; b < d->num_buckets; ++b) {
    veskdarray_t bucket = d->buckets[b];
    if (!bucket) continue;
    for (int64_t i = 0; i < bucket->size; ++i) {
      /* The stock release frees without reading; a callback reads the copies. */
      if (!packed(d)) prefetch_later_entry(bucket, i);
      release_entry(d, &veskdarray_get(bucket, i, veskdict_entry_t));
    }
    release_bucket(d, &d->buckets[b]);
  }
  index_free(d);
  free(d);
  *dt = nullptr;
}

static veskdarray_t *bucket_of(veskdict_t dt, const void *key) {
  return &dt->buckets[dt->hashf(key) % dt->num_buckets];
}

/* Position of key in its bucket, or -1. */
static int64_t find_in(veskdict_t dt, veskdarray_t bucket, const void *key) {
  if (!bucket) return -1;
  int64_t pos;
  if (dt->index && index_find(dt, bucket, key, &pos)) return pos;
  for (int64_t i = 0; i < bucket->size; ++i) {
    if (dt->keycmpf(key, veskdarray_get(bucket, i, veskdict_entry_t).key) == 0) return i;
  }
  return -1;
}

/* Calls the entry destroy callback and takes the entry out of its bucket. */
static void drop_entry(veskdict_t dt, veskdarray_t bucket, int64_t pos) {
  veskdict_entry_t e = veskdarray_get(bucket, pos, veskdict_entry_t);
  index_removed(dt, e.key);
  release_entry(dt, &e);
  veskdarray_remove(bucket, (uint32_t)pos);
  --dt->size;
}

void *veskdict_rawget(veskdict_t dt, const void *key) {
  veskdarray_t bucket = *bucket_of(dt, key);
  int64_t pos = find_in(dt, bucket, key);
  return pos < 0 ? nullptr : veskdarray_get(bucket, pos, veskdict_entry_t).data;
}

static void append_to(veskdict_t dt, veskdarray_t *bucket, const void *key,
                      const void *data) {
  if (!*bucket) *bucket = new_bucket(dt);
  veskdict_entry_t e = copy_entry(dt, key, data);
  veskdarray_push(*bucket, &e);
  ++dt->size;
  index_added(dt, e.key, (uint32_t)((*bucket)->size - 1));
}

/* A replaced entry is removed and appended anew at the end of its bucket. */
void veskdict_set(veskdict_t dt, const void *key, const void *data) {
  veskdarray_t *bucket = bucket_of(dt, key);
  int64_t pos = find_in(dt, *bucket, key);
  if (pos >= 0) drop_entry(dt, *bucket, pos);
  append_to(dt, bucket, key, data);
}

void veskdict_append(veskdict_t dt, const void *key, const void *data) {
  append_to(dt, bucket_of(dt, key), key, data);
}

/* An emptied bucket is released, so sparse dictionaries stay small. */
int veskdict_remove(veskdict_t dt, const void *key) {
  veskdarray_t *bucket = bucket_of(dt, key);
  int64_t pos = find_in(dt, *bucket, key);
  if (pos < 0) return 0;
  drop_entry(dt, *bucket, pos);
  if ((*bucket)->size == 0) release_bucket(dt, bucket);
  return 1;
}

void veskdict_foreach(veskdict_t dt, veskdict_elem_funp fun, void *params) {
  for (uint32_t b = 0; b < dt->num_buckets; ++b) {
    veskdarray_t bucket = dt->buckets[b];
    if (!bucket) continue;
    for (int64_t i = 0; i < bucket->size; ++i) {
      prefetch_later_entry(bucket, i);
      veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
      fun(e->key, e->data, params);
    }
  }
}

uint32_t veskdict_strkeyhash(const void *key) {
  uint32_t h = 5381;
  for (const signed char *c = *(const signed char *const *)key; *c; ++c)
    h = h * 33 + (uint32_t)(int32_t)*c;
  return h;
}

int veskdict_strkeycmp(const void *a, const void *b) {
  return strcmp(*(const char *const *)a, *(const char *const *)b);
}

/* Three-way comparison of two keys of type T. */
template <typename T> static int cmp3(const void *a, const void *b) {
  T x, y;
  memcpy(&x, a, sizeof x);
  memcpy(&y, b, sizeof y);
  return x < y ? -1 : (x > y ? 1 : 0);
}

template <typename T> static uint32_t hash_of(const void *key) {
  T x;
  memcpy(&x, key, sizeof x);
  return (uint32_t)(int64_t)x; /* signed keys sign-extend */
}

uint32_t veskdict_int16keyhash(const void *key) {
  return hash_of<int16_t>(key);
}
int veskdict_int16keycmp(const void *a, const void *b) {
  return cmp3<int16_t>(a, b);
}
uint32_t veskdict_uint16keyhash(const void *key) {
  return hash_of<uint16_t>(key);
}
int veskdict_uint16keycmp(const void *a, const void *b) {
  return cmp3<uint16_t>(a, b);
}
uint32_t veskdict_int32keyhash(const void *key) {
  return hash_of<int32_t>(key);
}
int veskdict_int32keycmp(const void *a, const void *b) {
  return cmp3<int32_t>(a, b);
}
uint32_t veskdict_uint32keyhash(const void *key) {
  return hash_of<uint32_t>(key);
}
int veskdict_uint32keycmp(const void *a, const void *b) {
  return cmp3<uint32_t>(a, b);
}
