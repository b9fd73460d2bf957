/*
 * The Vesk virtual machine: one per robot. Holds the loaded bytecode, the
 * operand stacks and call frames, globals, strings, heap, native functions
 * and the swarm-communication state, and executes one instruction per step.
 */
#ifndef VESKVM_H
#define VESKVM_H

#include <stdint.h>
#include <stdio.h>
#include "veskheap.h"
#include "veskstrman.h"

VESK_BEGIN_DECLS

/* VM states, texts in veskvm_state_desc. */
typedef enum {
  VESKVM_STATE_NOCODE = 0,
  VESKVM_STATE_READY,
  VESKVM_STATE_DONE,
  VESKVM_STATE_ERROR,
  VESKVM_STATE_STOPPED
} veskvm_state;

/* VM error codes, texts in veskvm_error_desc. */
typedef enum {
  VESKVM_ERROR_NONE = 0,
  VESKVM_ERROR_INSTR,  /* unknown instruction */
  VESKVM_ERROR_STACK,  /* stack error */
  VESKVM_ERROR_LNUM,   /* wrong number of local variables */
  VESKVM_ERROR_PC,     /* pc out of range */
  VESKVM_ERROR_FLIST,  /* function id out of range */
  VESKVM_ERROR_TYPE,   /* type mismatch */
  VESKVM_ERROR_STRING, /* unknown string id */
  VESKVM_ERROR_SWARM   /* unknown swarm id */
} veskvm_error;

/* Opcodes, mnemonics in veskvm_instr_desc. 30 and above carry a 4-byte argument. */
typedef enum {
  VESKVM_INSTR_NOP = 0,
  VESKVM_INSTR_DONE,
  VESKVM_INSTR_PUSHNIL,
  VESKVM_INSTR_DUP,
  VESKVM_INSTR_POP,
  VESKVM_INSTR_RET0,
  VESKVM_INSTR_RET1,
  VESKVM_INSTR_ADD,
  VESKVM_INSTR_SUB,
  VESKVM_INSTR_MUL,
  VESKVM_INSTR_DIV,
  VESKVM_INSTR_MOD,
  VESKVM_INSTR_POW,
  VESKVM_INSTR_UNM,
  VESKVM_INSTR_AND,
  VESKVM_INSTR_OR,
  VESKVM_INSTR_NOT,
  VESKVM_INSTR_EQ,
  VESKVM_INSTR_NEQ,
  VESKVM_INSTR_GT,
  VESKVM_INSTR_GTE,
  VESKVM_INSTR_LT,
  VESKVM_INSTR_LTE,
  VESKVM_INSTR_GLOAD,
  VESKVM_INSTR_GSTORE,
  VESKVM_INSTR_PUSHT,
  VESKVM_INSTR_TPUT,
  VESKVM_INSTR_TGET,
  VESKVM_INSTR_CALLC,
  VESKVM_INSTR_CALLS,
  VESKVM_INSTR_PUSHF = 30,
  VESKVM_INSTR_PUSHI,
  VESKVM_INSTR_PUSHS,
  VESKVM_INSTR_PUSHCN,
  VESKVM_INSTR_PUSHCC,
  VESKVM_INSTR_PUSHL,
  VESKVM_INSTR_LLOAD,
  VESKVM_INSTR_LSTORE,
  VESKVM_INSTR_JUMP,
  VESKVM_INSTR_JUMPZ,
  VESKVM_INSTR_JUMPNZ
} veskvm_instr;
#define VESKVM_INSTR_ARGFIRST VESKVM_INSTR_PUSHF
#define VESKVM_INSTR_LAST VESKVM_INSTR_JUMPNZ

VESK_API extern const char *veskvm_state_desc[];
VESK_API extern const char *veskvm_error_desc[];
VESK_API extern const char *veskvm_instr_desc[];

#define SWARM_BROADCAST_PERIOD 10

/* Limits that keep runaway scripts from exhausting memory or the C stack:
   active calls, native functions nested through callbacks (each nesting is C
   recursion), and local symbols of one call. Exceeding one is a VM error. */
#define VESKVM_MAX_FRAMES 10000
#define VESKVM_MAX_NESTING 1000
#define VESKVM_MAX_LSYMS 65536

/* Frame of one active call: self, captured symbols, arguments, locals. */
struct veskvm_lsyms_s {
  veskdarray_t syms;
  int isswarm; /* entered through calls */
};
typedef struct veskvm_lsyms_s *veskvm_lsyms_t;

struct veskoutmsg_queue_s;
typedef struct veskoutmsg_queue_s *veskoutmsg_queue_t;

struct veskvm_s {
  const uint8_t *bcode; /* loaded bytecode, not owned */
  uint32_t bcode_size;
  int32_t pc;           /* offset of the next instruction */
  veskdarray_t stack;   /* current operand stack (top of stacks) */
  veskdarray_t stacks;  /* one operand stack per active call */
  veskvm_lsyms_t lsyms; /* innermost frame, null at top level */
  veskdarray_t lsymts;  /* frames of all active calls */
  veskdict_t gsyms;     /* string id (int32) -> object */
  veskstrman_t strings;
  veskheap_t heap;
  veskdarray_t flist;      /* native functions, index = function id */
  veskdict_t swarms;       /* swarm id -> membership flag (uint8) */
  veskdarray_t swarmstack; /* swarms whose code is running */
  veskdict_t swarmmembers; /* robot id -> member record */
  uint16_t swarmbroadcast; /* countdown to the next swarm list */
  veskdarray_t inmsgs;     /* inbound payloads, sorted by kind */
  veskoutmsg_queue_t outmsgs;
  veskdict_t vstigs;    /* stigmergy id -> stigmergy */
  veskdict_t listeners; /* topic string id -> closure */
  int32_t state;
  int32_t error;
  char *errormsg;
  uint16_t robot;
  void *rngstate;
  int32_t rngidx;
  /* Offset of the instruction being executed: errors are reported here. */
  int32_t oldpc;
  /* Operand stacks and frame records of finished calls, reused by new calls. */
  veskdarray_t freestacks;
  veskdarray_t freeframes;
  uint32_t nesting; /* native functions currently running */
  /* Called before each instruction of the run loops while set (debuggers). */
  void (*hook)(struct veskvm_s *vm, void *data);
  void *hookdata;
  /* What the run loops know of the loaded bytecode beyond its bytes: which
     instruction sequences they may execute as one (internal, per VM). */
  struct veskvm_fused_s *fused;
};
typedef struct veskvm_s *veskvm_t;

/* A native function: reads its arguments as local symbols, returns the state. */
typedef int (*veskvm_funp)(veskvm_t vm);

VESK_API veskvm_t veskvm_new(uint16_t robot);
VESK_API void veskvm_destroy(veskvm_t *vm);
VESK_API int veskvm_set_bcode(veskvm_t vm, const uint8_t *bcode, uint32_t bcode_size);
VESK_API int veskvm_step(veskvm_t vm);
/*
 * A function called before every instruction that the run loops execute
 * (veskvm_execute_script, closure and function calls, natives' callbacks),
 * with the VM ready and pc at the instruction. A debugger stops the program
 * by not returning until its user resumes it; it may end the run by setting
 * an error. veskvm_step does not call it. Null removes it.
 */
typedef void (*veskvm_hook_t)(veskvm_t vm, void *data);
VESK_API void veskvm_sethook(veskvm_t vm, veskvm_hook_t hook, void *data);
VESK_API int veskvm_execute_script(veskvm_t vm);
VESK_API void veskvm_seterror(veskvm_t vm, int errcode, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));
VESK_API const char *veskvm_strerror(veskvm_t vm);
VESK_API void veskvm_dump(veskvm_t vm);
/* The same dump written to out. */
VESK_API void veskvm_dump_to(veskvm_t vm, FILE *out);
/* The line that opens and closes the dumps of the VM and of the debugger. */
#define VESKVM_DUMP_RULE "============================================================"
/* Lists an operand stack as the dumps do: top first, one line per element,
   a tab, its position, a tab and the value as veskobj_print's dump style. */
VESK_API void veskvm_dump_stack(FILE *out, veskdarray_t stack);
/*
 * Offset of the instruction that raised the current error (or is running).
 * An error raised by a native function points at the callc/calls that entered
 * it, one raised inside a callback at the failing instruction of the callback.
 * -1 when the error was raised by a host call outside any instruction (e.g.
 * veskvm_function_call of an undefined name).
 */
VESK_API int32_t veskvm_error_offset(veskvm_t vm);

VESK_API uint32_t veskvm_function_register(veskvm_t vm, veskvm_funp fun);
VESK_API int veskvm_call(veskvm_t vm, int isswarm);
/* Runs the closure below the argc arguments on the stack until it returns;
   a result is left on top of the current stack. */
VESK_API int veskvm_closure_call(veskvm_t vm, uint32_t argc);
/* The same, entering the call as a swarm call when isswarm is non-zero. */
VESK_API int veskvm_closure_call_ext(veskvm_t vm, uint32_t argc, int isswarm);
/*
 * Calls a global script function with the argc arguments already pushed.
 * A value the function returns stays on top of the current stack: the host
 * pops it (veskvm_pop) if it does not want it there.
 */
VESK_API int veskvm_function_call(veskvm_t vm, const char *fname, uint32_t argc);
VESK_API int veskvm_ret0(veskvm_t vm);
VESK_API int veskvm_ret1(veskvm_t vm);

VESK_API int veskvm_push(veskvm_t vm, veskobj_t o);
VESK_API int veskvm_pushnil(veskvm_t vm);
VESK_API int veskvm_pushi(veskvm_t vm, int32_t v);
VESK_API int veskvm_pushf(veskvm_t vm, float v);
VESK_API int veskvm_pushu(veskvm_t vm, void *v);
VESK_API int veskvm_pushs(veskvm_t vm, uint16_t strid);
VESK_API int veskvm_pushc(veskvm_t vm, int32_t ref, int isscript);
VESK_API int veskvm_pushl(veskvm_t vm, int32_t addr);
VESK_API int veskvm_pop(veskvm_t vm);
VESK_API int veskvm_dup(veskvm_t vm);
VESK_API int veskvm_tput(veskvm_t vm);
VESK_API int veskvm_tget(veskvm_t vm);
VESK_API int veskvm_gload(veskvm_t vm);
VESK_API int veskvm_gstore(veskvm_t vm);

VESK_API veskvm_lsyms_t veskvm_lsyms_new(int isswarm, veskdarray_t syms);
VESK_API void veskvm_lsyms_destroy(uint32_t pos, void *data, void *params);
VESK_API void veskvm_darray_destroy(uint32_t pos, void *data, void *params);
VESK_API void veskvm_vstig_destroy(const void *key, void *data, void *params);

/*
 * Helpers for native functions and hosts.
 */
/* Registers a string in the VM (protect: never collected) and returns its id. */
VESK_API uint16_t veskvm_string_register(veskvm_t vm, const char *str, int protect);
/* Text of a string id, or null. */
VESK_API const char *veskvm_string_get(veskvm_t vm, uint16_t id);
/* Registers a text and pushes it as a string object. */
VESK_API int veskvm_pushstr(veskvm_t vm, const char *str, int protect);
/* Object at position idx from the top of the current stack (1 = top), or null. */
VESK_API veskobj_t veskvm_stack_at(veskvm_t vm, int64_t idx);
/* Number of elements on the current stack. */
VESK_API int64_t veskvm_stack_size(veskvm_t vm);
/* Number of arguments of the current native call (local symbols minus self). */
VESK_API int64_t veskvm_lnum(veskvm_t vm);
/* Pushes local symbol idx of the current call (0 is self). */
VESK_API int veskvm_lload(veskvm_t vm, uint32_t idx);
/* Local symbol idx of the current call (0 is self), or null if there is none. */
VESK_API veskobj_t veskvm_lsym(veskvm_t vm, uint32_t idx);
/* Checks a native's argument count: error 3 with the standard message on mismatch. */
VESK_API int veskvm_lnum_assert(veskvm_t vm, int64_t expected);
/* Checks the type of the stack element idx (1 = top): error 6 on mismatch. */
VESK_API int veskvm_type_assert(veskvm_t vm, int64_t idx, uint16_t type);
/* Raises "type mismatch" with "expected <type>, got <type of got>"; returns the state. */
VESK_API int veskvm_type_error(veskvm_t vm, uint16_t expected, veskobj_t got);
/*
 * Argument checks for native functions, one per kind of argument. Argument i
 * is local symbol i of the running call (1 = the first, 0 = self). A check
 * pushes the argument on the current stack, where the native reads it and
 * where it stays until the native returns; when the argument does not fit, the
 * check raises the VM error and returns 0 or null, and the native returns
 * vm->state. Count the arguments first: a missing one is a stack error.
 */
/* 1 when the call has exactly expected arguments, else error 3 as
   veskvm_lnum_assert raises it and 0. */
VESK_API int veskvm_checknargs(veskvm_t vm, int64_t expected);
/* 1 when the call has at least min arguments, else error 3 "expected at least
   <min> parameters, got <count>" and 0. */
VESK_API int veskvm_checkminargs(veskvm_t vm, int64_t min);
/* Pushes argument i, of any type, and returns it. */
VESK_API veskobj_t veskvm_checkarg(veskvm_t vm, uint32_t i);
/* Pushes argument i and returns it when it has the given type, else error 6
   ("expected <type>, got <type>") and null. */
VESK_API veskobj_t veskvm_checktype(veskvm_t vm, uint32_t i, uint16_t type);
/* veskvm_checktype for an integer, whose value goes to *out; 1 or 0. */
VESK_API int veskvm_checkint(veskvm_t vm, uint32_t i, int32_t *out);
/* veskvm_checktype for a string; returns its text. */
VESK_API const char *veskvm_checkstring(veskvm_t vm, uint32_t i);
/* veskvm_checktype for a table. */
VESK_API veskobj_t veskvm_checktable(veskvm_t vm, uint32_t i);
/* veskvm_checktype for a closure. */
VESK_API veskobj_t veskvm_checkclosure(veskvm_t vm, uint32_t i);
/* The same check as veskvm_checktype without pushing: for natives that keep
   their stack for what their callbacks leave there. */
VESK_API veskobj_t veskvm_checklsym(veskvm_t vm, uint32_t i, uint16_t type);
/* Registers fun under a global name (protected string). */
VESK_API int veskvm_register_global_function(veskvm_t vm, const char *name,
                                             veskvm_funp fun);
/* Puts a native function into the table at stack position 1 (the top) under key. */
VESK_API int veskvm_table_put_function(veskvm_t vm, const char *key, veskvm_funp fun);

VESK_END_DECLS

#endif
