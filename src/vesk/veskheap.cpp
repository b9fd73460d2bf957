/*
 * The object heap of a VM and its mark-and-sweep collector.
 *
 * Objects come from a per-heap pool of fixed-size blocks, so that creating
 * and collecting the many short-lived values of a script costs no malloc in
 * steady state. The pool keeps its chunks until the heap is destroyed. The
 * sanitizer build allocates every object separately instead, so that
 * AddressSanitizer sees each one.
 *
 * Marking uses an explicit work list: nesting depth costs heap memory, not
 * C stack. A collection stamps what it reaches with a new generation marker
 * and sweeps everything else; generation 0 is skipped when the marker wraps,
 * so objects made outside the heap (marker 0) never pass for marked.
 */
#include "veskheap.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "veskfatal.h"
#include "veskoutmsg.h"
#include "veskvm.h"
#include "veskvstig.h"

namespace {

const char *const NO_OBJECT_MEMORY = "[FATAL] Can't allocate Vesk object.\n";

/* Free list of object-sized blocks carved from chunks. */
class Pool {
public:
  Pool() = default;
  Pool(const Pool &) = delete;
  Pool &operator=(const Pool &) = delete;
  ~Pool() {
    for (Block *c : chunks_)
      free(c);
  }

  veskobj_t take() {
#ifdef VESK_SANITIZE
    return (veskobj_t)vesk_checked(calloc(1, sizeof(union veskobj_u)), NO_OBJECT_MEMORY);
#else
    if (!free_) refill();
    Block *b = free_;
    free_ = b->next;
    /* The next block is likely cold by now (other VMs ran since the last
       sweep): start fetching it while this one is filled in. */
    __builtin_prefetch(free_, 1);
    memset(&b->obj, 0, sizeof b->obj);
    return &b->obj;
#endif
  }

  void give(veskobj_t o) {
#ifdef VESK_SANITIZE
    free(o);
#else
    Block *b = reinterpret_cast<Block *>(o);
    b->next = free_;
    free_ = b;
#endif
  }

private:
  union Block {
    Block *next;
    union veskobj_u obj;
  };
  static const size_t CHUNK_BLOCKS = 1024;

  [[gnu::noinline]] void refill() {
    Block *chunk =
        (Block *)vesk_checked(malloc(CHUNK_BLOCKS * sizeof(Block)), NO_OBJECT_MEMORY);
    chunks_.push_back(chunk);
    for (size_t i = 0; i < CHUNK_BLOCKS; ++i) {
      chunk[i].next = free_;
      free_ = &chunk[i];
    }
  }

  std::vector<Block *> chunks_;
  Block *free_ = nullptr;
};

} // namespace

struct veskheap_impl_s {
  Pool pool;
  std::vector<veskobj_t> work; /* marked objects whose children are still to mark */
};

veskheap_t veskheap_new(void) {
  veskheap_t h = (veskheap_t)malloc(sizeof(struct veskheap_s));
  if (!h) vesk_fatal("[FATAL] Can't allocate heap.\n");
  /* No element callback: objects are released into the pool by the heap itself. */
  h->objs = veskdarray_new(10, sizeof(veskobj_t), nullptr);
  h->marklimit = 1;
  h->marker = 0;
  h->impl = new veskheap_impl_s;
  return h;
}

static void free_object(veskheap_t h, veskobj_t o) {
  if (veskobj_istable(o) || veskobj_isclosure(o)) veskobj_release(o);
  h->impl->pool.give(o);
}

void veskheap_destroy(veskheap_t *h) {
  if (!h || !*h) return;
  veskheap_t heap = *h;
  for (int64_t i = 0; i < heap->objs->size; ++i)
    free_object(heap, veskdarray_get(heap->objs, i, veskobj_t));
  heap->objs->size = 0;
  veskdarray_destroy(&heap->objs);
  delete heap->impl;
  free(heap);
  *h = nullptr;
}

/* The rare steps of an allocation, kept out of its fast path. */
[[gnu::noinline]] static void init_owner(veskobj_t o, uint16_t type) {
  veskobj_init(o, type);
}

[[gnu::noinline]] static void list_grow_push(veskdarray_t objs, veskobj_t o) {
  veskdarray_push(objs, &o);
}

veskobj_t veskheap_newobj(veskheap_t h, uint16_t type) {
  veskobj_t o = h->impl->pool.take();
  /* Only tables and closures own storage; the others are ready once typed. */
  if (type == VESKTYPE_TABLE || type == VESKTYPE_CLOSURE)
    init_owner(o, type);
  else
    o->o.type = type;
  o->o.marker = h->marker;
  /* Append in place while the list keeps its spare slot, as a push would. */
  veskdarray_t objs = h->objs;
  if (objs->size + 1 < (int64_t)objs->capacity)
    ((veskobj_t *)objs->data)[objs->size++] = o;
  else
    list_grow_push(objs, o);
  return o;
}

static veskobj_t make_heap_object(const veskobj_t src, void *h) {
  return veskheap_newobj((veskheap_t)h, veskobj_type(src));
}

veskobj_t veskheap_copyobj(veskheap_t h, const veskobj_t o) {
  return veskobj_deepcopy(o, make_heap_object, h);
}

/*
 * Marking.
 */

static void mark_string_id(veskvm_t vm, uint16_t id) {
  if (vm->strings) veskstrman_gc_mark(vm->strings, id);
}

static void reach(veskvm_t vm, veskheap_t h, veskobj_t o);

/* A closure whose record holds only its self (a method or plain function)
   marks that self at once, as a rule the table being walked: no need to
   queue the closure. A self that is a closure is queued, so that a chain of
   closures cannot deepen the C stack. */
static void reach_closure(veskvm_t vm, veskheap_t h, veskobj_t c) {
  veskdarray_t rec = c->c.actrec;
  if (!rec || rec->size == 0) return;
  veskobj_t self = veskdarray_get(rec, 0, veskobj_t);
  if (rec->size > 1 || (self && veskobj_isclosure(self)))
    h->impl->work.push_back(c);
  else if (self && self->o.marker != h->marker)
    reach(vm, h, self);
}

/* Stamps an object. A string keeps its text at once; tables, and closures
   with more than their self, are queued for a walk over their children;
   numbers, nil and userdata have none, so the stamp is all they need. */
static void reach(veskvm_t vm, veskheap_t h, veskobj_t o) {
  if (!o || o->o.marker == h->marker) return;
  o->o.marker = h->marker;
  uint16_t type = veskobj_type(o);
  if (type == VESKTYPE_STRING)
    mark_string_id(vm, o->s.id);
  else if (type == VESKTYPE_TABLE)
    h->impl->work.push_back(o);
  else if (type == VESKTYPE_CLOSURE)
    reach_closure(vm, h, o);
}

static void reach_dict(veskvm_t vm, veskheap_t h, veskdict_t d) {
  for (uint32_t b = 0; b < d->num_buckets; ++b) {
    veskdarray_t bucket = d->buckets[b];
    for (int64_t i = 0; bucket && i < bucket->size; ++i) {
      veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
      reach(vm, h, *(veskobj_t *)e->key);
      reach(vm, h, *(veskobj_t *)e->data);
    }
  }
}

static void reach_array(veskvm_t vm, veskheap_t h, veskdarray_t a) {
  for (int64_t i = 0; a && i < a->size; ++i)
    reach(vm, h, veskdarray_get(a, i, veskobj_t));
}

/* Walks the children of everything queued, until nothing is left. */
static void drain(veskvm_t vm, veskheap_t h) {
  std::vector<veskobj_t> &work = h->impl->work;
  while (!work.empty()) {
    veskobj_t x = work.back();
    work.pop_back();
    if (veskobj_istable(x))
      reach_dict(vm, h, x->t.value);
    else
      reach_array(vm, h, x->c.actrec);
  }
}

void veskheap_objmark(struct veskvm_s *vm, veskobj_t o) {
  veskheap_t h = vm->heap;
  if (!h) return;
  reach(vm, h, o);
  drain(vm, h);
}

void veskheap_darrayobj_mark(uint32_t, void *elem, void *vm) {
  veskheap_objmark((veskvm_t)vm, *(veskobj_t *)elem);
}

void veskheap_dictobj_mark(const void *, void *data, void *vm) {
  veskheap_objmark((veskvm_t)vm, *(veskobj_t *)data);
}

void veskheap_stack_mark(uint32_t, void *elem, void *vm) {
  veskdarray_t stack = *(veskdarray_t *)elem;
  if (stack) veskdarray_foreach(stack, veskheap_darrayobj_mark, vm);
}

void veskheap_lsyms_mark(uint32_t, void *elem, void *vm) {
  veskvm_lsyms_t frame = *(veskvm_lsyms_t *)elem;
  if (frame && frame->syms) veskdarray_foreach(frame->syms, veskheap_darrayobj_mark, vm);
}

/* Names are kept too: a global stored under a collectable name must stay
   reachable by that name, and its id must not be handed to another text. */
void veskheap_gsymobj_mark(const void *key, void *data, void *vm) {
  int32_t id;
  memcpy(&id, key, sizeof id);
  mark_string_id((veskvm_t)vm, (uint16_t)id);
  veskheap_dictobj_mark(key, data, vm);
}

void veskheap_listener_mark(const void *key, void *data, void *vm) {
  uint16_t id;
  memcpy(&id, key, sizeof id);
  mark_string_id((veskvm_t)vm, id);
  veskheap_dictobj_mark(key, data, vm);
}

/*
 * The roots, in the order the collection visits them.
 */
/* The roots in the VM's own containers are walked in place: every object is
   stamped and queued, and the queue is drained once at the end. */
static void mark_globals(veskvm_t vm, veskheap_t h) {
  veskdict_t d = vm->gsyms;
  for (uint32_t b = 0; d && b < d->num_buckets; ++b) {
    veskdarray_t bucket = d->buckets[b];
    for (int64_t i = 0; bucket && i < bucket->size; ++i) {
      veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
      int32_t id;
      memcpy(&id, e->key, sizeof id);
      mark_string_id(vm, (uint16_t)id);
      reach(vm, h, *(veskobj_t *)e->data);
    }
  }
}

static void mark_stacks(veskvm_t vm, veskheap_t h) {
  for (int64_t i = 0; vm->stacks && i < vm->stacks->size; ++i)
    reach_array(vm, h, veskdarray_get(vm->stacks, i, veskdarray_t));
  /* The current stack is the top of the stack of stacks; this costs nothing then. */
  reach_array(vm, h, vm->stack);
}

static void mark_frames(veskvm_t vm, veskheap_t h) {
  for (int64_t i = 0; vm->lsymts && i < vm->lsymts->size; ++i) {
    veskvm_lsyms_t f = veskdarray_get(vm->lsymts, i, veskvm_lsyms_t);
    if (f) reach_array(vm, h, f->syms);
  }
  if (vm->lsyms) reach_array(vm, h, vm->lsyms->syms);
}

/* Stigmergy keys, values and handlers are copies outside the heap: marking
   them keeps the strings they name and the objects their handlers capture. */
static void veskheap_vstigobj_mark(const void *key, void *data, void *vm) {
  veskheap_objmark((veskvm_t)vm, *(veskobj_t *)key);
  veskheap_objmark((veskvm_t)vm, (*(veskvstig_elem_t *)data)->data);
}

static void veskheap_vstig_mark(const void *, void *data, void *vm) {
  veskvstig_t vs = *(veskvstig_t *)data;
  veskdict_foreach(vs->data, veskheap_vstigobj_mark, vm);
  if (vs->onconflict) veskheap_objmark((veskvm_t)vm, vs->onconflict);
  if (vs->onconflictlost) veskheap_objmark((veskvm_t)vm, vs->onconflictlost);
}

static void mark_vstigs(veskvm_t vm) {
  if (vm->vstigs) veskdict_foreach(vm->vstigs, veskheap_vstig_mark, vm);
}

static void mark_listeners(veskvm_t vm) {
  if (vm->listeners) veskdict_foreach(vm->listeners, veskheap_listener_mark, vm);
}

/*
 * Sweeping.
 */

/* Frees unmarked objects from the last down. The survivors are packed
   towards the end as the walk goes, keeping their order, then moved to the
   front in one block. The list keeps its capacity: the heap grows back to
   twice the survivors before the next collection, and shrinking it now would
   only make it reallocate and copy again. */
static void sweep(veskheap_t h) {
  veskdarray_t objs = h->objs;
  veskobj_t *all = (veskobj_t *)objs->data;
  int64_t n = objs->size, w = n;
  for (int64_t i = n - 1; i >= 0; --i) {
    veskobj_t o = all[i];
    if (o->o.marker != h->marker)
      free_object(h, o);
    else
      all[--w] = o;
  }
  memmove(all, all + w, (size_t)(n - w) * sizeof(veskobj_t));
  objs->size = n - w;
}

static uint16_t next_marker(uint16_t m) {
  return m == UINT16_MAX ? 1 : (uint16_t)(m + 1);
}

void veskheap_gc(struct veskvm_s *vm) {
  veskheap_t h = vm ? vm->heap : nullptr;
  if (!h || (uint64_t)h->objs->size < h->marklimit) return;
  h->marker = next_marker(h->marker);
  if (vm->strings) veskstrman_gc_clear(vm->strings);
  mark_globals(vm, h);
  mark_stacks(vm, h);
  mark_frames(vm, h);
  drain(vm, h);
  mark_vstigs(vm);
  mark_listeners(vm);
  veskoutmsg_gc(vm);
  sweep(h);
  if (vm->strings) veskstrman_gc_prune(vm->strings);
  uint64_t survivors = (uint64_t)h->objs->size;
  h->marklimit = survivors == 0 ? 1
                                : (uint32_t)(survivors * 2 > UINT32_MAX ? UINT32_MAX
                                                                        : survivors * 2);
}
