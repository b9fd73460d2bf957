/*
 * Command interpreter of vskdbg. A session owns the VM of the program being
 * debugged (a fresh one per `run`) and the breakpoint numbers shown to the
 * user; the breakpoints themselves live in the debug object, whose source
 * maps translate between FILE:LINE and bytecode offsets.
 *
 * Stepping works by source line: a frame's "current line" is the line of the
 * last annotated instruction it executed (for a caller, the line of its call
 * instruction), and a step ends when a frame reaches an annotated instruction
 * of another line. `step` watches every frame, so it stops inside a callee;
 * `next` ignores frames deeper than the one it started in.
 */
#include "veskdbgcli.h"
#include "vesktools.h"

#include <limits.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

/* A breakpoint as the user knows it: its number and where it sits. */
struct Breakpoint {
  int number;
  int32_t offset;
};

/* One source position of the debug information with its lowest offset. */
struct Position {
  veskdebug_entry_t entry;
  uint32_t offset;
};

} // namespace

struct veskdbgcli_s {
  std::string name;
  const uint8_t *bcode;
  uint32_t size;
  veskdebug_t dbg;
  FILE *out;
  FILE *err;
  veskvm_t vm = nullptr;
  std::vector<Breakpoint> breakpoints;
  /* Globals the host installed before the program ran (libraries, id,
   * print): `globals` hides them while they keep their value. */
  std::map<std::string, veskobj_t> builtins;
  /* Source files read so far, one text per line; empty when unreadable. */
  std::map<std::string, std::vector<std::string>> sources;
};

/****************************************/
/* Output                                */
/****************************************/

static void say(veskdbgcli_t s, const char *fmt, ...)
    __attribute__((format(printf, 2, 3)));
static void say(veskdbgcli_t s, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vfprintf(s->out, fmt, ap);
  va_end(ap);
}

/* Diagnostics: flushed output first, so that a transcript keeps its order. */
static void complain(veskdbgcli_t s, const char *fmt, ...)
    __attribute__((format(printf, 2, 3)));
static void complain(veskdbgcli_t s, const char *fmt, ...) {
  fflush(stdout);
  fflush(s->out);
  va_list ap;
  va_start(ap, fmt);
  vfprintf(s->err, fmt, ap);
  va_end(ap);
  fflush(s->err);
}

/****************************************/
/* Source positions                      */
/****************************************/

static veskdebug_entry_t position(veskdbgcli_t s, int32_t off) {
  return off < 0 ? nullptr : veskdebug_info_get_fromoffset(s->dbg, (uint32_t)off);
}

/* "FILE:LINE:COL" of an offset, or the offset itself when it has no position. */
static std::string where(veskdbgcli_t s, int32_t off) {
  veskdebug_entry_t e = position(s, off);
  if (e)
    return std::string(e->fname) + ":" + std::to_string(e->line) + ":" +
           std::to_string(e->col);
  if (off < 0) return "unknown position";
  return "bytecode offset " + std::to_string(off);
}

static bool same_line(veskdebug_entry_t a, veskdebug_entry_t b) {
  return a && b && a->line == b->line && strcmp(a->fname, b->fname) == 0;
}

static const std::vector<std::string> &source_lines(veskdbgcli_t s, const char *file) {
  auto it = s->sources.find(file);
  if (it != s->sources.end()) return it->second;
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return s->sources.emplace(file, std::move(lines)).first->second;
}

/* Shows the source text of a position's line, when the file can be read. */
static void show_line(veskdbgcli_t s, veskdebug_entry_t e) {
  if (!e) return;
  const std::vector<std::string> &lines = source_lines(s, e->fname);
  if (e->line >= 1 && e->line <= lines.size())
    say(s, "%lu\t%s\n", (unsigned long)e->line, lines[e->line - 1].c_str());
}

static void collect_position(const void *key, void *data, void *params) {
  auto *all = static_cast<std::vector<Position> *>(params);
  all->push_back({*(const veskdebug_entry_t *)key, *(const uint32_t *)data});
}

/* Every source position with code, each with the lowest offset recorded for it. */
static std::vector<Position> all_positions(veskdbgcli_t s) {
  std::vector<Position> all;
  veskdict_foreach(s->dbg->script2off, collect_position, &all);
  return all;
}

/* A recorded file name (a real path) named by what the user typed: the same
 * text, a trailing part of it starting at a directory, or the same real path. */
static bool names_file(const std::string &recorded, const std::string &given) {
  if (recorded == given) return true;
  if (recorded.size() > given.size() &&
      recorded.compare(recorded.size() - given.size(), given.size(), given) == 0 &&
      recorded[recorded.size() - given.size() - 1] == '/')
    return true;
  char *real = realpath(given.c_str(), nullptr);
  bool same = real && recorded == real;
  free(real);
  return same;
}

/****************************************/
/* Program state                         */
/****************************************/

static int64_t depth(veskvm_t vm) {
  return (int64_t)veskdarray_size(vm->stacks);
}

/*
 * Offset of the instruction that frame k (0 = innermost) is at: for frame 0
 * the pc, or the failing instruction after an error; for a caller its call
 * instruction, found from the return address the call left on top of the
 * caller's operand stack (callc and calls are one byte). -1 when unknown.
 */
static int32_t frame_offset(veskvm_t vm, int64_t k) {
  if (k == 0) {
    int32_t off = vm->state == VESKVM_STATE_ERROR ? veskvm_error_offset(vm) : -1;
    return off >= 0 ? off : vm->pc;
  }
  veskdarray_t st = veskdarray_get(vm->stacks, depth(vm) - 1 - k, veskdarray_t);
  if (veskdarray_isempty(st)) return -1;
  veskobj_t top = veskdarray_last(st, veskobj_t);
  return veskobj_isint(top) ? top->i.value - 1 : -1;
}

static int breakpoint_number(veskdbgcli_t s, int32_t off) {
  for (const Breakpoint &b : s->breakpoints)
    if (b.offset == off) return b.number;
  return 0;
}

/* Reports how the program ended: like vskrun, with the failing position. */
static void report_end(veskdbgcli_t s) {
  veskvm_t vm = s->vm;
  if (vm->state == VESKVM_STATE_DONE) {
    say(s, "%s: execution terminated correctly\n", s->name.c_str());
    return;
  }
  int32_t off = frame_offset(vm, 0);
  veskdebug_entry_t e = position(s, off);
  if (e)
    complain(s, "%s: execution terminated abnormally at %s:%lu:%lu : %s\n",
             s->name.c_str(), e->fname, (unsigned long)e->line, (unsigned long)e->col,
             veskvm_strerror(vm));
  else
    complain(s, "%s: execution terminated abnormally at bytecode offset %d: %s\n",
             s->name.c_str(), off, veskvm_strerror(vm));
}

/* Reports where the program stands after run, continue, step or next. */
static void report(veskdbgcli_t s) {
  veskvm_t vm = s->vm;
  if (vm->state == VESKVM_STATE_STOPPED) {
    say(s, "Breakpoint %d at %s\n", breakpoint_number(s, vm->pc),
        where(s, vm->pc).c_str());
  } else if (vm->state == VESKVM_STATE_READY) {
    say(s, "Stopped at %s\n", where(s, vm->pc).c_str());
  } else {
    report_end(s);
    return;
  }
  show_line(s, position(s, vm->pc));
}

static bool has_program(veskdbgcli_t s) {
  if (!s->vm) complain(s, "the program is not running; use 'run' to start it\n");
  return s->vm != nullptr;
}

/* True when the program can execute further; otherwise says why not. */
static bool can_resume(veskdbgcli_t s) {
  if (!has_program(s)) return false;
  switch (s->vm->state) {
  case VESKVM_STATE_READY:
  case VESKVM_STATE_STOPPED:
    return true;
  case VESKVM_STATE_DONE:
    complain(s, "the program has finished; use 'run' to start it again\n");
    return false;
  default:
    complain(s, "the program ended with an error; use 'run' to start it again\n");
    return false;
  }
}

static void remember_builtin(const void *key, void *data, void *params) {
  auto *s = static_cast<veskdbgcli_t>(params);
  veskobj_t o = *(veskobj_t *)data;
  const char *name = veskvm_string_get(s->vm, (uint16_t) * (const int32_t *)key);
  /* Script functions are bound before the host adds its globals: not built-in. */
  if (name && !(veskobj_isclosure(o) && o->c.isscript)) s->builtins[name] = o;
}

/* A fresh VM with the program loaded and print registered; false on a load error. */
static bool load_program(veskdbgcli_t s) {
  veskvm_destroy(&s->vm);
  s->builtins.clear();
  s->vm = veskvm_new(1);
  if (veskvm_set_bcode(s->vm, s->bcode, s->size) != VESKVM_STATE_READY) return false;
  vesktools_register_print(s->vm);
  veskdict_foreach(s->vm->gsyms, remember_builtin, s);
  return true;
}

/*
 * Executes instructions until a frame reaches a new source line (any frame
 * for step, the starting frame or a caller for next), a breakpoint, or the
 * end of the program.
 */
static void step_lines(veskdbgcli_t s, bool into) {
  veskvm_t vm = s->vm;
  int64_t start = depth(vm);
  /* Current line of each frame, indexed by depth (1 = outermost). */
  std::vector<veskdebug_entry_t> line((size_t)start + 1, nullptr);
  for (int64_t k = 0; k < start; ++k)
    line[(size_t)(start - k)] = position(s, frame_offset(vm, k));
  if (vm->state == VESKVM_STATE_STOPPED) vm->state = VESKVM_STATE_READY;
  while (veskvm_step(vm) == VESKVM_STATE_READY) {
    int64_t d = depth(vm);
    /* A call adds a frame with no line yet; a return drops the callee's. */
    line.resize((size_t)d + 1, nullptr);
    if (veskdebug_breakpoint_exists(s->dbg, vm->pc)) {
      vm->state = VESKVM_STATE_STOPPED;
      break;
    }
    veskdebug_entry_t e = position(s, vm->pc);
    if (!e) continue;
    if (!same_line(e, line[(size_t)d]) && (into || d <= start)) break;
    line[(size_t)d] = e;
  }
  report(s);
}

/****************************************/
/* Values                                */
/****************************************/

static std::string format_value(veskdbgcli_t s, veskobj_t o) {
  char buf[64];
  switch (veskobj_type(o)) {
  case VESKTYPE_NIL:
    return "nil";
  case VESKTYPE_INT:
    snprintf(buf, sizeof buf, "%d", o->i.value);
    return buf;
  case VESKTYPE_FLOAT:
    snprintf(buf, sizeof buf, "%f", (double)o->f.value);
    return buf;
  case VESKTYPE_STRING:
    return std::string("\"") + o->s.str + "\"";
  case VESKTYPE_TABLE:
    snprintf(buf, sizeof buf, "[table with %d elems]", (int)veskdict_size(o->t.value));
    return buf;
  case VESKTYPE_CLOSURE:
    if (!o->c.isscript) {
      snprintf(buf, sizeof buf, "[c-closure @%d]", o->c.ref);
      return buf;
    }
    snprintf(buf, sizeof buf, "[n-closure @%d]", o->c.ref);
    /* Where the function's code comes from helps to tell functions apart. */
    return position(s, o->c.ref) ? std::string(buf) + " at " + where(s, o->c.ref) : buf;
  default:
    snprintf(buf, sizeof buf, "[userdata @%p]", o->u.value);
    return buf;
  }
}

namespace {
struct GlobalsWalk {
  veskvm_t vm;
  std::vector<std::pair<std::string, veskobj_t>> items;
};
} // namespace

static void collect_global(const void *key, void *data, void *params) {
  auto *w = static_cast<GlobalsWalk *>(params);
  const char *name = veskvm_string_get(w->vm, (uint16_t) * (const int32_t *)key);
  w->items.emplace_back(name ? name : "?", *(veskobj_t *)data);
}

static bool is_builtin(veskdbgcli_t s, const std::string &name, veskobj_t o) {
  auto it = s->builtins.find(name);
  return it != s->builtins.end() && it->second == o;
}

/****************************************/
/* Commands                              */
/****************************************/

/* A command: returns false to leave the debugger. */
typedef bool (*handler_t)(veskdbgcli_t s, const std::string &arg);

static bool no_argument(veskdbgcli_t s, const char *cmd, const std::string &arg) {
  if (!arg.empty()) complain(s, "'%s' takes no argument\n", cmd);
  return arg.empty();
}

/* A decimal number without sign; false on anything else or overflow. */
static bool parse_number(const std::string &text, uint64_t *value) {
  if (text.empty() || text.size() > 18 ||
      text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = strtoull(text.c_str(), nullptr, 10);
  return true;
}

/* The recorded file a breakpoint location names; empty after a complaint. */
static std::string resolve_file(veskdbgcli_t s, const std::string &given, uint64_t line,
                                const std::vector<Position> &all) {
  std::set<std::string> files;
  for (const Position &p : all)
    if (given.empty() || names_file(p.entry->fname, given)) files.insert(p.entry->fname);
  if (files.size() == 1) return *files.begin();
  if (given.empty()) {
    /* A bare line belongs to the file the program stands in. */
    veskdebug_entry_t e = s->vm ? position(s, frame_offset(s->vm, 0)) : nullptr;
    if (e) return e->fname;
    if (files.empty())
      complain(s, "no code at line %lu: no debug information\n", (unsigned long)line);
    else
      complain(s, "several source files: use FILE:LINE\n");
  } else if (files.empty()) {
    complain(s, "no code at %s:%lu: unknown source file\n", given.c_str(),
             (unsigned long)line);
  } else {
    std::string list;
    for (const std::string &f : files)
      list += (list.empty() ? "" : ", ") + f;
    complain(s, "ambiguous file name '%s': %s\n", given.c_str(), list.c_str());
  }
  return "";
}

static bool cmd_break(veskdbgcli_t s, const std::string &arg) {
  if (arg.empty()) {
    complain(s, "'break' needs a location: FILE:LINE or LINE\n");
    return true;
  }
  size_t colon = arg.rfind(':');
  std::string given = colon == std::string::npos ? "" : arg.substr(0, colon);
  uint64_t line = 0;
  if (!parse_number(arg.substr(colon == std::string::npos ? 0 : colon + 1), &line) ||
      line == 0 || (colon != std::string::npos && given.empty())) {
    complain(s, "bad breakpoint location '%s': expected FILE:LINE or LINE\n",
             arg.c_str());
    return true;
  }
  std::vector<Position> all = all_positions(s);
  std::string file = resolve_file(s, given, line, all);
  if (file.empty()) return true;
  /* The line's first instruction: the lowest offset of any of its columns. */
  const Position *first = nullptr;
  for (const Position &p : all)
    if (p.entry->line == line && file == p.entry->fname &&
        (!first || p.offset < first->offset))
      first = &p;
  if (!first) {
    complain(s, "no code at %s:%lu\n", given.empty() ? file.c_str() : given.c_str(),
             (unsigned long)line);
    return true;
  }
  int32_t off = (int32_t)first->offset;
  if (int n = breakpoint_number(s, off)) {
    say(s, "Breakpoint %d already set at %s\n", n, where(s, off).c_str());
    return true;
  }
  veskdebug_breakpoint_set_offset(s->dbg, off);
  int n = s->breakpoints.empty() ? 1 : s->breakpoints.back().number + 1;
  s->breakpoints.push_back({n, off});
  say(s, "Breakpoint %d set at %s\n", n, where(s, off).c_str());
  return true;
}

static bool cmd_run(veskdbgcli_t s, const std::string &arg) {
  if (!no_argument(s, "run", arg)) return true;
  if (s->vm &&
      (s->vm->state == VESKVM_STATE_READY || s->vm->state == VESKVM_STATE_STOPPED))
    say(s, "Starting the program again\n");
  if (load_program(s)) veskdebug_continue(s->vm, s->dbg);
  report(s);
  return true;
}

static bool cmd_continue(veskdbgcli_t s, const std::string &arg) {
  if (!no_argument(s, "continue", arg) || !can_resume(s)) return true;
  veskvm_t vm = s->vm;
  if (vm->state == VESKVM_STATE_STOPPED) vm->state = VESKVM_STATE_READY;
  /* veskdebug_continue would stop at once on the breakpoint we stand on. */
  if (veskdebug_breakpoint_exists(s->dbg, vm->pc)) veskvm_step(vm);
  if (vm->state == VESKVM_STATE_READY) veskdebug_continue(vm, s->dbg);
  report(s);
  return true;
}

static bool cmd_step(veskdbgcli_t s, const std::string &arg) {
  if (no_argument(s, "step", arg) && can_resume(s)) step_lines(s, true);
  return true;
}

static bool cmd_next(veskdbgcli_t s, const std::string &arg) {
  if (no_argument(s, "next", arg) && can_resume(s)) step_lines(s, false);
  return true;
}

static bool cmd_print(veskdbgcli_t s, const std::string &arg) {
  if (!has_program(s)) return true;
  uint64_t frame = 0;
  if (!arg.empty() && !parse_number(arg, &frame)) {
    complain(s, "bad frame number '%s'\n", arg.c_str());
    return true;
  }
  int64_t frames = depth(s->vm);
  if (frame >= (uint64_t)frames) {
    complain(s, "no frame %s: the program has %ld frame%s (see 'backtrace')\n",
             arg.c_str(), (long)frames, frames == 1 ? "" : "s");
    return true;
  }
  veskdebug_stack_dump(s->vm, (uint32_t)frame + 1, s->out);
  return true;
}

static bool cmd_globals(veskdbgcli_t s, const std::string &arg) {
  if (!arg.empty() && arg != "all") {
    complain(s, "'globals' takes no argument or 'all'\n");
    return true;
  }
  if (!has_program(s)) return true;
  GlobalsWalk w{s->vm, {}};
  veskdict_foreach(s->vm->gsyms, collect_global, &w);
  std::sort(w.items.begin(), w.items.end(),
            [](const auto &a, const auto &b) { return a.first < b.first; });
  bool any = false;
  for (const auto &[name, value] : w.items) {
    if (arg.empty() && is_builtin(s, name, value)) continue;
    say(s, "%s = %s\n", name.c_str(), format_value(s, value).c_str());
    any = true;
  }
  if (!any) say(s, "no globals\n");
  return true;
}

static bool cmd_backtrace(veskdbgcli_t s, const std::string &arg) {
  if (!no_argument(s, "backtrace", arg) || !has_program(s)) return true;
  for (int64_t k = 0; k < depth(s->vm); ++k)
    say(s, "#%ld  %s\n", (long)k, where(s, frame_offset(s->vm, k)).c_str());
  return true;
}

static bool cmd_quit(veskdbgcli_t s, const std::string &arg) {
  (void)s;
  (void)arg;
  return false;
}

static bool cmd_help(veskdbgcli_t s, const std::string &arg);

namespace {
struct Command {
  const char *name;
  const char *alias;
  const char *args;
  const char *help;
  handler_t run;
};
} // namespace

static const Command commands[] = {
    {"break", "b", "FILE:LINE",
     "stop at the first instruction of a source line (LINE alone: the current file)",
     cmd_break},
    {"run", "r", "", "start the program from the beginning, up to a breakpoint", cmd_run},
    {"continue", "c", "", "resume up to the next breakpoint or the end", cmd_continue},
    {"step", "s", "", "run to the next source line, entering calls", cmd_step},
    {"next", "n", "", "run to the next source line of this function, over calls",
     cmd_next},
    {"print", "p", "[FRAME]", "dump the operand stack of frame FRAME (default 0)",
     cmd_print},
    {"globals", "", "[all]", "list the script's globals ('all': also the built-in ones)",
     cmd_globals},
    {"backtrace", "bt", "", "source positions of the active calls, innermost first",
     cmd_backtrace},
    {"help", "h", "[COMMAND]", "list the commands, or explain one", cmd_help},
    {"quit", "q", "", "leave the debugger", cmd_quit},
};

static const Command *find_command(const std::string &word) {
  for (const Command &c : commands)
    if (word == c.name || (c.alias[0] && word == c.alias)) return &c;
  return nullptr;
}

static void unknown_command(veskdbgcli_t s, const std::string &word) {
  complain(s, "unknown command '%s'; try 'help'\n", word.c_str());
}

static void describe(veskdbgcli_t s, const Command &c) {
  std::string usage = std::string(c.name) + (c.args[0] ? " " : "") + c.args;
  std::string alias = c.alias[0] ? std::string("(") + c.alias + ")" : "";
  say(s, "  %-18s %-5s %s\n", usage.c_str(), alias.c_str(), c.help);
}

static bool cmd_help(veskdbgcli_t s, const std::string &arg) {
  if (!arg.empty()) {
    const Command *c = find_command(arg);
    if (c)
      describe(s, *c);
    else
      unknown_command(s, arg);
    return true;
  }
  say(s, "Commands (short forms in parentheses):\n");
  for (const Command &c : commands)
    describe(s, c);
  return true;
}

/****************************************/
/* Session                               */
/****************************************/

veskdbgcli_t veskdbgcli_new(const char *name, const uint8_t *bcode, uint32_t size,
                            veskdebug_t dbg, FILE *out, FILE *err) {
  veskdbgcli_t s = new veskdbgcli_s;
  s->name = name ? name : "";
  s->bcode = bcode;
  s->size = size;
  s->dbg = dbg;
  s->out = out;
  s->err = err;
  return s;
}

void veskdbgcli_destroy(veskdbgcli_t *s) {
  if (!s || !*s) return;
  veskvm_destroy(&(*s)->vm);
  delete *s;
  *s = nullptr;
}

veskvm_t veskdbgcli_vm(veskdbgcli_t s) {
  return s->vm;
}

int veskdbgcli_execute(veskdbgcli_t s, const char *line) {
  static const char *blank = " \t\r\n\v\f";
  std::string text(line ? line : "");
  size_t first = text.find_first_not_of(blank);
  /* Blank lines and comments let command scripts explain themselves. */
  if (first == std::string::npos || text[first] == '#') return 1;
  text = text.substr(first, text.find_last_not_of(blank) - first + 1);
  size_t gap = text.find_first_of(blank);
  std::string word = text.substr(0, gap);
  std::string arg;
  if (gap != std::string::npos) arg = text.substr(text.find_first_not_of(blank, gap));
  const Command *c = find_command(word);
  if (!c) {
    unknown_command(s, word);
    return 1;
  }
  int go_on = c->run(s, arg) ? 1 : 0;
  fflush(stdout);
  fflush(s->out);
  return go_on;
}

int veskdbgcli_repl(veskdbgcli_t s, FILE *in, int prompt) {
  char *line = nullptr;
  size_t cap = 0;
  for (;;) {
    if (prompt) {
      fputs("(vskdbg) ", s->out);
      fflush(s->out);
    }
    if (getline(&line, &cap, in) < 0) {
      if (prompt) fputc('\n', s->out);
      break;
    }
    if (!veskdbgcli_execute(s, line)) break;
  }
  free(line);
  fflush(s->out);
  return 0;
}
