/*
 * The Vesk virtual machine: the VM record and its lifecycle, bytecode
 * loading, errors and the diagnostic dump, the calling convention shared by
 * script and native functions, and the stack API used by natives and hosts.
 * The instructions are in veskvm_exec.cpp.
 */
#include "veskvm.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vesktable.h"
#include "veskbytes.h"
#include "veskfatal.h"
#include "veskvm_internal.h"
#include "veskio.h"
#include "veskmath.h"
#include "veskstring.h"
#include "veskinmsg.h"
#include "veskneighbors.h"
#include "veskoutmsg.h"
#include "veskswarm.h"
#include "veskvstig.h"

const char *veskvm_state_desc[] = {"no code", "ready", "done", "error", "stopped"};

const char *veskvm_error_desc[] = {"none",
                                   "unknown instruction",
                                   "stack error",
                                   "wrong number of local variables",
                                   "pc out of range",
                                   "function id out of range",
                                   "type mismatch",
                                   "unknown string id",
                                   "unknown swarm id"};

const char *veskvm_instr_desc[] = {
    "nop",   "done",   "pushnil", "dup",   "pop",   "ret0",  "ret1",   "add",    "sub",
    "mul",   "div",    "mod",     "pow",   "unm",   "and",   "or",     "not",    "eq",
    "neq",   "gt",     "gte",     "lt",    "lte",   "gload", "gstore", "pusht",  "tput",
    "tget",  "callc",  "calls",   "pushf", "pushi", "pushs", "pushcn", "pushcc", "pushl",
    "lload", "lstore", "jump",    "jumpz", "jumpnz"};

/* Finished calls hand their operand stack and frame record back for reuse;
   these bound how many are kept and how large a kept stack may be. */
static const int64_t FREE_LIST_MAX = 32;
static const uint32_t RECYCLED_STACK_MAX_CAP = 1024;

/****************************************/
/* Creation and destruction             */
/****************************************/

/* Containers of the swarm-communication state: swarm membership, the swarm
   call stack, neighbours' memberships, message queues, stigmergies and
   listeners. */
static void swarm_state_new(veskvm_t vm) {
  vm->swarms = veskdict_new(10, sizeof(uint16_t), sizeof(uint8_t), veskdict_uint16keyhash,
                            veskdict_uint16keycmp, veskdict_entry_destroy);
  vm->swarmstack = veskdarray_new(10, sizeof(uint16_t), nullptr);
  vm->swarmmembers = veskswarm_members_new();
  vm->swarmbroadcast = SWARM_BROADCAST_PERIOD;
  vm->inmsgs = veskdarray_new(20, sizeof(veskdarray_t), nullptr);
  vm->outmsgs = veskoutmsg_queue_new(vm->robot);
  vm->vstigs = veskdict_new(10, sizeof(uint16_t), sizeof(void *), veskdict_uint16keyhash,
                            veskdict_uint16keycmp, veskvm_vstig_destroy);
  vm->listeners =
      veskdict_new(10, sizeof(uint16_t), sizeof(veskobj_t), veskdict_uint16keyhash,
                   veskdict_uint16keycmp, veskdict_entry_destroy);
}

static void swarm_state_destroy(veskvm_t vm) {
  veskdict_destroy(&vm->swarms);
  veskdarray_destroy(&vm->swarmstack);
  veskswarm_members_destroy(&vm->swarmmembers);
  veskinmsg_queue_clear(vm);
  veskdarray_destroy(&vm->inmsgs);
  veskoutmsg_queue_destroy(&vm->outmsgs);
  veskdict_destroy(&vm->vstigs);
  veskdict_destroy(&vm->listeners);
}

veskvm_t veskvm_new(uint16_t robot) {
  veskvm_t vm = static_cast<veskvm_t>(calloc(1, sizeof(struct veskvm_s)));
  if (!vm) vesk_fatal("[FATAL] Can't allocate a VM.\n");
  vm->stacks = veskdarray_new(20, sizeof(veskdarray_t), veskvm_darray_destroy);
  vm->stack = veskdarray_new(20, sizeof(veskobj_t), nullptr);
  veskdarray_push(vm->stacks, &vm->stack);
  vm->lsymts = veskdarray_new(20, sizeof(veskvm_lsyms_t), veskvm_lsyms_destroy);
  vm->gsyms = veskdict_new(20, sizeof(int32_t), sizeof(veskobj_t), veskdict_int32keyhash,
                           veskdict_int32keycmp, veskdict_entry_destroy);
  vm->strings = veskstrman_new();
  vm->heap = veskheap_new();
  vm->flist = veskdarray_new(20, sizeof(veskvm_funp), nullptr);
  vm->robot = robot;
  swarm_state_new(vm);
  vm->state = VESKVM_STATE_NOCODE;
  vm->error = VESKVM_ERROR_NONE;
  vm->freestacks =
      veskdarray_new(FREE_LIST_MAX, sizeof(veskdarray_t), veskvm_darray_destroy);
  vm->freeframes =
      veskdarray_new(FREE_LIST_MAX, sizeof(veskvm_lsyms_t), veskvm_lsyms_destroy);
  return vm;
}

void veskvm_destroy(veskvm_t *vmp) {
  veskvm_t vm = *vmp;
  if (!vm) return;
  /* Library state outside the heap: the generator and open script files. */
  veskmath_release(vm);
  veskio_release(vm);
  veskstrman_destroy(&vm->strings);
  veskdict_destroy(&vm->gsyms);
  veskdarray_destroy(&vm->lsymts);
  veskdarray_destroy(&vm->stacks);
  veskdarray_destroy(&vm->freeframes);
  veskdarray_destroy(&vm->freestacks);
  veskheap_destroy(&vm->heap);
  veskdarray_destroy(&vm->flist);
  swarm_state_destroy(vm);
  free(vm->errormsg);
  veskvm_fused_free(vm);
  free(vm);
  *vmp = nullptr;
}

veskvm_lsyms_t veskvm_lsyms_new(int isswarm, veskdarray_t syms) {
  veskvm_lsyms_t ls = static_cast<veskvm_lsyms_t>(malloc(sizeof(struct veskvm_lsyms_s)));
  if (!ls) vesk_fatal("[FATAL] Can't allocate a call frame.\n");
  ls->syms = syms;
  ls->isswarm = isswarm;
  return ls;
}

/* Slots of recycled records are nulled before removal, hence the checks. */
void veskvm_lsyms_destroy(uint32_t, void *data, void *) {
  veskvm_lsyms_t ls = *static_cast<veskvm_lsyms_t *>(data);
  if (!ls) return;
  veskdarray_destroy(&ls->syms);
  free(ls);
}

void veskvm_darray_destroy(uint32_t, void *data, void *) {
  veskdarray_t da = *static_cast<veskdarray_t *>(data);
  if (da) veskdarray_destroy(&da);
}

/****************************************/
/* Errors and dump                      */
/****************************************/

void veskvm_seterror(veskvm_t vm, int errcode, const char *fmt, ...) {
  vm->state = VESKVM_STATE_ERROR;
  vm->error = errcode;
  free(vm->errormsg);
  const char *text = (errcode >= 0 && errcode <= VESKVM_ERROR_SWARM)
                         ? veskvm_error_desc[errcode]
                         : "unknown error";
  std::string msg(text);
  if (fmt) {
    va_list ap, ap2;
    va_start(ap, fmt);
    va_copy(ap2, ap);
    int n = vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string detail(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) vsnprintf(detail.data(), detail.size() + 1, fmt, ap2);
    va_end(ap2);
    msg += ": " + detail;
  }
  vm->errormsg = strdup(msg.c_str());
}

const char *veskvm_strerror(veskvm_t vm) {
  if (vm->state != VESKVM_STATE_ERROR) return "No error";
  return vm->errormsg ? vm->errormsg : veskvm_error_desc[VESKVM_ERROR_NONE];
}

int32_t veskvm_error_offset(veskvm_t vm) {
  return vm->oldpc;
}

void veskvm_dump_stack(FILE *out, veskdarray_t stack) {
  for (long i = static_cast<long>(veskdarray_size(stack)) - 1; i >= 0; --i) {
    fprintf(out, "\t%ld\t", i);
    veskobj_print(out, veskdarray_get(stack, i, veskobj_t), VESKOBJ_PRINT_DUMP);
  }
}

void veskvm_dump_to(veskvm_t vm, FILE *out) {
  fputs(VESKVM_DUMP_RULE "\n", out);
  fprintf(out, "state: %d\terror: %d\n", vm->state, vm->error);
  fprintf(out, "code size: %u\tpc: %d\n", vm->bcode_size, vm->pc);
  long size = static_cast<long>(veskdarray_size(vm->stack));
  fprintf(out, "stacks: %ld\tcur elem: %ld (size %ld)\n",
          static_cast<long>(veskdarray_size(vm->stacks)), size, size);
  veskvm_dump_stack(out, vm->stack);
  fputs(VESKVM_DUMP_RULE "\n", out);
  fputs("\n", out);
}

void veskvm_dump(veskvm_t vm) {
  veskvm_dump_to(vm, stderr);
}

/****************************************/
/* Loading and running                  */
/****************************************/

/* Registers the string table at the start of the buffer; returns the offset
   just past it. A truncated last string is taken up to the buffer's end. */
static uint32_t load_strings(veskvm_t vm, const uint8_t *bcode, uint32_t size) {
  if (size < 2) return size;
  uint32_t count = vesk_get_le16(bcode);
  uint32_t off = 2;
  for (uint32_t i = 0; i < count && off < size; ++i) {
    const void *end = memchr(bcode + off, 0, size - off);
    uint32_t len =
        end ? static_cast<uint32_t>(static_cast<const uint8_t *>(end) - (bcode + off))
            : size - off;
    std::string text(reinterpret_cast<const char *>(bcode + off), len);
    veskstrman_register(vm->strings, text.c_str(), 1);
    off += end ? len + 1 : len;
  }
  return off;
}

int veskvm_set_bcode(veskvm_t vm, const uint8_t *bcode, uint32_t bcode_size) {
  uint32_t start = load_strings(vm, bcode, bcode_size);
  vm->state = VESKVM_STATE_READY;
  vm->error = VESKVM_ERROR_NONE;
  free(vm->errormsg);
  vm->errormsg = nullptr;
  vm->bcode_size = bcode_size;
  vm->bcode = bcode;
  veskvm_fused_build(vm, start);
  vm->pc = static_cast<int32_t>(start);
  vm->oldpc = vm->pc;
  /* The prologue binds the script's functions to their globals; it ends at
     the first nop, which the last step executes. A compiled prologue only
     moves forward, so it takes fewer steps than the code has bytes; more
     means malformed bytecode looping before its nop. */
  for (uint32_t steps = 0;; ++steps) {
    if (!veskvm_pc_ok(vm)) return vm->state;
    if (bcode[vm->pc] == VESKVM_INSTR_NOP) break;
    if (steps >= bcode_size) {
      veskvm_seterror(vm, VESKVM_ERROR_PC, "prologue does not reach its nop");
      return vm->state;
    }
    if (veskvm_step(vm) != VESKVM_STATE_READY) return vm->state;
  }
  if (veskvm_step(vm) != VESKVM_STATE_READY) return vm->state;
  veskneighbors_reset(vm);
  veskvm_pushstr(vm, "id", 1);
  veskvm_pushi(vm, vm->robot);
  veskvm_gstore(vm);
  /* Built-in libraries, in this order: table built-ins (veskobj_register),
     virtual stigmergy (veskvstig_register), swarms (veskswarm_register),
     math (veskmath_register), files (veskio_register), strings
     (veskstring_register). Their results are not checked. */
  veskobj_register(vm);
  veskvstig_register(vm);
  veskswarm_register(vm);
  veskmath_register(vm);
  veskio_register(vm);
  veskstring_register(vm);
  return vm->state;
}

int veskvm_execute_script(veskvm_t vm) {
  return veskvm_run(vm, -1);
}

/****************************************/
/* Calls and returns                    */
/****************************************/

uint32_t veskvm_function_register(veskvm_t vm, veskvm_funp fun) {
  for (int64_t i = 0; i < veskdarray_size(vm->flist); ++i)
    if (veskdarray_get(vm->flist, i, veskvm_funp) == fun) return static_cast<uint32_t>(i);
  veskdarray_push(vm->flist, &fun);
  return static_cast<uint32_t>(veskdarray_size(vm->flist) - 1);
}

static veskdarray_t stack_take(veskvm_t vm) {
  if (veskdarray_isempty(vm->freestacks))
    return veskdarray_new(1, sizeof(veskobj_t), nullptr);
  veskdarray_t s = veskdarray_last(vm->freestacks, veskdarray_t);
  vm->freestacks->size--;
  s->size = 0;
  return s;
}

static void stack_give(veskvm_t vm, veskdarray_t s) {
  if (veskdarray_size(vm->freestacks) < FREE_LIST_MAX &&
      s->capacity <= RECYCLED_STACK_MAX_CAP)
    veskvm_array_push(vm->freestacks, s);
  else
    veskdarray_destroy(&s);
}

static veskvm_lsyms_t frame_take(veskvm_t vm, int isswarm) {
  if (veskdarray_isempty(vm->freeframes))
    return veskvm_lsyms_new(isswarm, veskdarray_new(4, sizeof(veskobj_t), nullptr));
  veskvm_lsyms_t f = veskdarray_last(vm->freeframes, veskvm_lsyms_t);
  vm->freeframes->size--;
  f->syms->size = 0;
  f->isswarm = isswarm;
  return f;
}

static void frame_give(veskvm_t vm, veskvm_lsyms_t f) {
  if (veskdarray_size(vm->freeframes) < FREE_LIST_MAX &&
      f->syms->capacity <= RECYCLED_STACK_MAX_CAP) {
    veskvm_array_push(vm->freeframes, f);
  } else {
    veskdarray_destroy(&f->syms);
    free(f);
  }
}

/* Refuses a call that would exceed the frame or nesting limits. */
static bool call_limits_ok(veskvm_t vm, bool native) {
  if (veskdarray_size(vm->lsymts) >= VESKVM_MAX_FRAMES) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "too many nested calls (limit %d)",
                    VESKVM_MAX_FRAMES);
    return false;
  }
  if (native && vm->nesting >= VESKVM_MAX_NESTING) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "too many nested native calls (limit %d)",
                    VESKVM_MAX_NESTING);
    return false;
  }
  return true;
}

/* Frame for closure c with the n arguments on top of the stack. */
static void frame_enter(veskvm_t vm, veskobj_t c, int32_t n, int isswarm) {
  veskvm_lsyms_t f = frame_take(vm, isswarm);
  veskdarray_t ar = c->c.actrec;
  for (int64_t i = 0; i < veskdarray_size(ar); ++i)
    veskvm_handles_push(f->syms, veskdarray_get(ar, i, veskobj_t));
  for (int32_t i = n; i >= 1; --i)
    veskvm_handles_push(f->syms, veskvm_at(vm, i));
  veskvm_array_push(vm->lsymts, f);
  vm->lsyms = f;
}

int veskvm_call(veskvm_t vm, int isswarm) {
  if (!veskvm_need(vm, 1)) return vm->state;
  veskobj_t on = veskvm_at(vm, 1);
  if (!veskobj_isint(on)) return veskvm_type_error(vm, VESKTYPE_INT, on);
  int32_t n = on->i.value;
  veskvm_drop(vm, 1);
  return veskvm_call_n(vm, n, isswarm);
}

bool veskvm_call_fits(veskvm_t vm, int32_t n) {
  if (n < 0 || veskdarray_size(vm->stack) < static_cast<int64_t>(n) + 1) return false;
  veskobj_t c = veskvm_at(vm, static_cast<int64_t>(n) + 1);
  if (!veskobj_isclosure(c)) return false;
  bool native = !c->c.isscript;
  if (native && (c->c.ref < 0 || c->c.ref >= veskdarray_size(vm->flist))) return false;
  return veskdarray_size(vm->lsymts) < VESKVM_MAX_FRAMES &&
         (!native || vm->nesting < VESKVM_MAX_NESTING);
}

int veskvm_call_n(veskvm_t vm, int32_t n, int isswarm) {
  if (n < 0) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "negative argument count %d", n);
    return vm->state;
  }
  if (!veskvm_need(vm, static_cast<uint32_t>(n) + 1)) return vm->state;
  veskobj_t c = veskvm_at(vm, static_cast<int64_t>(n) + 1);
  if (!veskobj_isclosure(c)) return veskvm_type_error(vm, VESKTYPE_CLOSURE, c);
  bool native = !c->c.isscript;
  if (native && (c->c.ref < 0 || c->c.ref >= veskdarray_size(vm->flist))) {
    veskvm_seterror(vm, VESKVM_ERROR_FLIST, nullptr);
    return vm->state;
  }
  if (!call_limits_ok(vm, native)) return vm->state;
  return veskvm_call_enter(vm, n, isswarm);
}

int veskvm_call_enter(veskvm_t vm, int32_t n, int isswarm) {
  veskobj_t c = veskvm_at(vm, static_cast<int64_t>(n) + 1);
  bool native = !c->c.isscript;
  frame_enter(vm, c, n, isswarm);
  veskvm_drop(vm, static_cast<int64_t>(n) + 1);
  veskvm_pushi(vm, vm->pc);
  vm->stack = stack_take(vm);
  veskvm_array_push(vm->stacks, vm->stack);
  if (!native) {
    vm->pc = c->c.ref;
    return vm->state;
  }
  /* A native's own errors point at the instruction that entered it, not at
     whatever its callbacks executed last. */
  int32_t entry = vm->oldpc;
  ++vm->nesting;
  veskdarray_get(vm->flist, c->c.ref, veskvm_funp)(vm);
  --vm->nesting;
  if (vm->state != VESKVM_STATE_ERROR) vm->oldpc = entry;
  return vm->state;
}

/* Leaves the innermost call; with a value, moves the callee's top to the
   caller's stack. A VM in error is never unwound: its stacks show the fault. */
int veskvm_return(veskvm_t vm, bool withvalue) {
  if (vm->state == VESKVM_STATE_ERROR) return vm->state;
  if (veskdarray_isempty(vm->lsymts) || veskdarray_size(vm->stacks) < 2) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "return outside of a function call");
    return vm->state;
  }
  veskobj_t result = nullptr;
  if (withvalue) {
    if (!veskvm_need(vm, 1)) return vm->state;
    result = veskvm_at(vm, 1);
  }
  if (vm->lsyms->isswarm && !veskdarray_isempty(vm->swarmstack))
    veskdarray_pop(vm->swarmstack);
  /* Slots are emptied before the size shrinks so that the arrays' destroy
     callbacks never see a record that has gone back to the free list. */
  veskvm_lsyms_t f = veskdarray_last(vm->lsymts, veskvm_lsyms_t);
  veskdarray_last(vm->lsymts, veskvm_lsyms_t) = nullptr;
  vm->lsymts->size--;
  frame_give(vm, f);
  vm->lsyms = veskdarray_isempty(vm->lsymts)
                  ? nullptr
                  : veskdarray_last(vm->lsymts, veskvm_lsyms_t);
  veskdarray_last(vm->stacks, veskdarray_t) = nullptr;
  vm->stacks->size--;
  stack_give(vm, vm->stack);
  vm->stack = veskdarray_last(vm->stacks, veskdarray_t);
  if (!veskvm_need(vm, 1)) return vm->state;
  veskobj_t ra = veskvm_at(vm, 1);
  if (!veskobj_isint(ra)) return veskvm_type_error(vm, VESKTYPE_INT, ra);
  vm->pc = ra->i.value;
  veskvm_drop(vm, 1);
  if (result) veskvm_push(vm, result);
  return vm->state;
}

int veskvm_ret0(veskvm_t vm) {
  return veskvm_return(vm, false);
}
int veskvm_ret1(veskvm_t vm) {
  return veskvm_return(vm, true);
}

int veskvm_closure_call_ext(veskvm_t vm, uint32_t argc, int isswarm) {
  if (vm->state != VESKVM_STATE_READY) return vm->state;
  if (argc > INT32_MAX) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "stack idx %u out of bounds", argc);
    return vm->state;
  }
  veskvm_pushi(vm, static_cast<int32_t>(argc));
  int64_t depth = veskdarray_size(vm->stacks);
  int32_t entry = vm->oldpc;
  veskvm_call(vm, isswarm);
  veskvm_run(vm, depth);
  if (vm->state != VESKVM_STATE_ERROR) vm->oldpc = entry;
  return vm->state;
}

int veskvm_closure_call(veskvm_t vm, uint32_t argc) {
  return veskvm_closure_call_ext(vm, argc, 0);
}

int veskvm_function_call(veskvm_t vm, const char *fname, uint32_t argc) {
  if (vm->state == VESKVM_STATE_DONE) vm->state = VESKVM_STATE_READY;
  if (vm->state != VESKVM_STATE_READY) return vm->state;
  vm->oldpc = -1; /* no instruction is running */
  if (veskvm_pushstr(vm, fname, 0) != VESKVM_STATE_READY) return vm->state;
  if (veskvm_gload(vm) != VESKVM_STATE_READY) return vm->state;
  veskobj_t c = veskvm_at(vm, 1);
  if (!veskobj_isclosure(c)) return veskvm_type_error(vm, VESKTYPE_CLOSURE, c);
  if (argc > 0) {
    if (!veskvm_need(vm, argc + 1)) return vm->state;
    veskobj_t *base =
        &veskdarray_get(vm->stack, veskdarray_size(vm->stack) - argc - 1, veskobj_t);
    memmove(base + 1, base, argc * sizeof(veskobj_t));
    base[0] = c;
  }
  return veskvm_closure_call(vm, argc);
}

/****************************************/
/* Stack API                            */
/****************************************/

int veskvm_push(veskvm_t vm, veskobj_t o) {
  veskvm_handles_push(vm->stack, o);
  return vm->state;
}

int veskvm_pushnil(veskvm_t vm) {
  return veskvm_push(vm, veskvm_newobj(vm, VESKTYPE_NIL));
}

int veskvm_pushi(veskvm_t vm, int32_t v) {
  veskobj_t o = veskvm_newobj(vm, VESKTYPE_INT);
  o->i.value = v;
  return veskvm_push(vm, o);
}

int veskvm_pushf(veskvm_t vm, float v) {
  veskobj_t o = veskvm_newobj(vm, VESKTYPE_FLOAT);
  o->f.value = v;
  return veskvm_push(vm, o);
}

int veskvm_pushu(veskvm_t vm, void *v) {
  veskobj_t o = veskvm_newobj(vm, VESKTYPE_USERDATA);
  o->u.value = v;
  return veskvm_push(vm, o);
}

static int push_string(veskvm_t vm, uint16_t strid, const char *text) {
  veskobj_t o = veskvm_newobj(vm, VESKTYPE_STRING);
  o->s.id = strid;
  o->s.str = text;
  return veskvm_push(vm, o);
}

int veskvm_pushs(veskvm_t vm, uint16_t strid) {
  const char *text = veskstrman_get(vm->strings, strid);
  if (!text) {
    veskvm_seterror(vm, VESKVM_ERROR_STRING, "id read = %u", strid);
    return vm->state;
  }
  return push_string(vm, strid, text);
}

/* New closure whose activation record holds self = nil. */
static veskobj_t closure_new(veskvm_t vm, int32_t ref, int isscript) {
  veskobj_t c = veskvm_newobj(vm, VESKTYPE_CLOSURE);
  c->c.ref = ref;
  c->c.isscript = isscript ? 1 : 0;
  veskobj_t self = veskvm_newobj(vm, VESKTYPE_NIL);
  veskdarray_push(c->c.actrec, &self);
  return c;
}

int veskvm_pushc(veskvm_t vm, int32_t ref, int isscript) {
  return veskvm_push(vm, closure_new(vm, ref, isscript));
}

int veskvm_pushl(veskvm_t vm, int32_t addr) {
  if (!vm->lsyms) return veskvm_pushc(vm, addr, 1);
  veskobj_t c = veskvm_newobj(vm, VESKTYPE_CLOSURE);
  c->c.ref = addr;
  c->c.isscript = 1;
  veskdarray_destroy(&c->c.actrec);
  c->c.actrec = veskdarray_clone(vm->lsyms->syms);
  return veskvm_push(vm, c);
}

int veskvm_pop(veskvm_t vm) {
  if (veskdarray_isempty(vm->stack)) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "empty stack");
    return vm->state;
  }
  veskvm_drop(vm, 1);
  return vm->state;
}

int veskvm_dup(veskvm_t vm) {
  if (veskdarray_isempty(vm->stack)) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "empty stack");
    return vm->state;
  }
  return veskvm_push(vm, veskvm_at(vm, 1));
}

/****************************************/
/* Helpers for natives and hosts        */
/****************************************/

uint16_t veskvm_string_register(veskvm_t vm, const char *str, int protect) {
  return veskstrman_register(vm->strings, str, protect);
}

const char *veskvm_string_get(veskvm_t vm, uint16_t id) {
  return veskstrman_get(vm->strings, id);
}

int veskvm_pushstr(veskvm_t vm, const char *str, int protect) {
  const char *text;
  uint16_t id = veskstrman_intern(vm->strings, str, protect, &text);
  if (!text) {
    veskvm_seterror(vm, VESKVM_ERROR_STRING, "no string id left for '%s'", str);
    return vm->state;
  }
  return push_string(vm, id, text);
}

veskobj_t veskvm_stack_at(veskvm_t vm, int64_t idx) {
  if (idx < 1 || idx > veskdarray_size(vm->stack)) return nullptr;
  return veskvm_at(vm, idx);
}

int64_t veskvm_stack_size(veskvm_t vm) {
  return veskdarray_size(vm->stack);
}

int64_t veskvm_lnum(veskvm_t vm) {
  return vm->lsyms ? veskdarray_size(vm->lsyms->syms) - 1 : 0;
}

veskobj_t veskvm_lsym(veskvm_t vm, uint32_t idx) {
  if (!vm->lsyms || idx >= veskdarray_size(vm->lsyms->syms)) return nullptr;
  return veskdarray_get(vm->lsyms->syms, idx, veskobj_t);
}

int veskvm_lnum_assert(veskvm_t vm, int64_t expected) {
  int64_t got = veskvm_lnum(vm);
  if (got != expected)
    veskvm_seterror(vm, VESKVM_ERROR_LNUM, "expected %d parameters, got %ld",
                    static_cast<int>(expected), static_cast<long>(got));
  return vm->state;
}

int veskvm_type_assert(veskvm_t vm, int64_t idx, uint16_t type) {
  veskobj_t o = veskvm_stack_at(vm, idx);
  if (!o) {
    veskvm_seterror(vm, VESKVM_ERROR_STACK, "stack idx %u out of bounds",
                    static_cast<unsigned>(idx));
    return vm->state;
  }
  if (veskobj_type(o) != type) return veskvm_type_error(vm, type, o);
  return vm->state;
}

int veskvm_type_error(veskvm_t vm, uint16_t expected, veskobj_t got) {
  veskvm_seterror(vm, VESKVM_ERROR_TYPE, "expected %s, got %s", vesktype_desc[expected],
                  vesktype_desc[veskobj_type(got)]);
  return vm->state;
}

/****************************************/
/* Argument checks of native functions  */
/****************************************/

int veskvm_checknargs(veskvm_t vm, int64_t expected) {
  return veskvm_lnum_assert(vm, expected) == VESKVM_STATE_READY;
}

int veskvm_checkminargs(veskvm_t vm, int64_t min) {
  int64_t got = veskvm_lnum(vm);
  if (got >= min) return 1;
  veskvm_seterror(vm, VESKVM_ERROR_LNUM, "expected at least %d parameters, got %ld",
                  static_cast<int>(min), static_cast<long>(got));
  return 0;
}

veskobj_t veskvm_checkarg(veskvm_t vm, uint32_t i) {
  if (veskvm_lload(vm, i) != VESKVM_STATE_READY) return nullptr;
  return veskvm_stack_at(vm, 1);
}

veskobj_t veskvm_checktype(veskvm_t vm, uint32_t i, uint16_t type) {
  veskobj_t o = veskvm_checkarg(vm, i);
  if (!o || veskvm_type_assert(vm, 1, type) != VESKVM_STATE_READY) return nullptr;
  return o;
}

int veskvm_checkint(veskvm_t vm, uint32_t i, int32_t *out) {
  veskobj_t o = veskvm_checktype(vm, i, VESKTYPE_INT);
  if (o) *out = o->i.value;
  return o != nullptr;
}

const char *veskvm_checkstring(veskvm_t vm, uint32_t i) {
  veskobj_t o = veskvm_checktype(vm, i, VESKTYPE_STRING);
  return o ? o->s.str : nullptr;
}

veskobj_t veskvm_checktable(veskvm_t vm, uint32_t i) {
  return veskvm_checktype(vm, i, VESKTYPE_TABLE);
}

veskobj_t veskvm_checkclosure(veskvm_t vm, uint32_t i) {
  return veskvm_checktype(vm, i, VESKTYPE_CLOSURE);
}

veskobj_t veskvm_checklsym(veskvm_t vm, uint32_t i, uint16_t type) {
  veskobj_t o = veskvm_lsym(vm, i);
  if (veskobj_type(o) == type) return o;
  veskvm_type_error(vm, type, o);
  return nullptr;
}

int veskvm_register_global_function(veskvm_t vm, const char *name, veskvm_funp fun) {
  veskvm_pushstr(vm, name, 1);
  veskvm_pushc(vm, static_cast<int32_t>(veskvm_function_register(vm, fun)), 0);
  return veskvm_gstore(vm);
}

/* Stores what tput would make of a new closure of fun: the method whose self
   is the table. The closure itself would be garbage at once, so it is not
   made; hosts build tables of natives every control step. */
int veskvm_table_put_function(veskvm_t vm, const char *key, veskvm_funp fun) {
  if (veskvm_type_assert(vm, 1, VESKTYPE_TABLE) != VESKVM_STATE_READY) return vm->state;
  veskobj_t t = veskvm_stack_at(vm, 1);
  if (veskvm_pushstr(vm, key, 1) != VESKVM_STATE_READY) return vm->state;
  veskobj_t k = veskvm_stack_at(vm, 1);
  int32_t ref = static_cast<int32_t>(veskvm_function_register(vm, fun));
  veskobj_t m = veskvm_method(vm, t, ref, 0, nullptr);
  veskdict_set(t->t.value, &k, &m);
  return veskvm_pop(vm);
}
