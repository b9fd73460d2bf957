/*
 * Hash dictionary with a fixed number of buckets. Each bucket is a dynamic
 * array of entries holding separately allocated copies of key and value, so
 * that entry destroy callbacks can free them one by one.
 */
#include "veskdict.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

[[noreturn]] static void fatal(const char *msg) {
  fputs(msg, stderr);
  abort();
}

static void *copy_bytes(const void *src, uint32_t size) {
  void *p = malloc(size ? size : 1);
  if (!p) fatal("[FATAL] Can't allocate dictionary entry.\n");
  memcpy(p, src, size);
  return p;
}

void veskdict_entry_destroy(const void *key, void *data, void *) {
  free((void *)key);
  free(data);
}

veskdict_t veskdict_new(uint32_t buckets, uint32_t keysize, uint32_t datasize,
                        veskdict_hashfunp hashf, veskdict_keycmpp keycmpf,
                        veskdict_elem_funp dstryf) {
  if (buckets == 0) buckets = 1; /* a modulo by zero would be undefined */
  veskdict_t dt = (veskdict_t)malloc(sizeof(struct veskdict_s));
  if (!dt) fatal("[FATAL] Can't allocate dictionary.\n");
  dt->buckets = (veskdarray_t *)calloc(buckets, sizeof(veskdarray_t));
  if (!dt->buckets) fatal("[FATAL] Can't allocate dictionary.\n");
  dt->size = 0;
  dt->num_buckets = buckets;
  dt->hashf = hashf;
  dt->keycmpf = keycmpf;
  dt->dstryf = dstryf ? dstryf : veskdict_entry_destroy;
  dt->keysize = keysize;
  dt->datasize = datasize;
  return dt;
}

void veskdict_destroy(veskdict_t *dt) {
  if (!dt || !*dt) return;
  veskdict_t d = *dt;
  for (uint32_t b = 0; b < d->num_buckets; ++b) {
    veskdarray_t bucket = d->buckets[b];
    if (!bucket) continue;
    for (int64_t i = 0; i < bucket->size; ++i) {
      veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
      d->dstryf(e->key, e->data, d);
    }
    veskdarray_destroy(&d->buckets[b]);
  }
  free(d->buckets);
  free(d);
  *dt = NULL;
}

static veskdarray_t *bucket_of(veskdict_t dt, const void *key) {
  return &dt->buckets[dt->hashf(key) % dt->num_buckets];
}

/* Position of key in its bucket, or -1. */
static int64_t find_in(veskdict_t dt, veskdarray_t bucket, const void *key) {
  if (!bucket) return -1;
  for (int64_t i = 0; i < bucket->size; ++i) {
    if (dt->keycmpf(key, veskdarray_get(bucket, i, veskdict_entry_t).key) == 0) return i;
  }
  return -1;
}

/* Calls the entry destroy callback and takes the entry out of its bucket. */
static void drop_entry(veskdict_t dt, veskdarray_t bucket, int64_t pos) {
  veskdict_entry_t e = veskdarray_get(bucket, pos, veskdict_entry_t);
  dt->dstryf(e.key, e.data, dt);
  veskdarray_remove(bucket, (uint32_t)pos);
  --dt->size;
}

void *veskdict_rawget(veskdict_t dt, const void *key) {
  veskdarray_t bucket = *bucket_of(dt, key);
  int64_t pos = find_in(dt, bucket, key);
  return pos < 0 ? NULL : veskdarray_get(bucket, pos, veskdict_entry_t).data;
}

static void append_to(veskdict_t dt, veskdarray_t *bucket, const void *key,
                      const void *data) {
  if (!*bucket) *bucket = veskdarray_new(1, sizeof(veskdict_entry_t), NULL);
  veskdict_entry_t e = {copy_bytes(key, dt->keysize), copy_bytes(data, dt->datasize)};
  veskdarray_push(*bucket, &e);
  ++dt->size;
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
  if ((*bucket)->size == 0) veskdarray_destroy(bucket);
  return 1;
}

void veskdict_foreach(veskdict_t dt, veskdict_elem_funp fun, void *params) {
  for (uint32_t b = 0; b < dt->num_buckets; ++b) {
    veskdarray_t bucket = dt->buckets[b];
    if (!bucket) continue;
    for (int64_t i = 0; i < bucket->size; ++i) {
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
