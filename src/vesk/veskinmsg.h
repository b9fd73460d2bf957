/*
 * Inbound message queue of a VM and the dispatch of received messages to
 * listeners, the swarm membership table and the stigmergy tables.
 */
#ifndef VESKINMSG_H
#define VESKINMSG_H

#include <stdint.h>
#include "veskdarray.h"

VESK_BEGIN_DECLS

struct veskvm_s;

/* Largest number of messages waiting in the inbound queue. */
#define MAX_QUEUE 100

/*
 * Inserts a received message, keeping the queue sorted by kind and by
 * arrival within a kind; takes ownership. An empty payload is destroyed at
 * once. Past MAX_QUEUE the latest broadcast is dropped, and only when none
 * is waiting the latest message of the highest kind.
 */
VESK_API void veskinmsg_queue_append(struct veskvm_s *vm, veskdarray_t payload);
/* Removes the first message (caller destroys it), or null when empty. */
VESK_API veskdarray_t veskinmsg_queue_extract(struct veskvm_s *vm);
/* Destroys every waiting message (VM destruction). */
VESK_API void veskinmsg_queue_clear(struct veskvm_s *vm);
/* Handles and empties the inbound queue, then ages the membership table. */
VESK_API void veskvm_process_inmsgs(struct veskvm_s *vm);

VESK_END_DECLS

#endif
