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

/* Integer division and remainder fail for 0 and for INT32_MIN by -1. */
static inline bool int_divisible(uint8_t op, int32_t a, int32_t b) {
  return (op != VESKVM_INSTR_DIV && op != VESKVM_INSTR_MOD) ||
         (b != 0 && !(a == INT32_MIN && b == -1));
}

/* Integer arithmetic wraps like 32-bit two's complement; int_divisible holds. */
static inline int32_t int_result(uint8_t op, int32_t a, int32_t b) {
  uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  switch (op) {
  case VESKVM_INSTR_ADD:
    return static_cast<int32_t>(ua + ub);
  case VESKVM_INSTR_SUB:
    return static_cast<int32_t>(ua - ub);
  case VESKVM_INSTR_MUL:
    return static_cast<int32_t>(ua * ub);
  case VESKVM_INSTR_DIV:
    return a / b;
  default: {
    int32_t m = a % b;
    return m < 0 ? static_cast<int32_t>(static_cast<uint32_t>(m) + ub) : m;
  }
  }
}

static bool int_arith(veskvm_t vm, uint8_t op, int32_t a, int32_t b, int32_t *r) {
  if (int_divisible(op, a, b)) {
    *r = int_result(op, a, b);
    return true;
  }
  const char *name = op == VESKVM_INSTR_DIV ? "div" : "mod";
  if (b == 0)
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "integer %s by zero (%d %s 0)", name, a, name);
  else
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "integer overflow (%d %s -1)", a, name);
  return false;
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

/* What a comparison op makes of veskobj_cmp's answer c. */
static inline bool compare_result(uint8_t op, int c) {
  switch (op) {
  case VESKVM_INSTR_EQ:
    return c == 0;
  case VESKVM_INSTR_NEQ:
    return c != 0;
  case VESKVM_INSTR_GT:
    return c > 0;
  case VESKVM_INSTR_GTE:
    return c >= 0;
  case VESKVM_INSTR_LT:
    return c < 0;
  default:
    return c <= 0;
  }
}

static bool compare(veskvm_t vm, uint8_t op) {
  if (!veskvm_need(vm, 2)) return false;
  veskobj_t a = veskvm_at(vm, 2), b = veskvm_at(vm, 1);
  if (!veskobj_comparable(a, b)) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "cannot compare %s with %s",
                    vesktype_desc[veskobj_type(a)], vesktype_desc[veskobj_type(b)]);
    return false;
  }
  bool v = compare_result(op, veskobj_cmp(a, b));
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

static void store_local(veskvm_t vm, int32_t idx, veskobj_t v);

static inline bool lstore_index_ok(int32_t idx) {
  return idx >= 0 && idx < VESKVM_MAX_LSYMS;
}

/* Writing past the end extends the local symbols, the gap filled with nil. */
static bool do_lstore(veskvm_t vm, int32_t idx) {
  if (!veskvm_need(vm, 1) || !have_frame(vm, "lstore")) return false;
  if (!lstore_index_ok(idx)) {
    veskvm_seterror(vm, VESKVM_ERROR_LNUM, "local symbol %d written, the limit is %d",
                    idx, VESKVM_MAX_LSYMS);
    return false;
  }
  veskobj_t v = veskvm_at(vm, 1);
  veskvm_drop(vm, 1);
  store_local(vm, idx, v);
  return true;
}

/* lstore's store into a valid index of the current frame. */
static void store_local(veskvm_t vm, int32_t idx, veskobj_t v) {
  veskdarray_t syms = vm->lsyms->syms;
  if (idx < veskdarray_size(syms)) {
    veskdarray_get(syms, idx, veskobj_t) = v;
    return;
  }
  if (idx > veskdarray_size(syms)) {
    veskobj_t nil = veskvm_newobj(vm, VESKTYPE_NIL);
    while (veskdarray_size(syms) < idx)
      veskdarray_push(syms, &nil);
  }
  veskdarray_push(syms, &v);
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

[[gnu::always_inline]] static inline void gc_check(veskvm_t vm) {
  if (static_cast<uint64_t>(veskdarray_size(vm->heap->objs)) >= vm->heap->marklimit)
    veskheap_gc(vm);
}

/* The instruction at pc of a VM in "ready". */
[[gnu::always_inline]] static inline void step_body(veskvm_t vm) {
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

/* One instruction of a VM in "ready": collection check, then the
   instruction at pc. Inlined into both the single step and the run loops. */
[[gnu::always_inline]] static inline void step_ready(veskvm_t vm) {
  gc_check(vm);
  step_body(vm);
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

/*
 * Fused execution: a sequence of instructions as one operation whose
 * intermediate results are never pushed, so they need no object. Each
 * operation first checks everything its instructions would check; if one
 * check fails it changes nothing and returns false, and the run loop
 * executes the first instruction alone, so that every error, message,
 * position and stack is the one single steps give. On success pc and oldpc
 * are where the last instruction of the sequence leaves them.
 */

/* An integer or float result of a binary operation, not yet an object. */
struct binary_result {
  bool isfloat;
  int32_t i;
  float f;
};

/* Operand of a fused binary operation from the argument at argp: a local
   symbol, or the constant in a scratch object that never reaches the heap.
   Null when the local symbol does not exist. */
static inline veskobj_t fused_operand(veskvm_t vm, int kind, const uint8_t *argp,
                                      union veskobj_u *scratch) {
  int32_t arg = static_cast<int32_t>(vesk_get_le32(argp));
  if (kind == VESKVM_OPERAND_CONST) {
    scratch->o.type = VESKTYPE_INT;
    scratch->o.marker = 0;
    scratch->i.value = arg;
    return scratch;
  }
  veskvm_lsyms_t f = vm->lsyms;
  if (!f || arg < 0 || arg >= veskdarray_size(f->syms)) return nullptr;
  return veskdarray_get(f->syms, arg, veskobj_t);
}

/* The result of a binary instruction on a and b, false where it would fail. */
static inline bool binary_eval(uint8_t op, veskobj_t a, veskobj_t b, binary_result *r) {
  r->isfloat = false;
  bool ints = veskobj_isint(a) && veskobj_isint(b);
  if (op >= VESKVM_INSTR_EQ) {
    if (ints) {
      int32_t x = a->i.value, y = b->i.value;
      r->i = compare_result(op, x < y ? -1 : x > y);
    } else {
      if (!veskobj_comparable(a, b)) return false;
      r->i = compare_result(op, veskobj_cmp(a, b));
    }
    return true;
  }
  if (ints) {
    if (!int_divisible(op, a->i.value, b->i.value)) return false;
    r->i = int_result(op, a->i.value, b->i.value);
    return true;
  }
  if (!is_number(a) || !is_number(b)) return false;
  r->isfloat = true;
  r->f = float_arith(op, to_float(a), to_float(b));
  return true;
}

static inline veskobj_t result_object(veskvm_t vm, const binary_result &r) {
  veskobj_t o = veskvm_newobj(vm, r.isfloat ? VESKTYPE_FLOAT : VESKTYPE_INT);
  if (r.isfloat)
    o->f.value = r.f;
  else
    o->i.value = r.i;
  return o;
}

static inline int32_t arg_at(veskvm_t vm, int32_t instr) {
  return static_cast<int32_t>(vesk_get_le32(vm->bcode + instr + 1));
}

/* The instructions of one binary operation as the shape describes them. */
struct binary_step {
  int ka, kb, sink;
  int64_t onstack; /* operands taken from the stack */
  int32_t at;      /* offset of the binary instruction */
};

static inline binary_step binary_decode(int32_t pc, uint8_t shape) {
  binary_step s;
  s.ka = (shape >> 4) & 3;
  s.kb = (shape >> 2) & 3;
  s.sink = shape & 3;
  int nsrc = (s.ka != VESKVM_OPERAND_STACK) + (s.kb != VESKVM_OPERAND_STACK);
  s.onstack = 2 - nsrc;
  s.at = pc + 5 * nsrc;
  return s;
}

/* Evaluates the operation starting at pc. top, when not null, is a result
   not pushed yet that stands for the top of the stack. *popped tells how
   many elements of the real stack the operation takes. */
static inline bool binary_eval_at(veskvm_t vm, const binary_step &s, int32_t pc,
                                  veskobj_t top, binary_result *r, int64_t *popped) {
  int64_t real = s.onstack - (top ? 1 : 0);
  if (real < 0 || veskdarray_size(vm->stack) < real) return false;
  const uint8_t *code = vm->bcode;
  union veskobj_u sa, sb;
  veskobj_t b, a;
  if (s.kb == VESKVM_OPERAND_STACK)
    b = top ? top : veskvm_at(vm, 1);
  else
    b = fused_operand(vm, s.kb, code + s.at - 4, &sb);
  if (s.ka == VESKVM_OPERAND_STACK)
    a = s.onstack == 1 ? (top ? top : veskvm_at(vm, 1)) : veskvm_at(vm, top ? 1 : 2);
  else
    a = fused_operand(vm, s.ka, code + pc + 1, &sa);
  *popped = real;
  return a && b && binary_eval(code[s.at], a, b, r);
}

static inline veskobj_t scratch_of(const binary_result &r, union veskobj_u *scratch) {
  scratch->o.type = r.isfloat ? VESKTYPE_FLOAT : VESKTYPE_INT;
  scratch->o.marker = 0;
  if (r.isfloat)
    scratch->f.value = r.f;
  else
    scratch->i.value = r.i;
  return scratch;
}

/* The shape of the next link of a chain at pc: a binary operation that
   takes the top of the stack, not a jump target. */
static inline uint8_t chain_link(veskvm_t vm, int32_t pc) {
  uint8_t shape = vm->fused->shape[pc];
  if (shape & VESKVM_FUSED_TARGET || !(shape & VESKVM_FUSED_BINARY)) return 0;
  return binary_decode(pc, shape).onstack > 0 ? shape : 0;
}

/* Ends an operation whose sink is a store or a branch; false where the
   instruction would fail. */
static inline bool binary_sink(veskvm_t vm, const binary_step &s, const binary_result &r,
                               int64_t popped) {
  int32_t next = s.at + 1, arg = arg_at(vm, next);
  if (s.sink == VESKVM_SINK_LSTORE) {
    if (!vm->lsyms || !lstore_index_ok(arg)) return false;
    veskvm_drop(vm, popped);
    store_local(vm, arg, result_object(vm, r));
    vm->pc = next + 5;
  } else {
    bool jump = (r.isfloat || r.i != 0) == (s.sink == VESKVM_SINK_JUMPNZ);
    if (jump && (arg < 0 || static_cast<uint32_t>(arg) >= vm->bcode_size)) return false;
    veskvm_drop(vm, popped);
    vm->pc = jump ? arg : next + 5;
  }
  vm->oldpc = next;
  return true;
}

/* [a] [b] op [sink], and the links that follow while each result is taken
   by the next: see VESKVM_FUSED_BINARY. A link that would fail ends the
   chain with the result so far pushed; the loop then meets that link again
   and executes it instruction by instruction. */
static bool fused_binary(veskvm_t vm, int32_t pc, uint8_t shape) {
  union veskobj_u held;
  veskobj_t top = nullptr;
  binary_result r;
  for (;;) {
    binary_step s = binary_decode(pc, shape);
    binary_result nr;
    int64_t popped;
    if (!binary_eval_at(vm, s, pc, top, &nr, &popped)) break;
    if (s.sink != VESKVM_SINK_PUSH) {
      if (binary_sink(vm, s, nr, popped)) return true;
      break;
    }
    veskvm_drop(vm, popped);
    r = nr;
    top = scratch_of(r, &held);
    vm->oldpc = s.at;
    pc = s.at + 1;
    shape = chain_link(vm, pc);
    if (!shape) break;
  }
  if (!top) return false;
  veskvm_push(vm, result_object(vm, r));
  vm->pc = pc;
  return true;
}

/* pushs k; gload: the global named k, without the name's object. */
static bool fused_gload(veskvm_t vm, int32_t pc) {
  uint16_t id = static_cast<uint16_t>(arg_at(vm, pc));
  if (!veskstrman_get(vm->strings, id)) return false;
  int32_t key = id;
  veskobj_t *v = veskdict_get(vm->gsyms, &key, veskobj_t);
  veskvm_push(vm, v ? *v : veskvm_newobj(vm, VESKTYPE_NIL));
  vm->oldpc = pc + 5;
  vm->pc = pc + 6;
  return true;
}

/* pushs k; tget: the member named k of the table on top, the key being a
   scratch string object outside the heap. */
static bool fused_tget(veskvm_t vm, int32_t pc) {
  if (veskdarray_isempty(vm->stack)) return false;
  veskobj_t t = veskvm_at(vm, 1);
  uint16_t id = static_cast<uint16_t>(arg_at(vm, pc));
  const char *text = veskstrman_get(vm->strings, id);
  if (!veskobj_istable(t) || !text) return false;
  union veskobj_u key;
  key.o.type = VESKTYPE_STRING;
  key.o.marker = 0;
  key.s.id = id;
  key.s.str = text;
  veskobj_t k = &key;
  veskobj_t *v = veskdict_get(t->t.value, &k, veskobj_t);
  veskvm_at(vm, 1) = v ? *v : veskvm_newobj(vm, VESKTYPE_NIL);
  vm->oldpc = pc + 5;
  vm->pc = pc + 6;
  return true;
}

/* pushi n; callc (or calls): the call without an object for n. */
static bool fused_call(veskvm_t vm, int32_t pc) {
  int32_t n = arg_at(vm, pc);
  if (!veskvm_call_fits(vm, n)) return false;
  vm->oldpc = pc + 5;
  vm->pc = pc + 6;
  if (veskvm_call_enter(vm, n, vm->bcode[pc + 5] == VESKVM_INSTR_CALLS) ==
      VESKVM_STATE_READY)
    veskvm_pc_ok(vm);
  return true;
}

/* lload alone, without the checks of an argument fetch. */
static bool fused_lload(veskvm_t vm, int32_t pc) {
  int32_t idx = arg_at(vm, pc);
  veskvm_lsyms_t f = vm->lsyms;
  if (!f || idx < 0 || idx >= veskdarray_size(f->syms)) return false;
  veskvm_push(vm, veskdarray_get(f->syms, idx, veskobj_t));
  vm->oldpc = pc;
  vm->pc = pc + 5;
  return true;
}

static bool fused_jump(veskvm_t vm, int32_t pc) {
  int32_t target = arg_at(vm, pc);
  if (target < 0 || static_cast<uint32_t>(target) >= vm->bcode_size) return false;
  vm->oldpc = pc;
  vm->pc = target;
  return true;
}

/* Executes the sequence of the shape at pc; false when there is none or it
   must fall back to single instructions. */
static inline bool run_fused(veskvm_t vm, int32_t pc, uint8_t shape) {
  switch (shape) {
  case VESKVM_FUSED_NONE:
    return false;
  case VESKVM_FUSED_GLOAD:
    return fused_gload(vm, pc);
  case VESKVM_FUSED_TGET:
    return fused_tget(vm, pc);
  case VESKVM_FUSED_CALL:
    return fused_call(vm, pc);
  case VESKVM_FUSED_LLOAD:
    return fused_lload(vm, pc);
  case VESKVM_FUSED_JUMP:
    return fused_jump(vm, pc);
  default:
    return fused_binary(vm, pc, shape);
  }
}

/* The shapes of the loaded code, none (*n = 0) when the code was replaced
   without being loaded. */
static inline const uint8_t *current_shapes(veskvm_t vm, uint32_t *n) {
  const veskvm_fused_s *f = vm->fused;
  bool ok = f && f->bcode == vm->bcode && f->size == vm->bcode_size;
  *n = ok ? f->size : 0;
  return ok ? f->shape : nullptr;
}

/* The run loop: fused sequences where the code has them, single
   instructions elsewhere, one collection check per operation. A hook set
   while it runs hands over to the hooked loop. */
int veskvm_run(veskvm_t vm, int64_t depth) {
  uint32_t n;
  const uint8_t *shapes = current_shapes(vm, &n);
  while (vm->state == VESKVM_STATE_READY &&
         (depth < 0 || veskdarray_size(vm->stacks) > depth)) {
    if (vm->hook) return run_hooked(vm, depth);
    gc_check(vm);
    uint32_t pc = static_cast<uint32_t>(vm->pc);
    uint8_t shape = pc < n ? shapes[pc] & ~VESKVM_FUSED_TARGET : VESKVM_FUSED_NONE;
    bool done = run_fused(vm, static_cast<int32_t>(pc), shape);
    if (!done) step_body(vm);
    /* Native functions, which calls and single instructions may run, may
       load other code into the VM. */
    if (!done || shape == VESKVM_FUSED_CALL) shapes = current_shapes(vm, &n);
  }
  return vm->state;
}
