/*
 * Inbound message queue and dispatch. Received bytes come from other
 * robots and are never trusted: every field is read with a bounds check,
 * malformed messages are dropped (with a warning where one is defined),
 * and decoded values live on the heap where the collector reclaims them.
 */
#include "veskinmsg.h"

#include <cstdlib>

#include "veskmsg.h"
#include "veskswarm.h"
#include "veskoutmsg.h"
#include "veskvstig.h"
#include "veskvm.h"

namespace {

uint8_t kind_of(veskdarray_t p) {
  return veskdarray_get(p, 0, uint8_t);
}

const char *const put_warning = "Malformed VESKMSG_VSTIG_PUT message received\n";

/* Calls a script callback with the n values pushed after it. Its result is
   dropped so that callbacks never make the host's stack grow. */
void run_callback(veskvm_t vm, int64_t base, uint32_t n) {
  if (veskvm_closure_call(vm, n) == VESKVM_STATE_READY) veskmsg_pop_to(vm, base);
}

void handle_broadcast(veskvm_t vm, veskdarray_t p) {
  uint16_t sender = 0;
  veskobj_t topic = nullptr, value = nullptr;
  int64_t r = veskmsg_deserialize_u16(&sender, p, 1);
  if (r >= 0) r = veskobj_deserialize(&topic, p, static_cast<uint32_t>(r), vm);
  if (r < 0 || !veskobj_isstring(topic)) return;
  veskobj_t *listener = veskdict_get(vm->listeners, &topic->s.id, veskobj_t);
  if (!listener) return;
  if (veskobj_deserialize(&value, p, static_cast<uint32_t>(r), vm) < 0) return;
  /* An earlier callback's error stops script code, not the processing. */
  if (vm->state != VESKVM_STATE_READY) return;
  int64_t base = veskvm_stack_size(vm);
  veskvm_push(vm, *listener);
  veskvm_push(vm, topic);
  veskvm_push(vm, value);
  veskvm_pushi(vm, sender);
  run_callback(vm, base, 3);
}

void handle_swarm_list(veskvm_t vm, veskdarray_t p) {
  uint16_t sender = 0, count = 0;
  int64_t r = veskmsg_deserialize_u16(&sender, p, 1);
  if (r >= 0) r = veskmsg_deserialize_u16(&count, p, static_cast<uint32_t>(r));
  if (r < 0) {
    veskmsg_warn(vm, "Malformed VESKMSG_SWARM_LIST message received\n");
    return;
  }
  /* An empty list is news too: the sender is in no swarm (any more). */
  veskdarray_t ids = veskdarray_new(count + 1u, sizeof(uint16_t), nullptr);
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t id = 0;
    r = veskmsg_deserialize_u16(&id, p, static_cast<uint32_t>(r));
    if (r < 0) {
      veskmsg_warn(vm, "Malformed VESKMSG_SWARM_LIST message received\n");
      veskdarray_destroy(&ids);
      return;
    }
    veskdarray_push(ids, &id);
  }
  veskswarm_members_refresh(vm->swarmmembers, sender, ids);
}

void handle_joinleave(veskvm_t vm, veskdarray_t p, int kind) {
  uint16_t sender = 0, swarm = 0;
  int64_t r = veskmsg_deserialize_u16(&sender, p, 1);
  if (r >= 0) r = veskmsg_deserialize_u16(&swarm, p, static_cast<uint32_t>(r));
  bool join = kind == VESKMSG_SWARM_JOIN;
  if (r < 0) {
    veskmsg_warn(vm, "Malformed VESKMSG_SWARM_%s message received\n",
                 join ? "JOIN" : "LEAVE");
    return;
  }
  if (join)
    veskswarm_members_join(vm->swarmmembers, sender, swarm);
  else
    veskswarm_members_leave(vm->swarmmembers, sender, swarm);
}

/*
 * Same timestamp, different writers. The conflict handler may itself write
 * the key or recreate the stigmergy: a write of its own is newer than both
 * versions and stands (it is already queued), so the decision is dropped.
 * The winner is queued before the lost-conflict handler runs, so whatever
 * that handler writes supersedes it in the queue.
 */
void resolve_conflict(veskvm_t vm, uint16_t id, veskvstig_t vs, veskobj_t key,
                      veskvstig_elem_t local, veskvstig_elem_t received) {
  const uint64_t serial = vs->serial;
  const veskvstig_elem_s before = *local;
  veskvstig_elem_t winner = veskvstig_onconflict_call(vm, vs, key, local, received);
  if (!winner) {
    veskmsg_warn(vm, "Error resolving PUT conflict\n");
    return;
  }
  vs = veskvstig_find(vm, id);
  if (!vs || vs->serial != serial || local->timestamp != before.timestamp ||
      local->robot != before.robot) {
    veskvstig_elem_free(&winner);
    return;
  }
  bool lost = winner->robot != vm->robot && before.robot == vm->robot;
  veskvstig_elem_t lost_copy = lost ? veskvstig_elem_clone(local) : nullptr;
  veskvstig_store(vs, key, winner);
  veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_PUT, id, key, winner);
  if (lost_copy) {
    veskvstig_onconflictlost_call(vm, vs, key, lost_copy);
    veskvstig_elem_free(&lost_copy);
  }
}

/*
 * Applies a received entry (value on the heap) to the local copy. A query
 * (a get carrying nil) only asks: it never changes the local copy nor
 * enters the conflict rule, and whoever holds the key answers with a put of
 * its version. Anything else is a version, merged by timestamp and writer.
 */
void merge(veskvm_t vm, int kind, uint16_t id, veskvstig_t vs, veskobj_t key,
           veskvstig_elem_t received) {
  veskvstig_elem_t local = veskvstig_lookup(vs, key);
  if (veskvstig_is_query(kind, received)) {
    if (local) veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_PUT, id, key, local);
  } else if (!local || veskvstig_newer(received->timestamp, local->timestamp)) {
    veskvstig_elem_t adopted = veskvstig_elem_new(veskobj_iclone(received->data),
                                                  received->timestamp, received->robot);
    veskvstig_store(vs, key, adopted);
    veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_PUT, id, key, adopted);
  } else if (veskvstig_newer(local->timestamp, received->timestamp)) {
    if (kind == VESKMSG_VSTIG_GET)
      veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_PUT, id, key, local);
  } else if (local->robot != received->robot) {
    resolve_conflict(vm, id, vs, key, local, received);
  }
}

void handle_vstig(veskvm_t vm, veskdarray_t p, int kind) {
  uint16_t id = 0;
  int64_t r = veskmsg_deserialize_u16(&id, p, 1);
  if (r < 0) {
    veskmsg_warn(vm, "%s", put_warning);
    return;
  }
  veskvstig_t vs = veskvstig_find(vm, id);
  if (!vs) return;
  veskobj_t key = nullptr;
  /* The received value stays a heap object: the collector owns it. */
  veskvstig_elem_s received{};
  r = veskvstig_elem_deserialize(&key, &received, p, static_cast<uint32_t>(r), vm);
  if (r < 0 || !veskmsg_key_valid(key)) {
    veskmsg_warn(vm, "%s", put_warning);
    return;
  }
  /* A conflict handler runs script code, and with it the collector. */
  int64_t base = veskvm_stack_size(vm);
  veskvm_push(vm, key);
  veskvm_push(vm, received.data);
  merge(vm, kind, id, vs, key, &received);
  veskmsg_pop_to(vm, base);
}

/*
 * Position of the message a full queue drops: the latest broadcast, whose
 * loss costs one value that its sender repeats anyway; without broadcasts,
 * the latest message of the highest kind. Stigmergy and swarm messages go
 * last because nothing resends them, and their loss leaves replicas apart.
 */
int64_t eviction_victim(veskdarray_t q) {
  int64_t broadcasts = 0;
  while (broadcasts < veskdarray_size(q) &&
         kind_of(veskdarray_get(q, broadcasts, veskdarray_t)) == VESKMSG_BROADCAST)
    ++broadcasts;
  return broadcasts > 0 ? broadcasts - 1 : veskdarray_size(q) - 1;
}

void handle(veskvm_t vm, veskdarray_t p) {
  switch (int kind = kind_of(p)) {
  case VESKMSG_BROADCAST:
    handle_broadcast(vm, p);
    break;
  case VESKMSG_SWARM_LIST:
    handle_swarm_list(vm, p);
    break;
  case VESKMSG_VSTIG_PUT:
  case VESKMSG_VSTIG_GET:
    handle_vstig(vm, p, kind);
    break;
  case VESKMSG_SWARM_JOIN:
  case VESKMSG_SWARM_LEAVE:
    handle_joinleave(vm, p, kind);
    break;
  default:
    break;
  }
}

} // namespace

void veskinmsg_queue_append(struct veskvm_s *vm, veskdarray_t payload) {
  if (!payload) return;
  if (veskdarray_isempty(payload)) {
    veskdarray_destroy(&payload);
    return;
  }
  veskdarray_t q = vm->inmsgs;
  uint8_t kind = kind_of(payload);
  int64_t pos = 0;
  while (pos < veskdarray_size(q) &&
         kind_of(veskdarray_get(q, pos, veskdarray_t)) <= kind)
    ++pos;
  veskdarray_insert(q, static_cast<uint32_t>(pos), &payload);
  while (veskdarray_size(q) > MAX_QUEUE) {
    const int64_t at = eviction_victim(q);
    veskdarray_t victim = veskdarray_get(q, at, veskdarray_t);
    veskdarray_remove(q, static_cast<uint32_t>(at));
    veskdarray_destroy(&victim);
  }
}

veskdarray_t veskinmsg_queue_extract(struct veskvm_s *vm) {
  if (veskdarray_isempty(vm->inmsgs)) return nullptr;
  veskdarray_t p = veskdarray_get(vm->inmsgs, 0, veskdarray_t);
  veskdarray_remove(vm->inmsgs, 0);
  return p;
}

void veskinmsg_queue_clear(struct veskvm_s *vm) {
  while (veskdarray_t p = veskinmsg_queue_extract(vm))
    veskdarray_destroy(&p);
}

void veskvm_process_inmsgs(struct veskvm_s *vm) {
  if (vm->state != VESKVM_STATE_READY) return;
  while (veskdarray_t p = veskinmsg_queue_extract(vm)) {
    handle(vm, p);
    veskdarray_destroy(&p);
  }
  veskswarm_members_update(vm->swarmmembers);
}
