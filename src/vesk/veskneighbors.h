/*
 * The global "neighbors" table: the robots heard in the current control
 * step with their distance and bearings, queries and functional helpers
 * over them, and topic-based value exchange (broadcast, listen, ignore).
 */
#ifndef VESKNEIGHBORS_H
#define VESKNEIGHBORS_H

#include <stdint.h>
#include "veskdefs.h"

VESK_BEGIN_DECLS

struct veskvm_s;

/* Replaces the global "neighbors" with a fresh table without data. */
VESK_API int veskneighbors_reset(struct veskvm_s *vm);
/* Records a robot heard in this step (replacing an earlier record of it). */
VESK_API int veskneighbors_add(struct veskvm_s *vm, uint16_t robot, float distance,
                               float azimuth, float elevation);

VESK_END_DECLS

#endif
