/*
 * Virtual stigmergy: the replicated key-value tables, their entries, the
 * script-level "stigmergy" library and the conflict handlers.
 *
 * Keys, values and handlers are copies outside the heap. Scripts only ever
 * see fresh heap copies of them (get, handler arguments), so replacing an
 * entry can never leave a script holding a freed object.
 *
 * A conflict handler may use the VM freely, including put and get on the
 * stigmergy being resolved or creating it anew. Everything it may change is
 * read again after it returns: see the merge in veskinmsg.cpp.
 */
#include "veskvstig.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "veskfatal.h"
#include "veskoutmsg.h"
#include "veskvm.h"

namespace {

template <typename T> T *alloc_zeroed() {
  auto p = static_cast<T *>(calloc(1, sizeof(T)));
  if (!p) vesk_fatal("[FATAL] Can't allocate a virtual stigmergy record.\n");
  return p;
}

void bug_missing(veskvm_t vm, int32_t id) {
  fprintf(stderr, "[BUG] [ROBOT %u] Can't find virtual stigmergy %u\n", vm->robot,
          static_cast<uint16_t>(id));
}

/* Replaces a handler copy by a copy of closure f (or null). */
void set_handler(veskobj_t *slot, veskobj_t f) {
  if (*slot) veskobj_idestroy(slot);
  *slot = f ? veskobj_iclone(f) : nullptr;
}

/* Pushes the table a conflict function sees: robot, data, timestamp. */
void push_entry_table(veskvm_t vm, const veskvstig_elem_t e) {
  veskmsg_pusht(vm);
  veskvm_pushi(vm, e->robot);
  veskmsg_tset(vm, "robot");
  veskvm_push(vm, veskmsg_obj_toheap(vm, e->data));
  veskmsg_tset(vm, "data");
  veskvm_pushi(vm, e->timestamp);
  veskmsg_tset(vm, "timestamp");
}

/*
 * Common start of the functions on a stigmergy object: argument count and
 * the table named by self's id (null when it does not exist).
 */
bool enter(veskvm_t vm, int64_t argc, int32_t *id, veskvstig_t *vs) {
  if (!veskvm_checknargs(vm, argc)) return false;
  if (veskmsg_self_id(vm, id) != VESKVM_STATE_READY) return false;
  *vs = veskvstig_find(vm, static_cast<uint16_t>(*id));
  return true;
}

/* Loads argument i and checks that it can serve as a key. */
veskobj_t key_arg(veskvm_t vm, uint32_t i) {
  veskobj_t k = veskvm_checkarg(vm, i);
  if (!veskmsg_key_valid(k)) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "expected %s, got %s",
                    "nil, integer, float or string key", vesktype_desc[veskobj_type(k)]);
    return nullptr;
  }
  return k;
}

int vstig_size(veskvm_t vm) {
  int32_t id;
  veskvstig_t vs;
  if (!enter(vm, 0, &id, &vs)) return vm->state;
  veskvm_pushi(vm, vs ? static_cast<int32_t>(veskdict_size(vs->data)) : 0);
  return veskvm_ret1(vm);
}

int vstig_put(veskvm_t vm) {
  int32_t id;
  veskvstig_t vs;
  if (!enter(vm, 2, &id, &vs)) return vm->state;
  if (!vs) return veskvm_ret0(vm);
  veskobj_t key = key_arg(vm, 1);
  if (!key) return vm->state;
  veskobj_t value = veskvm_checkarg(vm, 2);
  const veskobj_t sent[] = {key, value};
  if (!veskmsg_check_sendable(vm, 1 + 2 + 4, sent, 2)) return vm->state;
  veskvstig_elem_t e = veskvstig_lookup(vs, key);
  if (e) {
    veskobj_idestroy(&e->data);
    e->data = veskobj_iclone(value);
    ++e->timestamp;
    e->robot = vm->robot;
  } else {
    e = veskvstig_elem_new(veskobj_iclone(value), 1, vm->robot);
    veskvstig_store(vs, key, e);
  }
  veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_PUT, static_cast<uint16_t>(id), key, e);
  return veskvm_ret0(vm);
}

int vstig_get(veskvm_t vm) {
  int32_t id;
  veskvstig_t vs;
  if (!enter(vm, 1, &id, &vs)) return vm->state;
  if (!vs) {
    bug_missing(vm, id);
    veskvm_pushnil(vm);
    return veskvm_ret1(vm);
  }
  veskobj_t key = key_arg(vm, 1);
  if (!key) return vm->state;
  if (!veskmsg_check_sendable(vm, 1 + 2 + 2 + 4, &key, 1)) return vm->state;
  if (veskvstig_elem_t e = veskvstig_lookup(vs, key)) {
    veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_GET, static_cast<uint16_t>(id), key,
                                  e);
    veskvm_push(vm, veskmsg_obj_toheap(vm, e->data));
  } else {
    veskvstig_elem_t probe = veskvstig_elem_new(veskobj_new(VESKTYPE_NIL), 1, vm->robot);
    veskoutmsg_queue_append_vstig(vm, VESKMSG_VSTIG_GET, static_cast<uint16_t>(id), key,
                                  probe);
    veskvstig_elem_free(&probe);
    veskvm_pushnil(vm);
  }
  return veskvm_ret1(vm);
}

/* onconflict and onconflictlost: which selects the handler slot. */
int set_handler_native(veskvm_t vm, veskobj_t veskvstig_s::*which) {
  int32_t id;
  veskvstig_t vs;
  if (!enter(vm, 1, &id, &vs)) return vm->state;
  veskobj_t f = veskvm_checkclosure(vm, 1);
  if (!f) return vm->state;
  if (!vs)
    bug_missing(vm, id);
  else
    set_handler(&(vs->*which), f);
  return veskvm_ret0(vm);
}

int vstig_onconflict(veskvm_t vm) {
  return set_handler_native(vm, &veskvstig_s::onconflict);
}

int vstig_onconflictlost(veskvm_t vm) {
  return set_handler_native(vm, &veskvstig_s::onconflictlost);
}

int vstig_create(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  int32_t id;
  if (!veskvm_checkint(vm, 1, &id)) return vm->state;
  uint16_t key = static_cast<uint16_t>(id);
  veskdict_remove(vm->vstigs, &key);
  veskvstig_t vs = veskvstig_new();
  veskdict_set(vm->vstigs, &key, &vs);
  veskmsg_pusht(vm);
  veskvm_pushi(vm, id);
  veskmsg_tset(vm, "id");
  veskvm_table_put_function(vm, "size", vstig_size);
  veskvm_table_put_function(vm, "put", vstig_put);
  veskvm_table_put_function(vm, "get", vstig_get);
  veskvm_table_put_function(vm, "onconflict", vstig_onconflict);
  veskvm_table_put_function(vm, "onconflictlost", vstig_onconflictlost);
  return veskvm_ret1(vm);
}

} // namespace

veskvstig_t veskvstig_new(void) {
  static std::atomic<uint64_t> serials{0};
  auto vs = alloc_zeroed<veskvstig_s>();
  vs->serial = ++serials;
  vs->data = veskdict_new(10, sizeof(veskobj_t), sizeof(veskvstig_elem_t),
                          veskvstig_key_hash, veskvstig_key_cmp, veskvstig_elem_destroy);
  return vs;
}

void veskvstig_destroy(veskvstig_t *vs) {
  if (!vs || !*vs) return;
  veskdict_destroy(&(*vs)->data);
  set_handler(&(*vs)->onconflict, nullptr);
  set_handler(&(*vs)->onconflictlost, nullptr);
  free(*vs);
  *vs = nullptr;
}

veskvstig_elem_t veskvstig_elem_new(veskobj_t data, uint16_t timestamp, uint16_t robot) {
  auto e = alloc_zeroed<veskvstig_elem_s>();
  e->data = data;
  e->timestamp = timestamp;
  e->robot = robot;
  return e;
}

veskvstig_elem_t veskvstig_elem_clone(const veskvstig_elem_t e) {
  return veskvstig_elem_new(veskobj_iclone(e->data), e->timestamp, e->robot);
}

void veskvstig_elem_free(veskvstig_elem_t *e) {
  if (!e || !*e) return;
  if ((*e)->data) veskobj_idestroy(&(*e)->data);
  free(*e);
  *e = nullptr;
}

void veskvstig_elem_destroy(const void *key, void *data, void *) {
  veskobj_t k = *static_cast<const veskobj_t *>(key);
  veskobj_idestroy(&k);
  free(const_cast<void *>(key));
  veskvstig_elem_free(static_cast<veskvstig_elem_t *>(data));
  free(data);
}

uint32_t veskvstig_key_hash(const void *key) {
  return veskmsg_key_hash(*static_cast<const veskobj_t *>(key));
}

int veskvstig_key_cmp(const void *a, const void *b) {
  return veskmsg_key_eq(*static_cast<const veskobj_t *>(a),
                        *static_cast<const veskobj_t *>(b))
             ? 0
             : 1;
}

int veskvstig_newer(uint16_t a, uint16_t b) {
  const uint16_t ahead = static_cast<uint16_t>(a - b);
  return (ahead >= 1 && ahead < 0x8000) || (ahead == 0x8000 && a > b);
}

int veskvstig_elem_same(const veskvstig_elem_t a, const veskvstig_elem_t b) {
  if (a->timestamp != b->timestamp || a->robot != b->robot) return 0;
  veskdarray_t x = veskdarray_new(16, 1, nullptr), y = veskdarray_new(16, 1, nullptr);
  int same = veskobj_serialize(x, a->data) && veskobj_serialize(y, b->data) &&
             x->size == y->size && memcmp(x->data, y->data, x->size) == 0;
  veskdarray_destroy(&x);
  veskdarray_destroy(&y);
  return same;
}

int veskvstig_is_query(int kind, const veskvstig_elem_t e) {
  return kind == VESKMSG_VSTIG_GET && veskobj_isnil(e->data);
}

veskvstig_elem_t veskvstig_lookup(veskvstig_t vs, const veskobj_t key) {
  veskvstig_elem_t *e = veskdict_get(vs->data, &key, veskvstig_elem_t);
  return e ? *e : nullptr;
}

void veskvstig_store(veskvstig_t vs, const veskobj_t key, veskvstig_elem_t e) {
  veskobj_t k = veskobj_iclone(key);
  veskdict_set(vs->data, &k, &e);
}

int veskvstig_elem_serialize(veskdarray_t payload, const veskobj_t key,
                             const veskvstig_elem_t e) {
  if (!veskobj_serialize(payload, key) || !veskobj_serialize(payload, e->data)) return 0;
  veskmsg_serialize_u16(payload, e->timestamp);
  veskmsg_serialize_u16(payload, e->robot);
  return 1;
}

int64_t veskvstig_elem_deserialize(veskobj_t *key, veskvstig_elem_t e,
                                   const veskdarray_t payload, uint32_t pos,
                                   struct veskvm_s *vm) {
  int64_t r = veskobj_deserialize(key, payload, pos, vm);
  if (r >= 0) r = veskobj_deserialize(&e->data, payload, static_cast<uint32_t>(r), vm);
  if (r >= 0)
    r = veskmsg_deserialize_u16(&e->timestamp, payload, static_cast<uint32_t>(r));
  if (r >= 0) r = veskmsg_deserialize_u16(&e->robot, payload, static_cast<uint32_t>(r));
  return r;
}

veskvstig_elem_t veskvstig_onconflict_call(struct veskvm_s *vm, veskvstig_t vs,
                                           const veskobj_t key,
                                           const veskvstig_elem_t local,
                                           const veskvstig_elem_t received) {
  if (!vs->onconflict)
    return veskvstig_elem_clone(local->robot > received->robot ? local : received);
  if (vm->state != VESKVM_STATE_READY) return nullptr;
  /* The handler may rewrite or recreate the table: keep what is needed now. */
  uint16_t timestamp = local->timestamp;
  int64_t base = veskvm_stack_size(vm);
  veskvm_push(vm, veskmsg_obj_toheap(vm, vs->onconflict));
  veskvm_push(vm, veskmsg_obj_toheap(vm, key));
  push_entry_table(vm, local);
  push_entry_table(vm, received);
  if (veskvm_closure_call(vm, 3) != VESKVM_STATE_READY) return nullptr;
  veskobj_t ret = veskvm_stack_size(vm) > base ? veskvm_stack_at(vm, 1) : nullptr;
  veskvstig_elem_t winner = nullptr;
  if (!ret || !veskobj_istable(ret)) {
    veskmsg_warn(vm, "Return value type is %d\n", ret ? veskobj_type(ret) : VESKTYPE_NIL);
  } else {
    veskmsg_tget(vm, ret, "robot");
    veskobj_t robot = veskvm_stack_at(vm, 1);
    if (veskobj_isint(robot)) {
      veskmsg_tget(vm, ret, "data");
      veskobj_t data = veskvm_stack_at(vm, 1);
      /* The winner is re-broadcast: refuse what could not be sent (or copied). */
      const veskobj_t sent[] = {key, data};
      if (veskmsg_check_sendable(vm, 1 + 2 + 4, sent, 2))
        winner = veskvstig_elem_new(veskobj_iclone(data), timestamp,
                                    static_cast<uint16_t>(robot->i.value));
    }
  }
  veskmsg_pop_to(vm, base);
  return winner;
}

void veskvstig_onconflictlost_call(struct veskvm_s *vm, veskvstig_t vs,
                                   const veskobj_t key, const veskvstig_elem_t lost) {
  if (!vs->onconflictlost || vm->state != VESKVM_STATE_READY) return;
  int64_t base = veskvm_stack_size(vm);
  veskvm_push(vm, veskmsg_obj_toheap(vm, vs->onconflictlost));
  veskvm_push(vm, veskmsg_obj_toheap(vm, key));
  push_entry_table(vm, lost);
  if (veskvm_closure_call(vm, 2) == VESKVM_STATE_READY) veskmsg_pop_to(vm, base);
}

veskvstig_t veskvstig_find(struct veskvm_s *vm, uint16_t id) {
  veskvstig_t *vs = veskdict_get(vm->vstigs, &id, veskvstig_t);
  return vs ? *vs : nullptr;
}

int veskvstig_register(struct veskvm_s *vm) {
  veskvm_pushstr(vm, "stigmergy", 1);
  veskmsg_pusht(vm);
  veskvm_table_put_function(vm, "create", vstig_create);
  return veskvm_gstore(vm);
}

void veskvm_vstig_destroy(const void *key, void *data, void *) {
  free(const_cast<void *>(key));
  veskvstig_destroy(static_cast<veskvstig_t *>(data));
  free(data);
}
