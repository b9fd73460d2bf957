/*
 * Outbound message queue: pending messages per kind, their de-duplication,
 * their serialisation in transmission order, and the periodic swarm list.
 * Pending messages hold copies of script values outside the heap; the
 * collector marks them through veskoutmsg_gc so every string they name
 * stays registered until the message has been sent.
 */
#include "veskoutmsg.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "veskfatal.h"
#include "veskvm.h"

namespace {

veskoutmsg_t msg_new(int type) {
  auto m = static_cast<veskoutmsg_t>(calloc(1, sizeof(struct veskoutmsg_s)));
  if (!m) vesk_fatal("[FATAL] Can't allocate an outgoing message.\n");
  m->type = type;
  return m;
}

veskoutmsg_t swarm_msg_new(int type, const std::vector<uint16_t> &ids) {
  veskoutmsg_t m = msg_new(type);
  m->u.sw.size = static_cast<uint16_t>(ids.size());
  if (!ids.empty()) {
    m->u.sw.ids = static_cast<uint16_t *>(malloc(ids.size() * sizeof(uint16_t)));
    if (!m->u.sw.ids) vesk_fatal("[FATAL] Can't allocate an outgoing message.\n");
    memcpy(m->u.sw.ids, ids.data(), ids.size() * sizeof(uint16_t));
  }
  return m;
}

veskdarray_t list_of(veskvm_t vm, int type) {
  return vm->outmsgs->queues[type];
}

veskoutmsg_t list_at(veskdarray_t l, int64_t i) {
  return veskdarray_get(l, i, veskoutmsg_t);
}

/* Bytes of the message once serialised. */
uint64_t msg_size(veskoutmsg_t m) {
  uint64_t size = 1 + 2; /* kind, then sender or stigmergy id */
  switch (m->type) {
  case VESKMSG_BROADCAST:
    veskmsg_obj_check(m->u.bc.topic, &size, UINT64_MAX);
    veskmsg_obj_check(m->u.bc.value, &size, UINT64_MAX);
    return size;
  case VESKMSG_SWARM_LIST:
    return size + 2 + 2 * static_cast<uint64_t>(m->u.sw.size);
  case VESKMSG_VSTIG_PUT:
  case VESKMSG_VSTIG_GET:
    veskmsg_obj_check(m->u.vs.key, &size, UINT64_MAX);
    veskmsg_obj_check(m->u.vs.data->data, &size, UINT64_MAX);
    return size + 2 + 2;
  default:
    return size + 2;
  }
}

/* A message no packet can carry would wait at the head of its list for
   ever: it is refused here, and destroyed. */
bool admitted(veskvm_t vm, veskoutmsg_t m) {
  if (veskoutmsg_admit(vm, m->type, msg_size(m), vm->outmsgs->maxlen)) return true;
  veskoutmsg_destroy(0, &m, nullptr);
  return false;
}

void list_append(veskvm_t vm, veskoutmsg_t m) {
  if (admitted(vm, m)) veskdarray_push(list_of(vm, m->type), &m);
}

/* Removes (and destroys) the first message of the list that satisfies pred. */
template <typename Pred> bool list_remove_if(veskdarray_t l, Pred pred) {
  for (int64_t i = 0; i < veskdarray_size(l); ++i)
    if (pred(list_at(l, i))) {
      veskdarray_remove(l, static_cast<uint32_t>(i));
      return true;
    }
  return false;
}

template <typename Pred> bool list_has(veskdarray_t l, Pred pred) {
  for (int64_t i = 0; i < veskdarray_size(l); ++i)
    if (pred(list_at(l, i))) return true;
  return false;
}

bool names_swarm(veskoutmsg_t m, uint16_t swarm) {
  for (uint16_t i = 0; i < m->u.sw.size; ++i)
    if (m->u.sw.ids[i] == swarm) return true;
  return false;
}

/* Adds or removes an id of the pending swarm list, keeping the others' order. */
void amend_swarm_list(veskoutmsg_t list, int type, uint16_t swarm) {
  std::vector<uint16_t> ids(list->u.sw.ids, list->u.sw.ids + list->u.sw.size);
  bool present = names_swarm(list, swarm);
  if (type == VESKMSG_SWARM_JOIN && !present) ids.push_back(swarm);
  if (type == VESKMSG_SWARM_LEAVE && present) std::erase(ids, swarm);
  free(list->u.sw.ids);
  list->u.sw.ids = nullptr;
  list->u.sw.size = static_cast<uint16_t>(ids.size());
  if (!ids.empty()) {
    list->u.sw.ids = static_cast<uint16_t *>(malloc(ids.size() * sizeof(uint16_t)));
    if (!list->u.sw.ids) vesk_fatal("[FATAL] Can't allocate an outgoing message.\n");
    memcpy(list->u.sw.ids, ids.data(), ids.size() * sizeof(uint16_t));
  }
}

/* Per-stigmergy index of pending messages, created on first use. */
veskdict_t vstig_index(veskvm_t vm, uint16_t id) {
  veskdict_t outer = vm->outmsgs->vstig;
  if (veskdict_t *inner = veskdict_get(outer, &id, veskdict_t)) return *inner;
  veskdict_t inner =
      veskdict_new(10, sizeof(veskobj_t), sizeof(veskoutmsg_t), veskoutmsg_obj_hash,
                   veskoutmsg_obj_cmp, veskdict_entry_destroy);
  veskdict_set(outer, &id, &inner);
  return inner;
}

/*
 * Whether the pending stigmergy message old already says all that a new
 * message (kind, entry e) for the same key would. A query never displaces a
 * version, and any version displaces a query; between versions, only a
 * strictly newer or the very same one is kept, so the winner of a conflict
 * (same timestamp, other writer) always replaces what is pending.
 */
bool covers(veskoutmsg_t old, int kind, const veskvstig_elem_t e) {
  const veskvstig_elem_t pending = old->u.vs.data;
  if (veskvstig_is_query(kind, e)) return true;
  if (veskvstig_is_query(old->type, pending)) return false;
  return veskvstig_newer(pending->timestamp, e->timestamp) ||
         veskvstig_elem_same(pending, e);
}

int serialize_msg(veskdarray_t p, uint16_t robot, veskoutmsg_t m) {
  veskmsg_serialize_u8(p, static_cast<uint8_t>(m->type));
  switch (m->type) {
  case VESKMSG_BROADCAST:
    veskmsg_serialize_u16(p, robot);
    return veskobj_serialize(p, m->u.bc.topic) && veskobj_serialize(p, m->u.bc.value);
  case VESKMSG_SWARM_LIST:
    veskmsg_serialize_u16(p, robot);
    veskmsg_serialize_u16(p, m->u.sw.size);
    for (uint16_t i = 0; i < m->u.sw.size; ++i)
      veskmsg_serialize_u16(p, m->u.sw.ids[i]);
    return 1;
  case VESKMSG_VSTIG_PUT:
  case VESKMSG_VSTIG_GET:
    veskmsg_serialize_u16(p, m->u.vs.id);
    return veskvstig_elem_serialize(p, m->u.vs.key, m->u.vs.data);
  default:
    veskmsg_serialize_u16(p, robot);
    veskmsg_serialize_u16(p, m->u.sw.ids[0]);
    return 1;
  }
}

/* Kind of the first non-empty list, or -1. */
int first_kind(veskvm_t vm) {
  for (int k = 0; k < VESKMSG_KINDS; ++k)
    if (!veskdarray_isempty(list_of(vm, k))) return k;
  return -1;
}

} // namespace

veskoutmsg_queue_t veskoutmsg_queue_new(uint16_t robot) {
  auto q = static_cast<veskoutmsg_queue_t>(calloc(1, sizeof(struct veskoutmsg_queue_s)));
  if (!q) vesk_fatal("[FATAL] Can't allocate the outgoing message queue.\n");
  for (auto &l : q->queues)
    l = veskdarray_new(1, sizeof(veskoutmsg_t), veskoutmsg_destroy);
  q->vstig =
      veskdict_new(10, sizeof(uint16_t), sizeof(veskdict_t), veskdict_uint16keyhash,
                   veskdict_uint16keycmp, veskoutmsg_vstig_destroy);
  q->robot = robot;
  q->maxlen = VESKMSG_MAX_LEN;
  return q;
}

void veskoutmsg_queue_destroy(veskoutmsg_queue_t *q) {
  if (!q || !*q) return;
  /* The index only points at the messages' keys: drop it first. */
  veskdict_destroy(&(*q)->vstig);
  for (auto &l : (*q)->queues)
    veskdarray_destroy(&l);
  free(*q);
  *q = nullptr;
}

void veskoutmsg_destroy(uint32_t, void *elem, void *) {
  veskoutmsg_t m = *static_cast<veskoutmsg_t *>(elem);
  switch (m->type) {
  case VESKMSG_BROADCAST:
    veskobj_idestroy(&m->u.bc.topic);
    veskobj_idestroy(&m->u.bc.value);
    break;
  case VESKMSG_VSTIG_PUT:
  case VESKMSG_VSTIG_GET:
    veskobj_idestroy(&m->u.vs.key);
    veskvstig_elem_free(&m->u.vs.data);
    break;
  default:
    if (m->u.sw.size) free(m->u.sw.ids);
    break;
  }
  free(m);
}

void veskoutmsg_vstig_destroy(const void *key, void *data, void *) {
  free(const_cast<void *>(key));
  veskdict_destroy(static_cast<veskdict_t *>(data));
  free(data);
}

uint32_t veskoutmsg_obj_hash(const void *key) {
  return veskmsg_key_hash(*static_cast<const veskobj_t *>(key));
}

int veskoutmsg_obj_cmp(const void *a, const void *b) {
  return veskmsg_key_eq(*static_cast<const veskobj_t *>(a),
                        *static_cast<const veskobj_t *>(b))
             ? 0
             : 1;
}

void veskoutmsg_queue_set_maxlen(struct veskvm_s *vm, uint32_t maxlen) {
  vm->outmsgs->maxlen = maxlen;
}

int veskoutmsg_admit(struct veskvm_s *vm, int kind, uint64_t size, uint32_t maxlen) {
  if (size <= maxlen) return 1;
  veskmsg_warn(vm, "Dropping %s message of %llu bytes: a packet carries at most %u\n",
               kind >= 0 && kind < VESKMSG_KINDS ? veskmsg_kind_desc[kind] : "unknown",
               static_cast<unsigned long long>(size), maxlen);
  return 0;
}

uint32_t veskoutmsg_queue_size(struct veskvm_s *vm) {
  uint32_t n = 0;
  for (int k = 0; k < VESKMSG_KINDS; ++k)
    n += static_cast<uint32_t>(veskdarray_size(list_of(vm, k)));
  return n;
}

veskdarray_t veskoutmsg_queue_first(struct veskvm_s *vm) {
  for (int k = first_kind(vm); k >= 0; k = first_kind(vm)) {
    veskdarray_t p = veskdarray_new(16, 1, nullptr);
    if (serialize_msg(p, vm->outmsgs->robot, list_at(list_of(vm, k), 0))) return p;
    /* Script entry points refuse what cannot be encoded; never block the queue. */
    veskdarray_destroy(&p);
    veskmsg_warn(vm, "Dropping an outgoing message that cannot be encoded\n");
    veskoutmsg_queue_next(vm);
  }
  return nullptr;
}

void veskoutmsg_queue_next(struct veskvm_s *vm) {
  int k = first_kind(vm);
  if (k < 0) return;
  veskdarray_t l = list_of(vm, k);
  veskoutmsg_t m = list_at(l, 0);
  if (k == VESKMSG_VSTIG_PUT || k == VESKMSG_VSTIG_GET)
    veskdict_remove(vstig_index(vm, m->u.vs.id), &m->u.vs.key);
  veskdarray_remove(l, 0);
}

void veskoutmsg_queue_append_broadcast(struct veskvm_s *vm, const veskobj_t topic,
                                       const veskobj_t value) {
  veskoutmsg_t m = msg_new(VESKMSG_BROADCAST);
  m->u.bc.topic = veskobj_iclone(topic);
  m->u.bc.value = veskobj_iclone(value);
  list_append(vm, m);
}

void veskoutmsg_queue_append_swarm_list(struct veskvm_s *vm, veskdict_t swarms) {
  for (int k : {VESKMSG_SWARM_LIST, VESKMSG_SWARM_JOIN, VESKMSG_SWARM_LEAVE})
    veskdarray_clear(list_of(vm, k), 1);
  std::vector<uint16_t> ids;
  veskdict_foreach(
      swarms,
      [](const void *key, void *flag, void *params) {
        if (*static_cast<uint8_t *>(flag))
          static_cast<std::vector<uint16_t> *>(params)->push_back(
              *static_cast<const uint16_t *>(key));
      },
      &ids);
  list_append(vm, swarm_msg_new(VESKMSG_SWARM_LIST, ids));
}

void veskoutmsg_queue_append_swarm_joinleave(struct veskvm_s *vm, int type,
                                             uint16_t swarm) {
  veskdarray_t lists = list_of(vm, VESKMSG_SWARM_LIST);
  if (!veskdarray_isempty(lists)) {
    amend_swarm_list(list_at(lists, 0), type, swarm);
    return;
  }
  auto names = [swarm](veskoutmsg_t m) { return names_swarm(m, swarm); };
  int other = type == VESKMSG_SWARM_JOIN ? VESKMSG_SWARM_LEAVE : VESKMSG_SWARM_JOIN;
  list_remove_if(list_of(vm, other), names);
  if (!list_has(list_of(vm, type), names)) list_append(vm, swarm_msg_new(type, {swarm}));
}

void veskoutmsg_queue_append_vstig(struct veskvm_s *vm, int type, uint16_t id,
                                   const veskobj_t key, const veskvstig_elem_t e) {
  veskdict_t index = vstig_index(vm, id);
  veskoutmsg_t *pending = veskdict_get(index, &key, veskoutmsg_t);
  veskoutmsg_t old = pending ? *pending : nullptr;
  if (old && covers(old, type, e)) return;
  veskoutmsg_t m = msg_new(type);
  m->u.vs.id = id;
  m->u.vs.key = veskobj_iclone(key);
  m->u.vs.data = veskvstig_elem_clone(e);
  if (!admitted(vm, m)) return;
  /* Re-point the index before the superseded message (and its key) goes. */
  veskdict_set(index, &m->u.vs.key, &m);
  if (old)
    list_remove_if(list_of(vm, old->type), [old](veskoutmsg_t x) { return x == old; });
  veskdarray_push(list_of(vm, type), &m);
}

void veskoutmsg_gc(struct veskvm_s *vm) {
  if (!vm->outmsgs) return;
  for (veskdarray_t l : {list_of(vm, VESKMSG_BROADCAST), list_of(vm, VESKMSG_VSTIG_PUT),
                         list_of(vm, VESKMSG_VSTIG_GET)})
    for (int64_t i = 0; i < veskdarray_size(l); ++i) {
      veskoutmsg_t m = list_at(l, i);
      if (m->type == VESKMSG_BROADCAST) {
        veskheap_objmark(vm, m->u.bc.topic);
        veskheap_objmark(vm, m->u.bc.value);
      } else {
        veskheap_objmark(vm, m->u.vs.key);
        veskheap_objmark(vm, m->u.vs.data->data);
      }
    }
}

void veskvm_process_outmsgs(struct veskvm_s *vm) {
  if (vm->swarmbroadcast > 0) --vm->swarmbroadcast;
  if (vm->swarmbroadcast == 0 && !veskdict_isempty(vm->swarms)) {
    vm->swarmbroadcast = SWARM_BROADCAST_PERIOD;
    veskoutmsg_queue_append_swarm_list(vm, vm->swarms);
  }
}
