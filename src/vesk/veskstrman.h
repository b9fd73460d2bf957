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

struct veskstrman_s {
  veskdict_t str2id;
  veskdict_t id2str;
  uint16_t nextid;
  veskidtree *gcdata;
};
typedef struct veskstrman_s *veskstrman_t;

VESK_API veskstrman_t veskstrman_new(void);
VESK_API void veskstrman_destroy(veskstrman_t *sm);
VESK_API uint16_t veskstrman_register(veskstrman_t sm, const char *str, int protect);
VESK_API const char *veskstrman_get(veskstrman_t sm, uint16_t id);
VESK_API void veskstrman_gc_clear(veskstrman_t sm);
VESK_API void veskstrman_gc_mark(veskstrman_t sm, uint16_t id);
VESK_API void veskstrman_gc_prune(veskstrman_t sm);
VESK_API void veskstrman_print(veskstrman_t sm);

VESK_END_DECLS

#endif
