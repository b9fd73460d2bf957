/*
 * Swarms: the membership table of the neighbours (fed by received join,
 * leave and list messages, aged once per processed batch) and the script
 * library: the global "swarm" table and the swarm objects it makes.
 */
#include "veskswarm.h"

#include <cstdlib>
#include <vector>

#include "veskfatal.h"
#include "veskmsg.h"
#include "veskoutmsg.h"
#include "veskvm.h"

namespace {

veskswarm_elem_t *record_of(veskdict_t m, uint16_t robot) {
  return veskdict_get(m, &robot, veskswarm_elem_t);
}

/* The robot's record, created empty when missing; its age restarts. */
veskswarm_elem_t fresh_record(veskdict_t m, uint16_t robot) {
  veskswarm_elem_t *r = record_of(m, robot);
  veskswarm_elem_t e = r ? *r : veskswarm_elem_new();
  if (!r) veskdict_set(m, &robot, &e);
  e->age = 0;
  return e;
}

int64_t find_id(veskdarray_t ids, uint16_t swarm) {
  for (int64_t i = 0; i < veskdarray_size(ids); ++i)
    if (veskdarray_get(ids, i, uint16_t) == swarm) return i;
  return -1;
}

uint8_t *flag_of(veskvm_t vm, uint16_t swarm) {
  return veskdict_get(vm->swarms, &swarm, uint8_t);
}

void set_flag(veskvm_t vm, uint16_t swarm, uint8_t flag) {
  veskdict_set(vm->swarms, &swarm, &flag);
}

int sw_others(veskvm_t vm);
int sw_join(veskvm_t vm);
int sw_leave(veskvm_t vm);
int sw_in(veskvm_t vm);
int sw_select(veskvm_t vm);
int sw_exec(veskvm_t vm);

/* Pushes a new swarm object for id. */
void push_swarm_object(veskvm_t vm, int32_t id) {
  veskmsg_pusht(vm);
  veskvm_table_put_function(vm, "others", sw_others);
  veskvm_table_put_function(vm, "join", sw_join);
  veskvm_table_put_function(vm, "leave", sw_leave);
  veskvm_table_put_function(vm, "in", sw_in);
  veskvm_table_put_function(vm, "select", sw_select);
  veskvm_table_put_function(vm, "exec", sw_exec);
  veskvm_pushi(vm, id);
  veskmsg_tset(vm, "id");
}

/* Argument i, an integer, read without leaving it on the stack. */
bool int_arg(veskvm_t vm, uint32_t i, int32_t *out) {
  if (!veskvm_checkint(vm, i, out)) return false;
  veskvm_pop(vm);
  return true;
}

/* The swarm id of self, which must be a swarm this robot created or derived. */
bool known_self(veskvm_t vm, uint16_t *swarm) {
  int32_t id;
  if (veskmsg_self_id(vm, &id) != VESKVM_STATE_READY) return false;
  *swarm = static_cast<uint16_t>(id);
  if (flag_of(vm, *swarm)) return true;
  const char *none = nullptr;
  veskvm_seterror(vm, VESKVM_ERROR_SWARM, none);
  return false;
}

/* Sets the membership flag and announces it. */
void set_membership(veskvm_t vm, uint16_t swarm, uint8_t flag) {
  set_flag(vm, swarm, flag);
  veskoutmsg_queue_append_swarm_joinleave(
      vm, flag ? VESKMSG_SWARM_JOIN : VESKMSG_SWARM_LEAVE, swarm);
}

int sw_create(veskvm_t vm) {
  int32_t id;
  if (!veskvm_checknargs(vm, 1) || !int_arg(vm, 1, &id)) return vm->state;
  if (!flag_of(vm, static_cast<uint16_t>(id))) set_flag(vm, static_cast<uint16_t>(id), 0);
  push_swarm_object(vm, id);
  return veskvm_ret1(vm);
}

int sw_id(veskvm_t vm) {
  int32_t level = 1;
  if (veskvm_lnum(vm) >= 1 && !int_arg(vm, 1, &level)) return vm->state;
  int64_t size = veskdarray_size(vm->swarmstack);
  /* Level 1 is the innermost running swarm; 0 and below name none. */
  if (size == 0 || level <= 0) {
    veskvm_pushnil(vm);
  } else {
    int64_t pos = size - (level > size ? size : level);
    veskvm_pushi(vm, veskdarray_get(vm->swarmstack, pos, uint16_t));
  }
  return veskvm_ret1(vm);
}

int sw_others(veskvm_t vm) {
  uint16_t swarm;
  int32_t id;
  if (!veskvm_checknargs(vm, 1) || !known_self(vm, &swarm) || !int_arg(vm, 1, &id))
    return vm->state;
  const uint16_t other = static_cast<uint16_t>(id);
  const uint8_t flag = *flag_of(vm, swarm) == 0 ? 1 : 0;
  const uint8_t *before = flag_of(vm, other);
  /* Announced like join and leave: a join, or a leave of a swarm this robot
     was in, so that the others never keep it as a member of it. */
  if (flag || (before && *before))
    set_membership(vm, other, flag);
  else
    set_flag(vm, other, flag);
  push_swarm_object(vm, id);
  return veskvm_ret1(vm);
}

int join_or_leave(veskvm_t vm, uint8_t flag) {
  uint16_t swarm;
  if (!veskvm_checknargs(vm, 0) || !known_self(vm, &swarm)) return vm->state;
  set_membership(vm, swarm, flag);
  return veskvm_ret0(vm);
}

int sw_join(veskvm_t vm) {
  return join_or_leave(vm, 1);
}
int sw_leave(veskvm_t vm) {
  return join_or_leave(vm, 0);
}

int sw_in(veskvm_t vm) {
  uint16_t swarm;
  if (!veskvm_checknargs(vm, 0) || !known_self(vm, &swarm)) return vm->state;
  veskvm_pushi(vm, *flag_of(vm, swarm));
  return veskvm_ret1(vm);
}

int sw_select(veskvm_t vm) {
  uint16_t swarm;
  int32_t cond;
  if (!veskvm_checknargs(vm, 1) || !int_arg(vm, 1, &cond) || !known_self(vm, &swarm))
    return vm->state;
  set_membership(vm, swarm, static_cast<uint8_t>(cond));
  return veskvm_ret0(vm);
}

/*
 * Runs f with this swarm as the innermost context. The native returns
 * first, so f runs in the caller's context as an ordinary (swarm) call.
 */
int sw_exec(veskvm_t vm) {
  uint16_t swarm;
  if (!veskvm_checknargs(vm, 1) || !known_self(vm, &swarm)) return vm->state;
  veskobj_t f = veskvm_checkclosure(vm, 1);
  if (!f) return vm->state;
  if (*flag_of(vm, swarm) == 0) return veskvm_ret0(vm);
  if (veskvm_ret0(vm) != VESKVM_STATE_READY) return vm->state;
  veskdarray_push(vm->swarmstack, &swarm);
  veskvm_push(vm, f);
  return veskvm_closure_call_ext(vm, 0, 1);
}

} // namespace

veskswarm_elem_t veskswarm_elem_new(void) {
  auto e = static_cast<veskswarm_elem_t>(calloc(1, sizeof(struct veskswarm_elem_s)));
  if (!e) vesk_fatal("[FATAL] Can't allocate a swarm member record.\n");
  e->swarms = veskdarray_new(1, sizeof(uint16_t), nullptr);
  return e;
}

void veskswarm_elem_destroy(const void *key, void *data, void *) {
  veskswarm_elem_t e = *static_cast<veskswarm_elem_t *>(data);
  veskdarray_destroy(&e->swarms);
  free(e);
  free(const_cast<void *>(key));
  free(data);
}

veskdict_t veskswarm_members_new(void) {
  return veskdict_new(10, sizeof(uint16_t), sizeof(veskswarm_elem_t),
                      veskdict_uint16keyhash, veskdict_uint16keycmp,
                      veskswarm_elem_destroy);
}

void veskswarm_members_destroy(veskdict_t *m) {
  veskdict_destroy(m);
}

void veskswarm_members_join(veskdict_t m, uint16_t robot, uint16_t swarm) {
  veskswarm_elem_t e = fresh_record(m, robot);
  if (find_id(e->swarms, swarm) < 0) veskdarray_push(e->swarms, &swarm);
}

void veskswarm_members_leave(veskdict_t m, uint16_t robot, uint16_t swarm) {
  veskswarm_elem_t *r = record_of(m, robot);
  if (!r) return;
  veskswarm_elem_t e = *r;
  e->age = 0;
  int64_t i = find_id(e->swarms, swarm);
  if (i >= 0) veskdarray_remove(e->swarms, static_cast<uint32_t>(i));
  if (veskdarray_isempty(e->swarms)) veskdict_remove(m, &robot);
}

void veskswarm_members_refresh(veskdict_t m, uint16_t robot, veskdarray_t swarms) {
  if (veskdarray_isempty(swarms)) {
    veskdarray_destroy(&swarms);
    veskdict_remove(m, &robot);
    return;
  }
  veskswarm_elem_t e = fresh_record(m, robot);
  veskdarray_destroy(&e->swarms);
  e->swarms = swarms;
}

int veskswarm_members_isrobotin(veskdict_t m, uint16_t robot, uint16_t swarm) {
  veskswarm_elem_t *r = record_of(m, robot);
  return r && find_id((*r)->swarms, swarm) >= 0;
}

void veskswarm_members_update(veskdict_t m) {
  std::vector<uint16_t> expired;
  veskdict_foreach(
      m,
      [](const void *key, void *data, void *params) {
        veskswarm_elem_t e = *static_cast<veskswarm_elem_t *>(data);
        if (++e->age > MEMBERSHIP_AGE_MAX)
          static_cast<std::vector<uint16_t> *>(params)->push_back(
              *static_cast<const uint16_t *>(key));
      },
      &expired);
  for (uint16_t robot : expired)
    veskdict_remove(m, &robot);
}

void veskswarm_members_print(FILE *out, veskdict_t m, uint16_t robot) {
  fprintf(out, "ROBOT %u: swarm member table size: %u\n", robot, veskdict_size(m));
  struct Ctx {
    FILE *out;
    uint16_t robot;
  } ctx{out, robot};
  veskdict_foreach(
      m,
      [](const void *key, void *data, void *params) {
        auto *c = static_cast<Ctx *>(params);
        veskswarm_elem_t e = *static_cast<veskswarm_elem_t *>(data);
        fprintf(c->out, "   %u:%u:", c->robot, *static_cast<const uint16_t *>(key));
        for (int64_t i = 0; i < veskdarray_size(e->swarms); ++i)
          fprintf(c->out, i == 0 ? "%u" : " %u", veskdarray_get(e->swarms, i, uint16_t));
        fputc('\n', c->out);
      },
      &ctx);
}

int veskswarm_register(struct veskvm_s *vm) {
  veskvm_pushstr(vm, "swarm", 1);
  veskmsg_pusht(vm);
  veskvm_table_put_function(vm, "create", sw_create);
  veskvm_table_put_function(vm, "id", sw_id);
  return veskvm_gstore(vm);
}
