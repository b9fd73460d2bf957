/*
 * The table built-ins: type, clone, size, foreach, map and reduce, written as
 * native functions, and their registration as globals.
 */
#include "vesktable.h"

#include <utility>
#include <vector>

namespace {

const char *MAP_NORESULT = "map(table,function) expects the function to return a value";
const char *REDUCE_NORESULT =
    "reduce(table,function,accumulator) expects the function to return a value";

/* Argument checks shared by the walkers: count, a table, then a closure. The
   walkers read their arguments without pushing them: their stack holds the
   keys of the walk and what the callbacks leave. */
bool walker_args(veskvm_t vm, int64_t count) {
  return veskvm_checknargs(vm, count) && veskvm_checklsym(vm, 1, VESKTYPE_TABLE) &&
         veskvm_checklsym(vm, 2, VESKTYPE_CLOSURE);
}

/*
 * The keys a walk visits, pushed on the built-in's own stack: that keeps them
 * alive through the collections the callbacks may trigger, and the table
 * itself may change under the walk without the walk noticing.
 */
struct Walk {
  veskvm_t vm;
  veskdict_t dict;
  int64_t first; /* stack position of the first key */
  int64_t count;

  Walk(veskvm_t v, veskobj_t t) : vm(v), dict(t->t.value), first(veskvm_stack_size(v)) {
    veskdict_foreach(
        dict,
        [](const void *key, void *, void *w) {
          veskvm_push(static_cast<Walk *>(w)->vm, *static_cast<const veskobj_t *>(key));
        },
        this);
    count = veskvm_stack_size(vm) - first;
  }

  veskobj_t key(int64_t i) const {
    return veskdarray_get(vm->stack, first + i, veskobj_t);
  }

  /* Current value of key i, or null when the key has left the table. */
  veskobj_t value(int64_t i) const {
    veskobj_t k = key(i);
    veskobj_t *v = veskdict_get(dict, &k, veskobj_t);
    return v ? *v : nullptr;
  }
};

/* Drops what a callback left above position size. */
void truncate(veskvm_t vm, int64_t size) {
  while (veskvm_stack_size(vm) > size)
    veskvm_pop(vm);
}

/* Pushes f, k, v (and extra, if any) and runs f; false once the VM failed. */
bool callback(veskvm_t vm, veskobj_t f, veskobj_t k, veskobj_t v, veskobj_t extra) {
  veskvm_push(vm, f);
  veskvm_push(vm, k);
  veskvm_push(vm, v);
  if (extra) veskvm_push(vm, extra);
  return veskvm_closure_call(vm, extra ? 3 : 2) == VESKVM_STATE_READY;
}

} // namespace

int(veskobj_type)(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  veskvm_pushstr(vm, vesktype_desc[veskobj_type(veskvm_lsym(vm, 1))], 0);
  return veskvm_ret1(vm);
}

int veskobj_clone(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  veskvm_push(vm, veskheap_copyobj(vm->heap, veskvm_lsym(vm, 1)));
  return veskvm_ret1(vm);
}

int veskobj_size(veskvm_t vm) {
  veskobj_t t =
      veskvm_checknargs(vm, 1) ? veskvm_checklsym(vm, 1, VESKTYPE_TABLE) : nullptr;
  if (!t) return vm->state;
  veskvm_pushi(vm, static_cast<int32_t>(veskdict_size(t->t.value)));
  return veskvm_ret1(vm);
}

int veskobj_foreach(veskvm_t vm) {
  if (!walker_args(vm, 2)) return vm->state;
  veskobj_t f = veskvm_lsym(vm, 2);
  Walk w(vm, veskvm_lsym(vm, 1));
  for (int64_t i = 0; i < w.count; ++i) {
    veskobj_t v = w.value(i);
    if (!v) continue;
    /* A failed callback leaves the VM as it is, frames included. */
    if (!callback(vm, f, w.key(i), v, nullptr)) return vm->state;
    truncate(vm, w.first + w.count);
  }
  return veskvm_ret0(vm);
}

int veskobj_map(veskvm_t vm) {
  if (!walker_args(vm, 2)) return vm->state;
  veskobj_t f = veskvm_lsym(vm, 2);
  veskobj_t r = veskheap_newobj(vm->heap, VESKTYPE_TABLE);
  veskvm_push(vm, r); /* reachable while the callbacks run */
  Walk w(vm, veskvm_lsym(vm, 1));
  for (int64_t i = 0; i < w.count; ++i) {
    veskobj_t v = w.value(i);
    if (!v) continue;
    veskobj_t k = w.key(i);
    veskvm_push(vm, r);
    veskvm_push(vm, k);
    int64_t s = veskvm_stack_size(vm);
    if (!callback(vm, f, k, v, nullptr)) return vm->state;
    if (veskvm_stack_size(vm) <= s) {
      veskvm_seterror(vm, VESKVM_ERROR_STACK, "%s", MAP_NORESULT);
      return vm->state;
    }
    if (veskvm_tput(vm) != VESKVM_STATE_READY) return vm->state;
    truncate(vm, w.first + w.count);
  }
  veskvm_push(vm, r);
  return veskvm_ret1(vm);
}

int veskobj_reduce(veskvm_t vm) {
  if (!walker_args(vm, 3)) return vm->state;
  veskobj_t f = veskvm_lsym(vm, 2);
  Walk w(vm, veskvm_lsym(vm, 1));
  veskvm_push(vm, veskvm_lsym(vm, 3));
  for (int64_t i = 0; i < w.count; ++i) {
    veskobj_t v = w.value(i);
    if (!v) continue;
    veskobj_t acc = veskvm_stack_at(vm, 1);
    veskvm_pop(vm);
    int64_t s = veskvm_stack_size(vm);
    if (!callback(vm, f, w.key(i), v, acc)) return vm->state;
    if (veskvm_stack_size(vm) <= s) {
      veskvm_seterror(vm, VESKVM_ERROR_STACK, "%s", REDUCE_NORESULT);
      return vm->state;
    }
  }
  return veskvm_ret1(vm);
}

int veskobj_register(veskvm_t vm) {
  static const struct {
    const char *name;
    veskvm_funp fun;
  } builtins[] = {{"type", veskobj_type}, {"clone", veskobj_clone},
                  {"size", veskobj_size}, {"foreach", veskobj_foreach},
                  {"map", veskobj_map},   {"reduce", veskobj_reduce}};
  for (const auto &b : builtins)
    veskvm_register_global_function(vm, b.name, b.fun);
  return vm->state;
}
