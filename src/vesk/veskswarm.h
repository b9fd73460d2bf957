/*
 * Swarms: named groups of robots that a script joins and leaves, runs code
 * in, and the table of what this robot heard about its neighbours'
 * memberships, aged so that silent robots drop out.
 */
#ifndef VESKSWARM_H
#define VESKSWARM_H

#include <stdint.h>
#include <stdio.h>
#include "veskdict.h"

VESK_BEGIN_DECLS

struct veskvm_s;

/* Updates a robot's record survives without news. */
#define MEMBERSHIP_AGE_MAX 50

/* What is known about one neighbour: its swarm ids (uint16), in the order learnt. */
struct veskswarm_elem_s {
  veskdarray_t swarms;
  uint16_t age; /* updates since the last news */
};
typedef struct veskswarm_elem_s *veskswarm_elem_t;

VESK_API veskswarm_elem_t veskswarm_elem_new(void);
/* Entry destroy callback of the membership table. */
VESK_API void veskswarm_elem_destroy(const void *key, void *data, void *params);

/* Membership table: robot id (uint16) -> veskswarm_elem_t. */
VESK_API veskdict_t veskswarm_members_new(void);
VESK_API void veskswarm_members_destroy(veskdict_t *m);
VESK_API void veskswarm_members_join(veskdict_t m, uint16_t robot, uint16_t swarm);
VESK_API void veskswarm_members_leave(veskdict_t m, uint16_t robot, uint16_t swarm);
/* Takes ownership of swarms (a darray of uint16), the robot's whole list;
   an empty list means it is a member of no swarm: its record goes. */
VESK_API void veskswarm_members_refresh(veskdict_t m, uint16_t robot,
                                        veskdarray_t swarms);
VESK_API int veskswarm_members_isrobotin(veskdict_t m, uint16_t robot, uint16_t swarm);
VESK_API void veskswarm_members_update(veskdict_t m);
VESK_API void veskswarm_members_print(FILE *out, veskdict_t m, uint16_t robot);

/* Creates the global "swarm" table. */
VESK_API int veskswarm_register(struct veskvm_s *vm);

VESK_END_DECLS

#endif
