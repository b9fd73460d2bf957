/*
 * Debug information: the offset <-> source position maps filled by the
 * assembler or read from a .vdb file, breakpoints and the helpers that run a
 * VM up to them, and the VM dump shown by the runner's trace.
 */
#include "veskdebug.h"
#include "veskasm.h"
#include "veskbytes.h"
#include "veskfatal.h"

#include <stdlib.h>
#include <string.h>

#include <utility>
#include <vector>

#define DEBUG_BUCKETS 100
#define BREAKPOINTS_CAP 5
#define NAMEBUF_START 100

/****************************************/
/* Entries and dictionary callbacks      */
/****************************************/

veskdebug_entry_t veskdebug_entry_new(uint64_t line, uint64_t col, const char *fname) {
  veskdebug_entry_t e = (veskdebug_entry_t)malloc(sizeof(*e));
  char *name = strdup(fname ? fname : "");
  if (!e || !name) vesk_fatal("[FATAL] Can't allocate debug entry.\n");
  e->line = line;
  e->col = col;
  e->fname = name;
  return e;
}

void veskdebug_entry_destroy(veskdebug_entry_t *e) {
  if (!e || !*e) return;
  free((*e)->fname);
  free(*e);
  *e = nullptr;
}

/* Writes ":" and the decimal digits of n at p; returns the end. */
static char *put_number(char *p, uint64_t n) {
  char digits[20];
  int len = 0;
  do {
    digits[len++] = (char)('0' + n % 10);
    n /= 10;
  } while (n);
  *p++ = ':';
  while (len > 0)
    *p++ = digits[--len];
  return p;
}

/* The string-key hash of the text "fname:line:col". The text is built by
   hand, on the stack when it fits: a large program hashes a million of them
   while it is assembled, and formatting each through printf dominated. */
uint32_t veskdebug_entryhash(const void *key) {
  const veskdebug_entry_t e = *(const veskdebug_entry_t *)key;
  size_t len = strlen(e->fname);
  char local[256];
  /* two separators, two 20-digit numbers, the terminator */
  size_t need = len + 2 + 2 * 20 + 1;
  char *text = need <= sizeof local ? local : (char *)malloc(need);
  if (!text) vesk_fatal("[FATAL] Can't allocate debug entry text.\n");
  memcpy(text, e->fname, len);
  char *end = put_number(put_number(text + len, e->line), e->col);
  *end = '\0';
  uint32_t h = veskdict_strkeyhash(&text);
  if (text != local) free(text);
  return h;
}

static int compare_unsigned(uint64_t a, uint64_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int veskdebug_entrycmp(const void *a, const void *b) {
  const veskdebug_entry_t ea = *(const veskdebug_entry_t *)a;
  const veskdebug_entry_t eb = *(const veskdebug_entry_t *)b;
  int c = strcmp(ea->fname, eb->fname);
  if (c) return c;
  c = compare_unsigned(ea->line, eb->line);
  return c ? c : compare_unsigned(ea->col, eb->col);
}

void veskdebug_off2script_destroyf(const void *key, void *data, void *params) {
  (void)params;
  veskdebug_entry_destroy((veskdebug_entry_t *)data);
  free((void *)key);
  free(data);
}

void veskdebug_script2off_destroyf(const void *key, void *data, void *params) {
  (void)params;
  veskdebug_entry_destroy((veskdebug_entry_t *)key);
  free((void *)key);
  free(data);
}

static int offset_compare(const void *a, const void *b) {
  int32_t x = *(const int32_t *)a, y = *(const int32_t *)b;
  return x < y ? -1 : (x > y ? 1 : 0);
}

/****************************************/
/* Debug object                          */
/****************************************/

/* Index class of source positions: equal positions have equal file names,
   lines and columns, hence equal hashes (and the text hash is costly). */
static uint32_t entry_class(const void *key, uint32_t *hash) {
  const veskdebug_entry_t e = *(const veskdebug_entry_t *)key;
  uint32_t h = veskdict_strkeyhash(&e->fname);
  h = h * 0x01000193u ^ (uint32_t)e->line;
  *hash = h * 0x01000193u ^ (uint32_t)e->col;
  return 1;
}

veskdebug_t veskdebug_new(void) {
  veskdebug_t dbg = (veskdebug_t)malloc(sizeof(*dbg));
  if (!dbg) vesk_fatal("[FATAL] Can't allocate debug information.\n");
  dbg->off2script = veskdict_new(DEBUG_BUCKETS, sizeof(uint32_t),
                                 sizeof(veskdebug_entry_t), veskdict_uint32keyhash,
                                 veskdict_uint32keycmp, veskdebug_off2script_destroyf);
  dbg->script2off = veskdict_new(DEBUG_BUCKETS, sizeof(veskdebug_entry_t),
                                 sizeof(uint32_t), veskdebug_entryhash,
                                 veskdebug_entrycmp, veskdebug_script2off_destroyf);
  veskdict_set_keyclass(dbg->script2off, entry_class);
  dbg->breakpoints = veskdarray_new(BREAKPOINTS_CAP, sizeof(int32_t), nullptr);
  return dbg;
}

void veskdebug_destroy(veskdebug_t *dbg) {
  if (!dbg || !*dbg) return;
  veskdarray_destroy(&(*dbg)->breakpoints);
  veskdict_destroy(&(*dbg)->off2script);
  veskdict_destroy(&(*dbg)->script2off);
  free(*dbg);
  *dbg = nullptr;
}

void veskdebug_info_set(veskdebug_t dbg, uint32_t offset, uint64_t line, uint64_t col,
                        const char *fname) {
  veskdebug_entry_t e = veskdebug_entry_new(line, col, fname);
  veskdict_set(dbg->off2script, &offset, &e);
  /* A position keeps the lowest offset ever recorded for it. */
  uint32_t *known = veskdict_get(dbg->script2off, &e, uint32_t);
  if (known && (int32_t)*known <= (int32_t)offset) return;
  veskdebug_entry_t e2 = veskdebug_entry_new(line, col, fname);
  /* A new position needs no second search. */
  if (known)
    veskdict_set(dbg->script2off, &e2, &offset);
  else
    veskdict_append(dbg->script2off, &e2, &offset);
}

uint32_t *veskdebug_info_get_fromscript(veskdebug_t dbg, uint64_t line, uint64_t col,
                                        const char *fname) {
  struct veskdebug_entry_s probe = {line, col, (char *)(fname ? fname : "")};
  veskdebug_entry_t key = &probe;
  return veskdict_get(dbg->script2off, &key, uint32_t);
}

veskdebug_entry_t veskdebug_info_get_fromoffset(veskdebug_t dbg, uint32_t offset) {
  if (!dbg) return nullptr;
  veskdebug_entry_t *e = veskdict_get(dbg->off2script, &offset, veskdebug_entry_t);
  return e ? *e : nullptr;
}

/****************************************/
/* The .vdb file                         */
/****************************************/

/* Record header: offset (4), line (8), column (8), name length (2). */
#define RECORD_HEADER 22

int veskdebug_fromfile(veskdebug_t dbg, const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f) return 0;
  size_t cap = NAMEBUF_START;
  char *name = (char *)malloc(cap);
  uint8_t hdr[RECORD_HEADER];
  while (name && fread(hdr, 1, RECORD_HEADER, f) == RECORD_HEADER) {
    size_t len = (size_t)vesk_get_le(hdr + 20, 2);
    if (len + 1 > cap) {
      char *bigger = (char *)realloc(name, len + 1);
      if (!bigger) break;
      name = bigger;
      cap = len + 1;
    }
    /* A record cut inside its name is dropped silently. */
    if (fread(name, 1, len, f) != len) break;
    name[len] = '\0';
    veskdebug_info_set(dbg, (uint32_t)vesk_get_le(hdr, 4), vesk_get_le(hdr + 4, 8),
                       vesk_get_le(hdr + 12, 8), name);
  }
  int ok = name != nullptr && !ferror(f);
  free(name);
  fclose(f);
  return ok;
}

void veskdebug_entry_dump(const void *key, void *data, void *params) {
  struct veskdebug_writer_s *w = (struct veskdebug_writer_s *)params;
  if (!w->ok) return;
  const veskdebug_entry_t e = *(const veskdebug_entry_t *)data;
  size_t len = strlen(e->fname);
  /* A name longer than the 16-bit length field is cut to fit. */
  if (len > UINT16_MAX) len = UINT16_MAX;
  uint8_t hdr[RECORD_HEADER];
  vesk_put_le(hdr, *(const uint32_t *)key, 4);
  vesk_put_le(hdr + 4, e->line, 8);
  vesk_put_le(hdr + 12, e->col, 8);
  vesk_put_le(hdr + 20, len, 2);
  if (fwrite(hdr, 1, RECORD_HEADER, w->out) != RECORD_HEADER ||
      fwrite(e->fname, 1, len, w->out) != len)
    w->ok = 0;
}

/* The records of a debug object in walking order, offset and entry. */
typedef std::vector<std::pair<uint32_t, veskdebug_entry_t>> Records;

static void collect_record(const void *key, void *data, void *params) {
  static_cast<Records *>(params)->emplace_back(*(const uint32_t *)key,
                                               *(veskdebug_entry_t *)data);
}

int veskdebug_tofile(const char *path, veskdebug_t dbg) {
  FILE *f = fopen(path, "wb");
  if (!f) return 0;
  struct veskdebug_writer_s w = {f, 1};
  /* The entries and their file names are cold in a large program: listing
     the records first lets each be fetched well before it is written. */
  Records records;
  records.reserve(veskdict_size(dbg->off2script));
  veskdict_foreach(dbg->off2script, collect_record, &records);
  const size_t ENTRY_AHEAD = 16, NAME_AHEAD = 8;
  for (size_t i = 0; i < records.size() && w.ok; ++i) {
    if (i + ENTRY_AHEAD < records.size())
      __builtin_prefetch(records[i + ENTRY_AHEAD].second);
    if (i + NAME_AHEAD < records.size())
      __builtin_prefetch(records[i + NAME_AHEAD].second->fname);
    veskdebug_entry_dump(&records[i].first, &records[i].second, &w);
  }
  if (fclose(f) != 0) w.ok = 0;
  return w.ok;
}

/****************************************/
/* Breakpoints and stepping              */
/****************************************/

void veskdebug_breakpoint_set_offset(veskdebug_t dbg, int32_t offset) {
  if (!veskdebug_breakpoint_exists(dbg, offset))
    veskdarray_push(dbg->breakpoints, &offset);
}

void veskdebug_breakpoint_remove_offset(veskdebug_t dbg, int32_t offset) {
  uint32_t at = veskdarray_find(dbg->breakpoints, offset_compare, &offset);
  if (at < veskdarray_size(dbg->breakpoints)) veskdarray_remove(dbg->breakpoints, at);
}

int veskdebug_breakpoint_exists(veskdebug_t dbg, int32_t offset) {
  return veskdarray_find(dbg->breakpoints, offset_compare, &offset) <
         veskdarray_size(dbg->breakpoints);
}

/* A stopped VM resumes; returns the state it can continue from. */
static int resume(veskvm_t vm) {
  if (vm->state == VESKVM_STATE_STOPPED) vm->state = VESKVM_STATE_READY;
  return vm->state;
}

int veskdebug_continue(veskvm_t vm, veskdebug_t dbg) {
  if (resume(vm) != VESKVM_STATE_READY) return vm->state;
  while (!veskdebug_breakpoint_exists(dbg, vm->pc) &&
         veskvm_step(vm) == VESKVM_STATE_READY) {
  }
  if (veskdebug_breakpoint_exists(dbg, vm->pc)) vm->state = VESKVM_STATE_STOPPED;
  return vm->state;
}

int veskdebug_closure_call(veskvm_t vm, uint32_t argc, veskdebug_t dbg) {
  if (resume(vm) != VESKVM_STATE_READY) return vm->state;
  veskvm_pushi(vm, (int32_t)argc);
  int64_t depth = veskdarray_size(vm->stacks);
  if (veskvm_call(vm, 0) != VESKVM_STATE_READY) return vm->state;
  /* A native closure has already returned inside veskvm_call: nothing to step. */
  while (veskdarray_size(vm->stacks) > depth) {
    if (veskdebug_breakpoint_exists(dbg, vm->pc)) vm->state = VESKVM_STATE_STOPPED;
    if (veskvm_step(vm) != VESKVM_STATE_READY) return vm->state;
  }
  return vm->state;
}

int veskdebug_function_call(veskvm_t vm, const char *fname, uint32_t argc,
                            veskdebug_t dbg) {
  if (vm->state == VESKVM_STATE_STOPPED || vm->state == VESKVM_STATE_DONE)
    vm->state = VESKVM_STATE_READY;
  if (vm->state != VESKVM_STATE_READY) return vm->state;
  uint16_t sid = veskstrman_register(vm->strings, fname, 0);
  if (veskvm_pushs(vm, sid) != VESKVM_STATE_READY) return vm->state;
  if (veskvm_gload(vm) != VESKVM_STATE_READY) return vm->state;
  veskobj_t c = veskvm_stack_at(vm, 1);
  if (!veskobj_isclosure(c)) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "expected %s, got %s",
                    vesktype_desc[VESKTYPE_CLOSURE], vesktype_desc[veskobj_type(c)]);
    return vm->state;
  }
  if (argc > 0) {
    if ((int64_t)argc >= veskdarray_size(vm->stack)) {
      veskvm_seterror(vm, VESKVM_ERROR_STACK, "stack idx %u out of bounds", argc + 1);
      return vm->state;
    }
    veskdarray_insert(vm->stack, (uint32_t)(veskdarray_size(vm->stack) - argc - 1), &c);
    veskvm_pop(vm);
  }
  return veskdebug_closure_call(vm, argc, dbg);
}

/****************************************/
/* VM dump                               */
/****************************************/

/* The instruction at the program counter, only when it lies wholly in the code. */
static char *next_instruction(veskvm_t vm) {
  if (!vm->bcode || vm->pc < 0 || (uint32_t)vm->pc >= vm->bcode_size) return nullptr;
  uint8_t op = vm->bcode[vm->pc];
  if (op >= VESKVM_INSTR_ARGFIRST && op <= VESKVM_INSTR_LAST &&
      (uint64_t)vm->pc + 4 >= vm->bcode_size)
    return nullptr;
  char *text = nullptr;
  return vesk_instruction_deasm(vm->bcode, (uint32_t)vm->pc, &text) ? text : nullptr;
}

void veskdebug_stack_dump(veskvm_t vm, uint32_t idx, FILE *out) {
  int64_t nstacks = veskdarray_size(vm->stacks);
  fputs(VESKVM_DUMP_RULE "\n", out);
  fprintf(out, "state: %s\terror: %d\n", veskvm_state_desc[vm->state], vm->error);
  fprintf(out, "code size: %u\tpc: %d\n", vm->bcode_size, vm->pc);
  fprintf(out, "stacks: %lu\tcur: %u\n", (unsigned long)nstacks, idx);
  char *instr = next_instruction(vm);
  fprintf(out, "next instr: %s\n", instr ? instr : "deasm error");
  free(instr);
  /* An index outside the stack of stacks shows no elements. */
  if (idx >= 1 && idx <= nstacks) {
    veskdarray_t s = veskdarray_get(vm->stacks, nstacks - idx, veskdarray_t);
    veskvm_dump_stack(out, s);
  }
  fputs(VESKVM_DUMP_RULE "\n\n", out);
}
