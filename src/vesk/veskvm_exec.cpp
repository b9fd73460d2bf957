/*
 * The interpreter of the Vesk VM: one step executes one instruction, with
 * its program-counter rule, and the instruction bodies that the stack API
 * shares (gload, gstore, tget, tput, lload).
 */
#include <cmath>
#include <cstring>

#include "veskbytes.h"
#include "veskvm_internal.h"

static inline bool is_number(veskobj_t o) {
  return veskobj_isint(o) || veskobj_isfloat(o);
}

static inline float to_float(veskobj_t o) {
  return veskobj_isint(o) ? static_cast<float>(o->i.value) : o->f.value;
}

/* nil and the integer 0 are false, everything else is true. */
static inline bool is_true(veskobj_t o) {
  return !(veskobj_isnil(o) || (veskobj_isint(o) && o->i.value == 0));
}

static inline void push_int(veskvm_t vm, int32_t v) {
  veskvm_pushi(vm, v);
}

/* Replaces the top two operands by r. */
static inline void replace2(veskvm_t vm, veskobj_t r) {
  veskvm_drop(vm, 1);
  veskvm_at(vm, 1) = r;
}

static bool expect_type(veskvm_t vm, veskobj_t o, uint16_t type) {
  if (veskobj_type(o) == type) return true;
  veskvm_type_error(vm, type, o);
  return false;
}

static bool expect_key(veskvm_t vm, veskobj_t k) {
  if (veskobj_haskey(k)) return true;
  veskvm_seterror(vm, VESKVM_ERROR_TYPE, "a %s cannot be a table key",
                  vesktype_desc[veskobj_type(k)]);
  return false;
}

/* Integer arithmetic wraps like 32-bit two's complement. */
static bool int_arith(veskvm_t vm, uint8_t op, int32_t a, int32_t b, int32_t *r) {
  uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (op) {
  case VESKVM_INSTR_ADD:
    *r = static_cast<int32_t>(ua + ub);
    return true;
  case VESKVM_INSTR_SUB:
    *r = static_cast<int32_t>(ua - ub);
    return true;
  case VESKVM_INSTR_MUL:
    *r = static_cast<int32_t>(ua * ub);
    return true;
  default:
    break;
  }
  const char *name = op == VESKVM_INSTR_DIV ? "div" : "mod";
  if (b == 0) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "integer %s by zero (%d %s 0)", name, a, name);
    return false;
  }
  if (a == INT32_MIN && b == -1) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "integer overflow (%d %s -1)", a, name);
    return false;
  }
  if (op == VESKVM_INSTR_DIV) {
    *r = a / b;
  } else {
    int32_t m = a % b;
    *r = m < 0 ? static_cast<int32_t>(static_cast<uint32_t>(m) + ub) : m;
  }
  return true;
}

static float float_arith(uint8_t op, float a, float b) {
  switch (op) {
  case VESKVM_INSTR_ADD:
    return a + b;
  case VESKVM_INSTR_SUB:
    return a - b;
  case VESKVM_INSTR_MUL:
    return a * b;
  case VESKVM_INSTR_DIV:
    return a / b;
  case VESKVM_INSTR_MOD: {
    float m = fmodf(a, b);
    return m < 0 ? m + b : m;
  }
  default:
    return powf(a, b);
  }
}

/* add, sub, mul, div: operands are checked before anything is popped, so a
   failure leaves them in place. mod and pow pop them first. */
static bool arith(veskvm_t vm, uint8_t op) {
  if (!veskvm_need(vm, 2)) return false;
  veskobj_t a = veskvm_at(vm, 2), b = veskvm_at(vm, 1);
  bool pops_first = op == VESKVM_INSTR_MOD || op == VESKVM_INSTR_POW;
  if (!is_number(a) || !is_number(b)) {
    if (pops_first) veskvm_drop(vm, 2);
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, nullptr);
    return false;
  }
  if (pops_first) veskvm_drop(vm, 2);
  veskobj_t r;
  if (veskobj_isint(a) && veskobj_isint(b) && op != VESKVM_INSTR_POW) {
    int32_t v;
    if (!int_arith(vm, op, a->i.value, b->i.value, &v)) return false;
    r = veskvm_newobj(vm, VESKTYPE_INT);
    r->i.value = v;
  } else {
    r = veskvm_newobj(vm, VESKTYPE_FLOAT);
    r->f.value = float_arith(op, to_float(a), to_float(b));
  }
  if (pops_first)
    veskvm_push(vm, r);
  else
    replace2(vm, r);
  return true;
}

static bool unm(veskvm_t vm) {
  if (!veskvm_need(vm, 1)) return false;
  veskobj_t a = veskvm_at(vm, 1);
  veskvm_drop(vm, 1);
  if (veskobj_isint(a)) {
    push_int(vm, static_cast<int32_t>(0u - static_cast<uint32_t>(a->i.value)));
  } else if (veskobj_isfloat(a)) {
    veskvm_pushf(vm, -a->f.value);
  } else {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, nullptr);
    return false;
  }
  return true;
}

static bool logic(veskvm_t vm, uint8_t op) {
  if (op == VESKVM_INSTR_NOT) {
    if (!veskvm_need(vm, 1)) return false;
    bool v = !is_true(veskvm_at(vm, 1));
    veskvm_drop(vm, 1);
    push_int(vm, v);
    return true;
  }
  if (!veskvm_need(vm, 2)) return false;
  bool a = is_true(veskvm_at(vm, 2)), b = is_true(veskvm_at(vm, 1));
  veskvm_drop(vm, 2);
  push_int(vm, op == VESKVM_INSTR_AND ? (a && b) : (a || b));
  return true;
}

static bool compare(veskvm_t vm, uint8_t op) {
  if (!veskvm_need(vm, 2)) return false;
  veskobj_t a = veskvm_at(vm, 2), b = veskvm_at(vm, 1);
  if (!veskobj_comparable(a, b)) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "cannot compare %s with %s",
                    vesktype_desc[veskobj_type(a)], vesktype_desc[veskobj_type(b)]);
    return false;
  }
  int c = veskobj_cmp(a, b);
  bool v = false;
  switch (op) {
  case VESKVM_INSTR_EQ:
    v = c == 0;
    break;
  case VESKVM_INSTR_NEQ:
    v = c != 0;
    break;
  case VESKVM_INSTR_GT:
    v = c > 0;
    break;
  case VESKVM_INSTR_GTE:
    v = c >= 0;
    break;
  case VESKVM_INSTR_LT:
    v = c < 0;
    break;
  default:
    v = c <= 0;
    break;
  }
  veskvm_drop(vm, 2);
  push_int(vm, v);
  return true;
}

static bool do_gload(veskvm_t vm) {
  if (!veskvm_need(vm, 1)) return false;
  veskobj_t s = veskvm_at(vm, 1);
  if (!expect_type(vm, s, VESKTYPE_STRING)) return false;
  int32_t key = s->s.id;
  veskobj_t *v = veskdict_get(vm->gsyms, &key, veskobj_t);
  veskvm_at(vm, 1) = v ? *v : veskvm_newobj(vm, VESKTYPE_NIL);
  return true;
}

static bool do_gstore(veskvm_t vm) {
  if (!veskvm_need(vm, 2)) return false;
  veskobj_t s = veskvm_at(vm, 2), v = veskvm_at(vm, 1);
  if (!expect_type(vm, s, VESKTYPE_STRING)) return false;
  int32_t key = s->s.id;
  veskdict_set(vm->gsyms, &key, &v);
  veskvm_drop(vm, 2);
  return true;
}

static bool do_tget(veskvm_t vm) {
  if (!veskvm_need(vm, 2)) return false;
  veskobj_t t = veskvm_at(vm, 2), k = veskvm_at(vm, 1);
  if (!expect_type(vm, t, VESKTYPE_TABLE) || !expect_key(vm, k)) return false;
  veskobj_t *v = veskdict_get(t->t.value, &k, veskobj_t);
  replace2(vm, v ? *v : veskvm_newobj(vm, VESKTYPE_NIL));
  return true;
}

veskobj_t veskvm_method(veskvm_t vm, veskobj_t t, int32_t ref, uint8_t isscript,
                        veskdarray_t captured) {
  veskobj_t m = veskvm_newobj(vm, VESKTYPE_CLOSURE);
  m->c.ref = ref;
  m->c.isscript = isscript;
  veskdarray_push(m->c.actrec, &t);
  for (int64_t i = 1; captured && i < veskdarray_size(captured); ++i)
    veskdarray_push(m->c.actrec, &veskdarray_get(captured, i, veskobj_t));
  return m;
}

/* A closure stored into a table becomes a method: its self is the table. */
static veskobj_t method_of(veskvm_t vm, veskobj_t t, veskobj_t c) {
  return veskvm_method(vm, t, c->c.ref, c->c.isscript, c->c.actrec);
}

static bool do_tput(veskvm_t vm) {
  if (!veskvm_need(vm, 3)) return false;
  veskobj_t t = veskvm_at(vm, 3), k = veskvm_at(vm, 2), v = veskvm_at(vm, 1);
  if (!expect_type(vm, t, VESKTYPE_TABLE) || !expect_key(vm, k)) return false;
  veskvm_drop(vm, 3);
  if (veskobj_isnil(v)) {
    veskdict_remove(t->t.value, &k);
    return true;
  }
  if (veskobj_isclosure(v)) v = method_of(vm, t, v);
  veskdict_set(t->t.value, &k, &v);
  return true;
}

int veskvm_tput(veskvm_t vm) {
  do_tput(vm);
  return vm->state;
}
int veskvm_tget(veskvm_t vm) {
  do_tget(vm);
  return vm->state;
}
int veskvm_gload(veskvm_t vm) {
  do_gload(vm);
  return vm->state;
}
int veskvm_gstore(veskvm_t vm) {
  do_gstore(vm);
  return vm->state;
}

/* Local symbols exist only inside a call; top-level code has none. */
static bool have_frame(veskvm_t vm, const char *what) {
  if (vm->lsyms) return true;
  veskvm_seterror(vm, VESKVM_ERROR_LNUM, "%s outside of a function call", what);
  return false;
}

static bool do_lload(veskvm_t vm, int64_t idx) {
  if (!have_frame(vm, "lload")) return false;
  int64_t n = veskdarray_size(vm->lsyms->syms);
  if (idx < 0 || idx >= n) {
    veskvm_seterror(vm, VESKVM_ERROR_LNUM, "local symbol %ld read, the call has %ld",
                    static_cast<long>(idx), static_cast<long>(n));
    return false;
  }
  veskvm_push(vm, veskdarray_get(vm->lsyms->syms, idx, veskobj_t));
  return true;
}

int veskvm_lload(veskvm_t vm, uint32_t idx) {
  do_lload(vm, idx);
  return vm->state;
}

/* Writing past the end extends the local symbols, the gap filled with nil. */
static bool do_lstore(veskvm_t vm, int32_t idx) {
  if (!veskvm_need(vm, 1) || !have_frame(vm, "lstore")) return false;
  if (idx < 0 || idx >= VESKVM_MAX_LSYMS) {
    veskvm_seterror(vm, VESKVM_ERROR_LNUM, "local symbol %d written, the limit is %d",
                    idx, VESKVM_MAX_LSYMS);
    return false;
  }
  veskobj_t v = veskvm_at(vm, 1);
  veskvm_drop(vm, 1);
  veskdarray_t syms = vm->lsyms->syms;
  if (idx < veskdarray_size(syms)) {
    veskdarray_get(syms, idx, veskobj_t) = v;
    return true;
  }
  if (idx > veskdarray_size(syms)) {
    veskobj_t nil = veskvm_newobj(vm, VESKTYPE_NIL);
    while (veskdarray_size(syms) < idx)
      veskdarray_push(syms, &nil);
  }
  veskdarray_push(syms, &v);
  return true;
}

/* jumpz/jumpnz: the condition stays on the stack when the target is bad. */
static void cond_jump(veskvm_t vm, bool when, int32_t target) {
  if (!veskvm_need(vm, 1)) return;
  if (is_true(veskvm_at(vm, 1)) == when) {
    vm->pc = target;
    if (!veskvm_pc_ok(vm)) return;
  }
  veskvm_drop(vm, 1);
}

static inline bool advance(veskvm_t vm) {
  ++vm->pc;
  return veskvm_pc_ok(vm);
}

/* Reads the 4-byte argument after the opcode; at least one byte must follow
   it. */
[[gnu::always_inline]] static inline bool fetch_arg(veskvm_t vm, int32_t *arg) {
  ++vm->pc;
  int64_t pc = vm->pc;
  if (pc >= vm->bcode_size || pc + 4 >= vm->bcode_size) {
    veskvm_seterror(vm, VESKVM_ERROR_PC, nullptr);
    return false;
  }
  *arg = static_cast<int32_t>(vesk_get_le32(vm->bcode + pc));
  vm->pc += 4;
  return true;
}

[[gnu::always_inline]] static inline void exec_with_arg(veskvm_t vm, uint8_t op,
                                                        int32_t arg) {
  switch (op) {
  case VESKVM_INSTR_PUSHF: {
    float f;
    memcpy(&f, &arg, sizeof f);
    veskvm_pushf(vm, f);
    break;
  }
  case VESKVM_INSTR_PUSHI:
    veskvm_pushi(vm, arg);
    break;
  case VESKVM_INSTR_PUSHS:
    veskvm_pushs(vm, static_cast<uint16_t>(arg));
    break;
  case VESKVM_INSTR_PUSHCN:
    veskvm_pushc(vm, arg, 1);
    break;
  case VESKVM_INSTR_PUSHCC:
    veskvm_pushc(vm, arg, 0);
    break;
  case VESKVM_INSTR_PUSHL:
    veskvm_pushl(vm, arg);
    break;
  case VESKVM_INSTR_LLOAD:
    do_lload(vm, arg);
    break;
  case VESKVM_INSTR_LSTORE:
    do_lstore(vm, arg);
    break;
  case VESKVM_INSTR_JUMP:
    vm->pc = arg;
    veskvm_pc_ok(vm);
    break;
  case VESKVM_INSTR_JUMPZ:
    cond_jump(vm, false, arg);
    break;
  default:
    cond_jump(vm, true, arg);
    break;
  }
}

/* Instructions without argument. Depending on the instruction, pc moves
   before it runs (it runs only if pc is still valid) or after it succeeded. */
[[gnu::always_inline]] static inline void exec_plain(veskvm_t vm, uint8_t op) {
  switch (op) {
  case VESKVM_INSTR_NOP:
    advance(vm);
    return;
  case VESKVM_INSTR_DONE:
    vm->state = VESKVM_STATE_DONE;
    return;
  case VESKVM_INSTR_PUSHNIL:
    if (advance(vm)) veskvm_pushnil(vm);
    return;
  case VESKVM_INSTR_DUP:
    if (advance(vm)) veskvm_dup(vm);
    return;
  case VESKVM_INSTR_POP:
    if (veskvm_pop(vm) == VESKVM_STATE_READY) advance(vm);
    return;
  case VESKVM_INSTR_RET0:
  case VESKVM_INSTR_RET1:
    if (veskvm_return(vm, op == VESKVM_INSTR_RET1) == VESKVM_STATE_READY)
      veskvm_pc_ok(vm);
    return;
  case VESKVM_INSTR_ADD:
  case VESKVM_INSTR_SUB:
  case VESKVM_INSTR_MUL:
  case VESKVM_INSTR_DIV:
  case VESKVM_INSTR_MOD:
  case VESKVM_INSTR_POW:
    if (arith(vm, op)) advance(vm);
    return;
  case VESKVM_INSTR_UNM:
    if (unm(vm)) advance(vm);
    return;
  case VESKVM_INSTR_AND:
  case VESKVM_INSTR_OR:
  case VESKVM_INSTR_NOT:
    if (logic(vm, op)) advance(vm);
    return;
  case VESKVM_INSTR_GLOAD:
    if (advance(vm)) do_gload(vm);
    return;
  case VESKVM_INSTR_GSTORE:
    if (advance(vm)) do_gstore(vm);
    return;
  case VESKVM_INSTR_PUSHT:
    veskvm_push(vm, veskvm_newobj(vm, VESKTYPE_TABLE));
    advance(vm);
    return;
  case VESKVM_INSTR_TPUT:
    if (do_tput(vm)) advance(vm);
    return;
  case VESKVM_INSTR_TGET:
    if (do_tget(vm)) advance(vm);
    return;
  case VESKVM_INSTR_CALLC:
  case VESKVM_INSTR_CALLS:
    if (advance(vm) && veskvm_call(vm, op == VESKVM_INSTR_CALLS) == VESKVM_STATE_READY)
      veskvm_pc_ok(vm);
    return;
  default:
    if (compare(vm, op)) advance(vm);
    return;
  }
}

/* One instruction of a VM in "ready": collection check, then the
   instruction at pc. Inlined into both the single step and the run loop. */
[[gnu::always_inline]] static inline void step_ready(veskvm_t vm) {
  if (static_cast<uint64_t>(veskdarray_size(vm->heap->objs)) >= vm->heap->marklimit)
    veskheap_gc(vm);
  /* pc was checked by whatever moved it; this guards hosts that set it. */
  if (!veskvm_pc_ok(vm)) return;
  vm->oldpc = vm->pc;
  uint8_t op = vm->bcode[vm->pc];
  if (op < VESKVM_INSTR_ARGFIRST) {
    exec_plain(vm, op);
  } else if (op <= VESKVM_INSTR_LAST) {
    int32_t arg;
    if (fetch_arg(vm, &arg)) exec_with_arg(vm, op, arg);
  } else {
    veskvm_seterror(vm, VESKVM_ERROR_INSTR, nullptr);
  }
}

int veskvm_step(veskvm_t vm) {
  if (vm->state == VESKVM_STATE_READY) step_ready(vm);
  return vm->state;
}

void veskvm_sethook(veskvm_t vm, veskvm_hook_t hook, void *data) {
  vm->hook = hook;
  vm->hookdata = data;
}

/* The run loop of a VM with a hook: the hook sees every instruction first,
   and may remove itself or stop the VM. */
static int run_hooked(veskvm_t vm, int64_t depth) {
  while (vm->state == VESKVM_STATE_READY &&
         (depth < 0 || veskdarray_size(vm->stacks) > depth)) {
    if (vm->hook) vm->hook(vm, vm->hookdata);
    if (vm->state == VESKVM_STATE_READY) step_ready(vm);
  }
  return vm->state;
}

/* The same steps as calling veskvm_step in a loop, without a call per
   instruction. */
int veskvm_run(veskvm_t vm, int64_t depth) {
  if (vm->hook) return run_hooked(vm, depth);
  if (depth < 0) {
    while (vm->state == VESKVM_STATE_READY)
      step_ready(vm);
  } else {
    while (vm->state == VESKVM_STATE_READY && veskdarray_size(vm->stacks) > depth)
      step_ready(vm);
  }
  return vm->state;
}
