/*
 * Dynamic array of fixed-size elements stored by value. Storage doubles one
 * step before it would fill up and halves as elements are removed, so that
 * pushing and popping at the end stay amortised constant.
 *
 * A small array starts with its storage in the same block as its record
 * (one allocation instead of two: tables and stacks make many such arrays).
 * The first resize moves the storage to a block of its own; the inline room
 * is then left unused until the array is destroyed.
 */
#include "veskdarray.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "veskfatal.h"

static uint8_t *slot(veskdarray_t da, uint64_t pos) {
  return da->data + pos * da->elsize;
}

/* Largest storage kept inline with the record. */
static const size_t INLINE_BYTES = 128;

/* Every record is allocated with at least one byte after it, so that the
   address just past the record lies inside the record's own block: storage
   allocated separately can never start there, whatever the allocator packs
   next to what. */
static bool storage_inline(const veskdarray_s *da) {
  return da->data == (const uint8_t *)(da + 1);
}

/* Running out of memory in a container is not recoverable. */
static const char *const NO_MEMORY = "[FATAL] Can't allocate dynamic array.\n";
static const char *const NO_ROOM = "[FATAL] Can't reallocate dynamic array.\n";

static veskdarray_t new_record(size_t room) {
  return (veskdarray_t)vesk_checked(
      malloc(sizeof(struct veskdarray_s) + (room ? room : 1)), NO_MEMORY);
}

/* Reallocates the storage to the current capacity. */
static void realloc_storage(veskdarray_t da) {
  size_t bytes = (size_t)da->capacity * da->elsize;
  /* realloc(p, 0) may free p and return null: keep at least one byte. */
  if (!bytes) bytes = 1;
  uint8_t *p;
  if (storage_inline(da)) {
    p = (uint8_t *)malloc(bytes);
    size_t used = (size_t)da->size * da->elsize;
    if (p) memcpy(p, da->data, used < bytes ? used : bytes);
  } else {
    p = (uint8_t *)realloc(da->data, bytes);
  }
  if (!p) vesk_fatal(NO_ROOM);
  da->data = p;
}

/*
 * Makes room for at least `needed` elements while keeping one spare slot, by
 * doubling. An array emptied down to capacity 0 (by clear or by an empty
 * buffer) restarts from one slot instead of giving up.
 */
static void grow_for(veskdarray_t da, uint64_t needed) {
  if (needed < da->capacity) return;
  uint64_t cap = da->capacity ? da->capacity : 1;
  while (cap <= needed)
    cap *= 2;
  if (cap > UINT32_MAX) vesk_fatal(NO_ROOM);
  da->capacity = (uint32_t)cap;
  realloc_storage(da);
}

void veskdarray_elem_destroy(uint32_t, void *, void *) {}

/* Fills in a record whose storage (capacity elements) is data. */
static veskdarray_t init_record(veskdarray_t da, uint8_t *data, uint32_t cap,
                                uint32_t elsize, veskdarray_elem_funp eldestroy) {
  da->data = data;
  da->size = 0;
  da->elsize = elsize;
  da->capacity = cap;
  da->eldestroy = eldestroy ? eldestroy : veskdarray_elem_destroy;
  return da;
}

veskdarray_t veskdarray_new_in(void *mem, uint32_t cap, uint32_t elsize,
                               veskdarray_elem_funp eldestroy) {
  if (cap == 0) cap = 1;
  veskdarray_t da = (veskdarray_t)mem;
  memset(da + 1, 0, (size_t)cap * (elsize ? elsize : 1));
  return init_record(da, (uint8_t *)(da + 1), cap, elsize, eldestroy);
}

veskdarray_t veskdarray_new(uint32_t cap, uint32_t elsize,
                            veskdarray_elem_funp eldestroy) {
  if (cap == 0)
    vesk_fatal("[FATAL] Can't initialize a dynamic array with zero capacity.");
  size_t bytes = (size_t)cap * (elsize ? elsize : 1);
  if (bytes <= INLINE_BYTES)
    return veskdarray_new_in(new_record(bytes), cap, elsize, eldestroy);
  uint8_t *data = (uint8_t *)vesk_checked(calloc(cap, elsize ? elsize : 1), NO_MEMORY);
  return init_record(new_record(0), data, cap, elsize, eldestroy);
}

veskdarray_t veskdarray_clone(const veskdarray_t da) {
  uint32_t cap = da->size > 0 ? (uint32_t)da->size : 1;
  veskdarray_t c = veskdarray_new(cap, da->elsize, da->eldestroy);
  memcpy(c->data, da->data, (size_t)da->size * da->elsize);
  c->size = da->size;
  return c;
}

veskdarray_t veskdarray_frombuffer(const void *buf, uint32_t buf_size, uint32_t elsize,
                                   veskdarray_elem_funp eldestroy) {
  uint32_t n = elsize ? buf_size / elsize : 0;
  uint8_t *data = (uint8_t *)vesk_checked(malloc(buf_size ? buf_size : 1), NO_MEMORY);
  if (buf_size) memcpy(data, buf, buf_size);
  veskdarray_t da = init_record(new_record(0), data, n, elsize, eldestroy);
  da->size = n;
  return da;
}

/* Calls the destroy callback on positions [from, size); the default callback
   does nothing, so it is not called at all. */
static void destroy_from(veskdarray_t da, int64_t from) {
  if (da->eldestroy == veskdarray_elem_destroy) return;
  for (int64_t i = from; i < da->size; ++i)
    da->eldestroy((uint32_t)i, slot(da, i), nullptr);
}

static void destroy_elements(veskdarray_t da) {
  destroy_from(da, 0);
}

void veskdarray_release_in(veskdarray_t *da) {
  if (!da || !*da) return;
  destroy_elements(*da);
  if (!storage_inline(*da)) free((*da)->data);
  *da = nullptr;
}

void veskdarray_destroy(veskdarray_t *da) {
  if (!da || !*da) return;
  veskdarray_t record = *da;
  veskdarray_release_in(da);
  free(record);
}

/*
 * Opens a slot at pos. A position past the end extends the array up to it;
 * the skipped slots are zero-filled.
 */
void *veskdarray_makeslot(veskdarray_t da, uint32_t pos) {
  uint64_t size = (uint64_t)da->size;
  uint64_t newsize = pos > size ? (uint64_t)pos + 1 : size + 1;
  grow_for(da, newsize);
  if (pos < size) {
    memmove(slot(da, pos + 1), slot(da, pos), (size - pos) * da->elsize);
  } else if (pos > size) {
    memset(slot(da, size), 0, (pos - size) * da->elsize);
  }
  da->size = (int64_t)newsize;
  return slot(da, pos);
}

void veskdarray_insert(veskdarray_t da, uint32_t pos, const void *data) {
  /* Appending with a spare slot left is the common case: no growth, no move. */
  if ((int64_t)pos == da->size && da->size + 1 < (int64_t)da->capacity) {
    uint8_t *p = slot(da, pos);
    if (da->elsize == sizeof(void *))
      memcpy(p, data, sizeof(void *));
    else
      memcpy(p, data, da->elsize);
    ++da->size;
    return;
  }
  memcpy(veskdarray_makeslot(da, pos), data, da->elsize);
}

void veskdarray_set(veskdarray_t da, uint32_t pos, const void *data) {
  if ((int64_t)pos < da->size)
    memcpy(slot(da, pos), data, da->elsize);
  else
    veskdarray_insert(da, pos, data);
}

/* One halving per removal, as long as the array is at most half full. */
static void shrink_once(veskdarray_t da) {
  if (da->size >= 1 && (uint64_t)da->size <= da->capacity / 2) {
    da->capacity /= 2;
    realloc_storage(da);
  }
}

void veskdarray_remove(veskdarray_t da, uint32_t pos) {
  if ((int64_t)pos >= da->size) return;
  da->eldestroy(pos, slot(da, pos), nullptr);
  memmove(slot(da, pos), slot(da, (uint64_t)pos + 1),
          (uint64_t)(da->size - pos - 1) * da->elsize);
  --da->size;
  shrink_once(da);
}

void veskdarray_truncate(veskdarray_t da, uint32_t size) {
  if ((int64_t)size >= da->size) return;
  destroy_from(da, size);
  da->size = size;
  uint32_t cap = da->capacity;
  while (da->size >= 1 && (uint64_t)da->size <= cap / 2)
    cap /= 2;
  if (cap != da->capacity) {
    da->capacity = cap;
    realloc_storage(da);
  }
}

void veskdarray_clear(veskdarray_t da, uint32_t cap) {
  destroy_elements(da);
  da->size = 0;
  da->capacity = cap;
  realloc_storage(da);
}

void veskdarray_foreach(veskdarray_t da, veskdarray_elem_funp fun, void *params) {
  for (int64_t i = 0; i < da->size; ++i)
    fun((uint32_t)i, slot(da, i), params);
}

uint32_t veskdarray_find(veskdarray_t da, veskdarray_elem_cmpp cmp, const void *data) {
  int64_t i = 0;
  while (i < da->size && cmp(data, slot(da, i)) != 0)
    ++i;
  return (uint32_t)i;
}

/* Swaps two elements through a scratch buffer of one element. */
static void swap(veskdarray_t da, int64_t a, int64_t b, uint8_t *tmp) {
  memcpy(tmp, slot(da, a), da->elsize);
  memcpy(slot(da, a), slot(da, b), da->elsize);
  memcpy(slot(da, b), tmp, da->elsize);
}

/* Lomuto partition of [lo, hi] around the element at hi. */
static int64_t partition(veskdarray_t da, veskdarray_elem_cmpp cmp, int64_t lo,
                         int64_t hi, uint8_t *tmp) {
  int64_t store = lo;
  for (int64_t i = lo; i < hi; ++i) {
    if (cmp(slot(da, i), slot(da, hi)) < 0) {
      if (i != store) swap(da, i, store, tmp);
      ++store;
    }
  }
  if (store != hi) swap(da, store, hi, tmp);
  return store;
}

/*
 * Quicksort. The smaller side is sorted by recursion and the larger one by
 * looping, so the recursion depth stays logarithmic even on sorted input.
 */
static void quicksort(veskdarray_t da, veskdarray_elem_cmpp cmp, int64_t lo, int64_t hi,
                      uint8_t *tmp) {
  while (lo < hi) {
    int64_t p = partition(da, cmp, lo, hi, tmp);
    if (p - lo < hi - p) {
      quicksort(da, cmp, lo, p - 1, tmp);
      lo = p + 1;
    } else {
      quicksort(da, cmp, p + 1, hi, tmp);
      hi = p - 1;
    }
  }
}

void veskdarray_sort(veskdarray_t da, veskdarray_elem_cmpp cmp) {
  if (da->size < 2) return;
  uint8_t *tmp = (uint8_t *)malloc(da->elsize ? da->elsize : 1);
  if (!tmp) vesk_fatal(NO_ROOM);
  quicksort(da, cmp, 0, da->size - 1, tmp);
  free(tmp);
}
