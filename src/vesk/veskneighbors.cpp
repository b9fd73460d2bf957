/*
 * The "neighbors" table: per-step records of the robots heard, the query
 * and functional helpers scripts call on it (and on the tables derived from
 * it), and topic-based value exchange.
 *
 * The helpers call script functions back. Before they do, every object
 * they still need is on their own operand stack, so a collection triggered
 * inside a callback cannot free it, and a callback that edits the data
 * table never changes which entries the walk visits.
 */
#include "veskneighbors.h"

#include <utility>
#include <vector>

#include "veskmsg.h"
#include "veskoutmsg.h"
#include "veskswarm.h"
#include "veskvm.h"

namespace {

using Entries = std::vector<std::pair<veskobj_t, veskobj_t>>;

bool ready(veskvm_t vm) {
  return vm->state == VESKVM_STATE_READY;
}

/* The "data" table of a neighbour table, or null. */
veskobj_t data_of(veskvm_t vm, veskobj_t self) {
  veskobj_t d = veskmsg_tpeek(vm, self, "data");
  return d && veskobj_istable(d) ? d : nullptr;
}

/* Entries of a table, also pushed so that they stay reachable. */
Entries pinned_entries(veskvm_t vm, veskobj_t t) {
  Entries out;
  veskdict_foreach(
      t->t.value,
      [](const void *k, void *v, void *params) {
        static_cast<Entries *>(params)->emplace_back(*static_cast<const veskobj_t *>(k),
                                                     *static_cast<veskobj_t *>(v));
      },
      &out);
  for (auto &[k, v] : out) {
    veskvm_push(vm, k);
    veskvm_push(vm, v);
  }
  return out;
}

/* Calls f(args...) and reports whether it left a result on top. */
bool call_back(veskvm_t vm, veskobj_t f, std::initializer_list<veskobj_t> args) {
  int64_t before = veskvm_stack_size(vm);
  veskvm_push(vm, f);
  for (veskobj_t a : args)
    veskvm_push(vm, a);
  veskvm_closure_call(vm, static_cast<uint32_t>(args.size()));
  return veskvm_stack_size(vm) > before;
}

bool truthy(veskobj_t o) {
  return !veskobj_isnil(o) && !(veskobj_isint(o) && o->i.value == 0);
}

int need_self_table(veskvm_t vm) {
  if (veskvm_checktable(vm, 0)) veskvm_pop(vm);
  return vm->state;
}

int nb_get(veskvm_t vm);
int nb_filter(veskvm_t vm);
int nb_kin(veskvm_t vm);
int nb_nonkin(veskvm_t vm);
int nb_foreach(veskvm_t vm);
int nb_map(veskvm_t vm);
int nb_reduce(veskvm_t vm);
int nb_count(veskvm_t vm);
int nb_broadcast(veskvm_t vm);
int nb_listen(veskvm_t vm);
int nb_ignore(veskvm_t vm);

/* Pushes a new table with the eight query functions. */
void push_derived(veskvm_t vm) {
  veskmsg_pusht(vm);
  veskvm_table_put_function(vm, "get", nb_get);
  veskvm_table_put_function(vm, "filter", nb_filter);
  veskvm_table_put_function(vm, "kin", nb_kin);
  veskvm_table_put_function(vm, "nonkin", nb_nonkin);
  veskvm_table_put_function(vm, "foreach", nb_foreach);
  veskvm_table_put_function(vm, "map", nb_map);
  veskvm_table_put_function(vm, "reduce", nb_reduce);
  veskvm_table_put_function(vm, "count", nb_count);
}

/* Stack derived -> derived data: gives the derived table a new data table. */
veskobj_t push_new_data(veskvm_t vm) {
  veskmsg_pusht(vm);
  veskobj_t data = veskvm_stack_at(vm, 1);
  veskvm_push(vm, veskvm_stack_at(vm, 2));
  veskvm_pushstr(vm, "data", 1);
  veskvm_push(vm, data);
  veskvm_tput(vm);
  return data;
}

void table_set(veskvm_t vm, veskobj_t t, veskobj_t k, veskobj_t v) {
  veskvm_push(vm, t);
  veskvm_push(vm, k);
  veskvm_push(vm, v);
  veskvm_tput(vm);
}

int nb_get(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  veskobj_t data = data_of(vm, veskvm_lsym(vm, 0));
  if (!data) {
    veskvm_pushnil(vm);
  } else {
    veskvm_push(vm, data);
    veskvm_lload(vm, 1);
    if (veskvm_tget(vm) != VESKVM_STATE_READY) return vm->state;
  }
  return veskvm_ret1(vm);
}

int nb_count(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 0)) return vm->state;
  veskobj_t data = data_of(vm, veskvm_lsym(vm, 0));
  veskvm_pushi(vm, data ? static_cast<int32_t>(veskdict_size(data->t.value)) : 0);
  return veskvm_ret1(vm);
}

int nb_foreach(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  veskobj_t data = data_of(vm, veskvm_lsym(vm, 0));
  if (data) {
    veskobj_t f = veskvm_checkclosure(vm, 1);
    if (!f) return vm->state;
    for (auto &[k, v] : pinned_entries(vm, data)) {
      if (!ready(vm)) return vm->state;
      int64_t base = veskvm_stack_size(vm);
      call_back(vm, f, {k, v});
      veskmsg_pop_to(vm, base);
    }
    if (!ready(vm)) return vm->state;
  }
  return veskvm_ret0(vm);
}

/* map and filter: a derived table whose data comes from f's answers. */
int map_or_filter(veskvm_t vm, bool filter) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  if (need_self_table(vm) != VESKVM_STATE_READY) return vm->state;
  veskobj_t data = data_of(vm, veskvm_lsym(vm, 0));
  push_derived(vm);
  if (!data) return veskvm_ret1(vm);
  veskobj_t derived = veskvm_stack_at(vm, 1);
  veskobj_t f = veskvm_checkclosure(vm, 1);
  if (!f) return vm->state;
  veskvm_push(vm, derived);
  veskobj_t out = push_new_data(vm);
  for (auto &[k, v] : pinned_entries(vm, data)) {
    if (!call_back(vm, f, {k, v})) {
      if (ready(vm))
        veskvm_seterror(vm, VESKVM_ERROR_STACK,
                        "neighbors.%s(function) expects the function to return a value",
                        filter ? "filter" : "map");
      return vm->state;
    }
    veskobj_t r = veskvm_stack_at(vm, 1);
    if (!filter)
      table_set(vm, out, k, r);
    else if (truthy(r))
      table_set(vm, out, k, v);
    veskvm_pop(vm);
  }
  veskvm_push(vm, derived);
  return veskvm_ret1(vm);
}

int nb_map(veskvm_t vm) {
  return map_or_filter(vm, false);
}
int nb_filter(veskvm_t vm) {
  return map_or_filter(vm, true);
}

int nb_reduce(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 2)) return vm->state;
  veskobj_t data = data_of(vm, veskvm_lsym(vm, 0));
  if (!data) {
    veskvm_lload(vm, 2);
    return veskvm_ret1(vm);
  }
  veskobj_t f = veskvm_checkclosure(vm, 1);
  if (!f) return vm->state;
  Entries entries = pinned_entries(vm, data);
  /* The accumulator is always on top: taken before, replaced by each answer. */
  veskvm_lload(vm, 2);
  for (auto &[k, v] : entries) {
    if (!ready(vm)) return vm->state;
    veskobj_t acc = veskvm_stack_at(vm, 1);
    veskvm_pop(vm);
    if (!call_back(vm, f, {k, v, acc})) {
      if (ready(vm))
        veskvm_seterror(
            vm, VESKVM_ERROR_STACK,
            "neighbors.reduce(function) expects the function to return a value");
      return vm->state;
    }
  }
  if (!ready(vm)) return vm->state;
  return veskvm_ret1(vm);
}

/* kin and nonkin: neighbours in (or not in) the swarm whose exec runs innermost. */
int kin_or_nonkin(veskvm_t vm, bool kin) {
  if (!veskvm_checknargs(vm, 0)) return vm->state;
  if (need_self_table(vm) != VESKVM_STATE_READY) return vm->state;
  bool context = !veskdarray_isempty(vm->swarmstack);
  uint16_t swarm = context ? veskdarray_last(vm->swarmstack, uint16_t) : 0;
  veskobj_t data = data_of(vm, veskvm_lsym(vm, 0));
  push_derived(vm);
  if (!data || (!kin && !context)) return veskvm_ret1(vm);
  veskobj_t derived = veskvm_stack_at(vm, 1);
  veskobj_t out = push_new_data(vm);
  for (auto &[k, v] : pinned_entries(vm, data)) {
    bool member = veskobj_isint(k) &&
                  veskswarm_members_isrobotin(vm->swarmmembers,
                                              static_cast<uint16_t>(k->i.value), swarm);
    if (!context || member == kin) table_set(vm, out, k, v);
  }
  veskvm_push(vm, derived);
  return veskvm_ret1(vm);
}

int nb_kin(veskvm_t vm) {
  return kin_or_nonkin(vm, true);
}
int nb_nonkin(veskvm_t vm) {
  return kin_or_nonkin(vm, false);
}

int nb_broadcast(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 2)) return vm->state;
  veskobj_t topic = veskvm_checktype(vm, 1, VESKTYPE_STRING);
  if (!topic) return vm->state;
  const veskobj_t sent[] = {topic, veskvm_lsym(vm, 2)};
  if (!veskmsg_check_sendable(vm, 1 + 2, sent, 2)) return vm->state;
  veskoutmsg_queue_append_broadcast(vm, sent[0], sent[1]);
  return veskvm_ret0(vm);
}

int nb_listen(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 2)) return vm->state;
  veskobj_t topic = veskvm_checktype(vm, 1, VESKTYPE_STRING);
  veskobj_t f = topic ? veskvm_checkclosure(vm, 2) : nullptr;
  if (!f) return vm->state;
  veskdict_set(vm->listeners, &topic->s.id, &f);
  return veskvm_ret0(vm);
}

int nb_ignore(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  veskobj_t topic = veskvm_checktype(vm, 1, VESKTYPE_STRING);
  if (!topic) return vm->state;
  veskdict_remove(vm->listeners, &topic->s.id);
  return veskvm_ret0(vm);
}

} // namespace

int veskneighbors_reset(struct veskvm_s *vm) {
  if (!ready(vm)) return vm->state;
  int64_t base = veskvm_stack_size(vm);
  push_derived(vm);
  veskvm_table_put_function(vm, "broadcast", nb_broadcast);
  veskvm_table_put_function(vm, "listen", nb_listen);
  veskvm_table_put_function(vm, "ignore", nb_ignore);
  veskmsg_gset(vm, "neighbors");
  veskmsg_pop_to(vm, base);
  return vm->state;
}

int veskneighbors_add(struct veskvm_s *vm, uint16_t robot, float distance, float azimuth,
                      float elevation) {
  if (!ready(vm)) return vm->state;
  int64_t base = veskvm_stack_size(vm);
  veskobj_t table = veskmsg_global(vm, "neighbors");
  if (table)
    veskvm_push(vm, table);
  else
    veskvm_pushnil(vm);
  if (veskvm_type_assert(vm, 1, VESKTYPE_TABLE) != VESKVM_STATE_READY) return vm->state;
  veskobj_t data = data_of(vm, veskvm_stack_at(vm, 1));
  if (!data) data = push_new_data(vm);
  veskmsg_pusht(vm);
  veskobj_t record = veskvm_stack_at(vm, 1);
  veskvm_pushf(vm, distance);
  veskmsg_tset(vm, "distance");
  veskvm_pushf(vm, azimuth);
  veskmsg_tset(vm, "azimuth");
  veskvm_pushf(vm, elevation);
  veskmsg_tset(vm, "elevation");
  veskvm_push(vm, data);
  veskvm_pushi(vm, robot);
  veskvm_push(vm, record);
  veskvm_tput(vm);
  veskmsg_pop_to(vm, base);
  return vm->state;
}
