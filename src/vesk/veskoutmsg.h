/*
 * Outbound message queue of a VM: one first-in first-out list per message
 * kind, served strictly by kind, with de-duplication of swarm membership
 * messages and of stigmergy messages per (stigmergy, key).
 */
#ifndef VESKOUTMSG_H
#define VESKOUTMSG_H

#include <stdint.h>
#include "veskmsg.h"
#include "veskvstig.h"

VESK_BEGIN_DECLS

struct veskvm_s;

/* A pending message. Objects are copies outside the VM heap, owned here. */
struct veskoutmsg_s {
  int32_t type; /* veskmsg_kind */
  union {
    struct {
      veskobj_t topic;
      veskobj_t value;
    } bc; /* broadcast */
    struct {
      uint16_t size;
      uint16_t *ids;
    } sw; /* swarm list, join (one id), leave (one id) */
    struct {
      uint16_t id;
      veskobj_t key;
      veskvstig_elem_t data;
    } vs; /* stigmergy put and get */
  } u;
};
typedef struct veskoutmsg_s *veskoutmsg_t;

struct veskoutmsg_queue_s {
  veskdarray_t queues[VESKMSG_KINDS]; /* of veskoutmsg_t */
  veskdict_t vstig; /* stigmergy id -> (key -> pending stigmergy message) */
  uint16_t robot;   /* written as the sender field */
  uint32_t maxlen;  /* longest message the host's packets carry */
};
typedef struct veskoutmsg_queue_s *veskoutmsg_queue_t;

VESK_API veskoutmsg_queue_t veskoutmsg_queue_new(uint16_t robot);
VESK_API void veskoutmsg_queue_destroy(veskoutmsg_queue_t *q);
/* Element destroy callback of the lists: releases one pending message. */
VESK_API void veskoutmsg_destroy(uint32_t pos, void *elem, void *params);
/* Entry destroy callback of the stigmergy index. */
VESK_API void veskoutmsg_vstig_destroy(const void *key, void *data, void *params);
VESK_API uint32_t veskoutmsg_obj_hash(const void *key);
VESK_API int veskoutmsg_obj_cmp(const void *a, const void *b);

/*
 * Host side: the longest message its packets carry (VESKMSG_MAX_LEN until
 * told); longer ones are dropped with a warning when they are queued.
 */
VESK_API void veskoutmsg_queue_set_maxlen(struct veskvm_s *vm, uint32_t maxlen);
/*
 * True when a message of this kind and size fits in maxlen bytes; otherwise
 * warns that it is dropped, naming it and its size, and returns 0.
 */
VESK_API int veskoutmsg_admit(struct veskvm_s *vm, int kind, uint64_t size,
                              uint32_t maxlen);

/* Host side: count, serialise the next message (caller destroys), drop it. */
VESK_API uint32_t veskoutmsg_queue_size(struct veskvm_s *vm);
VESK_API veskdarray_t veskoutmsg_queue_first(struct veskvm_s *vm);
VESK_API void veskoutmsg_queue_next(struct veskvm_s *vm);

/* Script side: topic and value are copied. */
VESK_API void veskoutmsg_queue_append_broadcast(struct veskvm_s *vm,
                                                const veskobj_t topic,
                                                const veskobj_t value);
VESK_API void veskoutmsg_queue_append_swarm_list(struct veskvm_s *vm, veskdict_t swarms);
VESK_API void veskoutmsg_queue_append_swarm_joinleave(struct veskvm_s *vm, int type,
                                                      uint16_t swarm);
/* key and entry are copied; older pending messages for the key are superseded. */
VESK_API void veskoutmsg_queue_append_vstig(struct veskvm_s *vm, int type, uint16_t id,
                                            const veskobj_t key,
                                            const veskvstig_elem_t e);

/* Collector: marks every object (and so every string) held by pending messages. */
VESK_API void veskoutmsg_gc(struct veskvm_s *vm);

/* Counts the swarm list down and queues it when due. */
VESK_API void veskvm_process_outmsgs(struct veskvm_s *vm);

VESK_END_DECLS

#endif
