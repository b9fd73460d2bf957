/*
 * Dynamic array of fixed-size elements, stored by value. Capacity doubles one
 * step early (size < capacity after every insertion) and halves on removal.
 */
#ifndef VESKDARRAY_H
#define VESKDARRAY_H

#include <stddef.h>
#include <stdint.h>
#include "veskdefs.h"

VESK_BEGIN_DECLS

/* Called when an element leaves the array: (position, element, user parameter). */
typedef void (*veskdarray_elem_funp)(uint32_t pos, void *elem, void *params);
/* Compare callback: negative, zero or positive. */
typedef int (*veskdarray_elem_cmpp)(const void *a, const void *b);

struct veskdarray_s {
  uint8_t *data;     /* capacity * elsize bytes */
  int64_t size;      /* elements in use */
  uint32_t elsize;   /* bytes per element */
  uint32_t capacity; /* element slots allocated */
  veskdarray_elem_funp eldestroy;
};
typedef struct veskdarray_s *veskdarray_t;

VESK_API veskdarray_t veskdarray_new(uint32_t cap, uint32_t elsize,
                                     veskdarray_elem_funp eldestroy);
VESK_API veskdarray_t veskdarray_clone(const veskdarray_t da);
VESK_API veskdarray_t veskdarray_frombuffer(const void *buf, uint32_t buf_size,
                                            uint32_t elsize,
                                            veskdarray_elem_funp eldestroy);
VESK_API void veskdarray_destroy(veskdarray_t *da);
/*
 * An array whose record lives in memory of the caller's (inside a larger
 * block), with its first storage inline: VESKDARRAY_SIZE_IN bytes for the
 * capacity (at least 1) and element size (at least 1), the record, the
 * storage and one byte that tells inline storage apart. It grows and
 * shrinks like any other; veskdarray_release_in destroys its elements and
 * frees what it allocated, but not the record.
 */
#define VESKDARRAY_SIZE_IN(cap, elsize)                                                  \
  (sizeof(struct veskdarray_s) + (size_t)(cap) * (elsize) + 1)
VESK_API veskdarray_t veskdarray_new_in(void *mem, uint32_t cap, uint32_t elsize,
                                        veskdarray_elem_funp eldestroy);
VESK_API void veskdarray_release_in(veskdarray_t *da);
VESK_API void *veskdarray_makeslot(veskdarray_t da, uint32_t pos);
VESK_API void veskdarray_insert(veskdarray_t da, uint32_t pos, const void *data);
VESK_API void veskdarray_set(veskdarray_t da, uint32_t pos, const void *data);
VESK_API void veskdarray_remove(veskdarray_t da, uint32_t pos);
VESK_API void veskdarray_clear(veskdarray_t da, uint32_t cap);
/* Drops the elements from position size on (destroy callback on each), then
   halves the capacity while the array is at most half full (and not empty). */
VESK_API void veskdarray_truncate(veskdarray_t da, uint32_t size);
VESK_API void veskdarray_foreach(veskdarray_t da, veskdarray_elem_funp fun, void *params);
VESK_API uint32_t veskdarray_find(veskdarray_t da, veskdarray_elem_cmpp cmp,
                                  const void *data);
VESK_API void veskdarray_sort(veskdarray_t da, veskdarray_elem_cmpp cmp);
/* The default element destroy callback: does nothing. */
VESK_API void veskdarray_elem_destroy(uint32_t pos, void *elem, void *params);

/* Direct element access. */
#define veskdarray_size(da) ((da)->size)
#define veskdarray_isempty(da) ((da)->size == 0)
#define veskdarray_get(da, pos, type)                                                    \
  (*(type *)((da)->data + (uint64_t)(pos) * (da)->elsize))
#define veskdarray_last(da, type) veskdarray_get(da, (da)->size - 1, type)
#define veskdarray_push(da, elem) veskdarray_insert(da, (uint32_t)(da)->size, elem)
#define veskdarray_pop(da) veskdarray_remove(da, (uint32_t)(da)->size - 1)

VESK_END_DECLS

#endif
