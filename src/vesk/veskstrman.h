/*
 * String manager: interns every string of a VM under a 16-bit id. Strings
 * are protected (kept for ever) or collectable (pruned by the collector).
 */
#ifndef VESKSTRMAN_H
#define VESKSTRMAN_H

#include <stdint.h>
#include "veskdict.h"

VESK_BEGIN_DECLS

/* Node of the binary search tree of disposal candidates. */
struct veskidtree_s {
  uint16_t id;
  struct veskidtree_s *left;
  struct veskidtree_s *right;
};
typedef struct veskidtree_s veskidtree;

/* What the id-to-string map holds for each id. */
struct veskid2strdata_s {
  char *str;
  int protect;
};
typedef struct veskid2strdata_s veskid2strdata;

/*
 * Ids are handed out in increasing order. Once the 16-bit counter has
 * wrapped, each new string takes the lowest id that is free, so a program
 * that keeps making and dropping strings never runs out. The id
 * VESKSTRMAN_NOID is never handed out: registration returns it when every
 * other id is in use, and veskstrman_get of it yields null.
 */
#define VESKSTRMAN_NOID 0xFFFF

struct veskstrman_s {
  veskdict_t str2id;
  veskdict_t id2str;
  uint16_t nextid;
  veskidtree *gcdata;
  uint8_t wrapped; /* the counter has wrapped: reuse the lowest free id */
  struct veskstrman_index_s *index; /* ids in use; fast lookup by id and text */
  veskidtree *gcnodes;              /* storage of the candidate tree's nodes */
};
typedef struct veskstrman_s *veskstrman_t;

VESK_API veskstrman_t veskstrman_new(void);
VESK_API void veskstrman_destroy(veskstrman_t *sm);
/* Id of str, registering a copy if new; VESKSTRMAN_NOID when no id is left. */
VESK_API uint16_t veskstrman_register(veskstrman_t sm, const char *str, int protect);
VESK_API const char *veskstrman_get(veskstrman_t sm, uint16_t id);
/* Like veskstrman_register, also giving the manager's copy of the text (null
   when no id is left); a name seen before costs one cache probe. */
VESK_API uint16_t veskstrman_intern(veskstrman_t sm, const char *str, int protect,
                                    const char **text);
VESK_API void veskstrman_gc_clear(veskstrman_t sm);
VESK_API void veskstrman_gc_mark(veskstrman_t sm, uint16_t id);
VESK_API void veskstrman_gc_prune(veskstrman_t sm);
VESK_API void veskstrman_print(veskstrman_t sm);
/* Entry destroy callback of the id-to-string map: frees the key copy, the id
   record and the value copy, but not the text. */
VESK_API void veskid2strdata_destroy(const void *key, void *data, void *params);

VESK_END_DECLS

#endif
