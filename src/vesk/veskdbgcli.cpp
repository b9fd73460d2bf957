/*
 * Command interpreter of the debugger, for vskdbg and for hosts that attach
 * it to a VM they run (vesksim, the editor). A session watches the program
 * through the VM's hook, which sees every instruction the run loops execute,
 * those of callbacks that natives run (foreach, listeners, swarm exec)
 * included. When the hook finds a reason to stop (a breakpoint, the end of a
 * step, a changed watched global, an interrupt) it reports it and reads
 * commands until one resumes the program. In vskdbg a stop at the top level
 * of the call chain (no native below it) instead returns the VM to the
 * command loop in the "stopped" state, so the same commands can be driven
 * one at a time.
 *
 * Stepping works by source line: a frame's "current line" is the line of the
 * last annotated instruction it executed (for a caller, the line of its call
 * instruction), and a step ends when a frame reaches an annotated instruction
 * of another line. `step` watches every frame, so it stops inside a callee;
 * `next` ignores frames deeper than the one it started in; `finish` stops
 * when the frame it started in has returned.
 */
#include "veskdbgcli.h"
#include "veskbuild.h"
#include "veskdbgexpr.h"
#include "veskdbgsyms.h"
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

/* A breakpoint or a watchpoint as the user knows it: they share numbers. */
struct Point {
  int number;
  bool watch;
  int32_t offset;   /* a breakpoint's instruction */
  std::string name; /* a watched global */
  veskobj_t last;   /* its value when last looked at */
  std::string text; /* that value as text */
  int hits;
};

/* An expression shown at every stop. */
struct Display {
  int number;
  std::string expr;
};

/* One source position of the debug information with its lowest offset. */
struct Position {
  veskdebug_entry_t entry;
  uint32_t offset;
};

/* How the program goes on when it is resumed. */
enum class Mode { Continue, Step, Next, Finish };

/* Levels of table contents shown by print, display and locals. */
constexpr int SHOWN_DEPTH = 3;

} // namespace

struct veskdbgcli_s {
  std::string name;
  const uint8_t *bcode;
  uint32_t size;
  veskdebug_t dbg;
  FILE *out;
  FILE *err;
  veskvm_t vm = nullptr;
  bool attached = false; /* the VM is the host's, not the session's */
  veskdbgcli_read_t read = nullptr;
  void *readdata = nullptr;
  veskdbgsyms_t syms = nullptr;
  std::vector<Point> points;
  std::vector<Display> displays;
  int next_point = 1, next_display = 1;
  /* Globals the host installed before the program ran (libraries, id,
   * print): `globals` hides them while they keep their value. */
  std::map<std::string, veskobj_t> builtins;
  /* Source files read so far, one text per line; empty when unreadable. */
  std::map<std::string, std::vector<std::string>> sources;
  /* Execution control. */
  Mode mode = Mode::Continue;
  int64_t mode_depth = 0;               /* frames when next or finish began */
  std::vector<veskdebug_entry_t> lines; /* current line by depth (step, next) */
  bool interrupt = false;
  int32_t resume_pc = -1; /* a breakpoint here was just reported: pass it once */
  int64_t resume_depth = -1;
  bool holding = false; /* reading commands inside the hook */
  bool resumed = false; /* a command let the program go on */
  bool quit = false, restart = false;
  int64_t frame = 0; /* frame selected by `frame` */
  std::string list_file;
  uint64_t list_next = 0; /* first line `list` shows next */
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

static std::string take(char *text) {
  std::string str = text ? text : "";
  free(text);
  return str;
}

/****************************************/
/* Source positions                      */
/****************************************/

static veskdebug_entry_t position(veskdbgcli_t s, int32_t off) {
  return off < 0 || !s->dbg ? nullptr
                            : veskdebug_info_get_fromoffset(s->dbg, (uint32_t)off);
}

/* "FILE:LINE:COL" of an offset, or the offset itself when it has no position. */
static std::string where(veskdbgcli_t s, int32_t off) {
  return take(veskdbgexpr_where(s->dbg, off));
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

/* Shows a source line, when the file can be read; false when it cannot. */
static bool show_source(veskdbgcli_t s, const char *file, uint64_t line) {
  const std::vector<std::string> &lines = source_lines(s, file);
  if (line < 1 || line > lines.size()) return false;
  say(s, "%lu\t%s\n", (unsigned long)line, lines[line - 1].c_str());
  return true;
}

/* Shows the source text of a position's line, when the file can be read. */
static void show_line(veskdbgcli_t s, veskdebug_entry_t e) {
  if (e) show_source(s, e->fname, e->line);
}

static void collect_position(const void *key, void *data, void *params) {
  auto *all = static_cast<std::vector<Position> *>(params);
  all->push_back({*(const veskdebug_entry_t *)key, *(const uint32_t *)data});
}

/* Every source position with code, each with the lowest offset recorded for it. */
static std::vector<Position> all_positions(veskdbgcli_t s) {
  std::vector<Position> all;
  if (s->dbg) veskdict_foreach(s->dbg->script2off, collect_position, &all);
  return all;
}

/****************************************/
/* Program state                         */
/****************************************/

static int64_t depth(veskvm_t vm) {
  return veskdbgexpr_frames(vm);
}

static Point *breakpoint_at(veskdbgcli_t s, int32_t off) {
  for (Point &p : s->points)
    if (!p.watch && p.offset == off) return &p;
  return nullptr;
}

/* Reports how the program ended: like vskrun, with the failing position. */
static void report_end(veskdbgcli_t s) {
  veskvm_t vm = s->vm;
  if (vm->state == VESKVM_STATE_DONE) {
    say(s, "%s: execution terminated correctly\n", s->name.c_str());
    return;
  }
  int32_t off = veskdbgexpr_frame_offset(vm, 0);
  veskdebug_entry_t e = position(s, off);
  if (e)
    complain(s, "%s: execution terminated abnormally at %s:%lu:%lu : %s\n",
             s->name.c_str(), e->fname, (unsigned long)e->line, (unsigned long)e->col,
             veskvm_strerror(vm));
  else
    complain(s, "%s: execution terminated abnormally at bytecode offset %d: %s\n",
             s->name.c_str(), off, veskvm_strerror(vm));
}

static bool has_program(veskdbgcli_t s) {
  if (!s->vm) complain(s, "the program is not running; use 'run' to start it\n");
  return s->vm != nullptr;
}

/* True when the program has stopped and can execute further; otherwise says
   why not. */
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

/* True when the program has a call stack to look at; after its end, says so. */
static bool has_stack(veskdbgcli_t s) {
  if (!has_program(s)) return false;
  if (s->vm->state != VESKVM_STATE_DONE) return true;
  complain(s, "no stack: the program has ended; use 'run' to start it again\n");
  return false;
}

/****************************************/
/* Values                                */
/****************************************/

static std::string format_value(veskdbgcli_t s, veskobj_t o, int levels) {
  return take(veskdbgexpr_format(s->vm, s->dbg, o, levels));
}

/* The value of expr in the selected frame, or its error text in *error. */
static std::string evaluate(veskdbgcli_t s, const std::string &expr, bool *ok) {
  char *error = nullptr;
  veskobj_t o = veskdbgexpr_eval(s->vm, s->dbg, s->syms, s->frame, expr.c_str(), &error);
  *ok = o != nullptr;
  return o ? format_value(s, o, SHOWN_DEPTH) : take(error);
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

static void remember_builtin(const void *key, void *data, void *params) {
  auto *s = static_cast<veskdbgcli_t>(params);
  veskobj_t o = *(veskobj_t *)data;
  const char *name = veskvm_string_get(s->vm, (uint16_t) * (const int32_t *)key);
  /* Script functions are bound before the host adds its globals: not built-in. */
  if (name && !(veskobj_isclosure(o) && o->c.isscript)) s->builtins[name] = o;
}

/* The displays at a stop; those that name nothing here are left out, as
   a local's display is outside its function. */
static void show_displays(veskdbgcli_t s) {
  for (const Display &d : s->displays) {
    bool ok;
    std::string value = evaluate(s, d.expr, &ok);
    if (ok) say(s, "%d: %s = %s\n", d.number, d.expr.c_str(), value.c_str());
  }
}

/****************************************/
/* Stopping                              */
/****************************************/

static bool execute_line(veskdbgcli_t s, const std::string &line);

/* Reads one command line; false at the end of input. */
static bool read_command(veskdbgcli_t s, std::string *line) {
  char buf[4096];
  if (!s->read || !s->read(s->readdata, buf, sizeof buf)) return false;
  *line = buf;
  return true;
}

static void on_instruction(veskvm_t vm, void *data);

static void detach(veskdbgcli_t s) {
  if (s->vm && s->vm->hook == on_instruction) veskvm_sethook(s->vm, nullptr, nullptr);
}

/* Commands at a stop inside the program, until one resumes it. The end of
   the input lets an attached program run on without the debugger, and ends
   a program of vskdbg's own as quit does. */
static void hold(veskdbgcli_t s) {
  s->holding = true;
  s->resumed = false;
  while (!s->resumed && !s->quit && !s->restart) {
    std::string line;
    if (!read_command(s, &line)) {
      if (s->attached)
        detach(s);
      else
        s->quit = true;
      break;
    }
    execute_line(s, line);
  }
  s->holding = false;
  if (s->attached) {
    if (s->quit) detach(s);
  } else if (s->quit || s->restart) {
    /* Unwinds every run loop and native up to the command that ran it. */
    s->vm->state = VESKVM_STATE_STOPPED;
  }
}

/* Reports a stop, then hands the program to the commands. */
static void stop(veskdbgcli_t s, const std::string &why) {
  veskvm_t vm = s->vm;
  s->mode = Mode::Continue;
  s->frame = 0;
  s->list_next = 0;
  say(s, "%s\n", why.c_str());
  show_line(s, position(s, vm->pc));
  show_displays(s);
  fflush(s->out);
  if (!s->attached && vm->nesting == 0) {
    vm->state = VESKVM_STATE_STOPPED;
    return;
  }
  hold(s);
}

/* The text of a watched global that changed since it was last looked at. */
static std::string watch_change(veskdbgcli_t s) {
  for (Point &p : s->points) {
    if (!p.watch) continue;
    veskobj_t now = veskdbgexpr_global(s->vm, p.name.c_str());
    if (now == p.last) continue;
    p.last = now;
    std::string text = now ? format_value(s, now, 1) : "nil";
    if (text == p.text) continue;
    std::string why = "Watchpoint " + std::to_string(p.number) + ": " + p.name +
                      "\nOld value = " + p.text + "\nNew value = " + text + "\n";
    p.text = text;
    ++p.hits;
    return why + "Stopped at " + where(s, s->vm->pc);
  }
  return "";
}

/* Whether the line being stepped ends here, keeping each frame's line. */
static bool step_ends(veskdbgcli_t s, int64_t d) {
  s->lines.resize((size_t)d + 1, nullptr);
  veskdebug_entry_t e = position(s, s->vm->pc);
  if (!e) return false;
  if (!same_line(e, s->lines[(size_t)d]) && (s->mode == Mode::Step || d <= s->mode_depth))
    return true;
  s->lines[(size_t)d] = e;
  return false;
}

/* Why the program stops before the instruction at pc; "" when it goes on. */
static std::string stop_reason(veskdbgcli_t s) {
  veskvm_t vm = s->vm;
  int64_t d = depth(vm);
  bool passing = vm->pc == s->resume_pc && d == s->resume_depth;
  s->resume_pc = -1;
  /* Formatted only for a stop: this runs before every instruction. */
  auto here = [&] { return where(s, vm->pc); };
  if (s->interrupt) {
    s->interrupt = false;
    return "Stopped at " + here();
  }
  Point *b = passing ? nullptr : breakpoint_at(s, vm->pc);
  if (b) {
    ++b->hits;
    return "Breakpoint " + std::to_string(b->number) + " at " + here();
  }
  std::string changed = watch_change(s);
  if (!changed.empty()) return changed;
  if ((s->mode == Mode::Step || s->mode == Mode::Next) && step_ends(s, d))
    return "Stopped at " + here();
  if (s->mode == Mode::Finish && d < s->mode_depth) return "Returned to " + here();
  return "";
}

static void on_instruction(veskvm_t vm, void *data) {
  auto s = static_cast<veskdbgcli_t>(data);
  if (s->vm != vm) return;
  std::string why = stop_reason(s);
  if (!why.empty()) stop(s, why);
}

/* Starts the program of a vskdbg session in a fresh VM; false on a load
   error. */
static bool load_program(veskdbgcli_t s) {
  veskvm_destroy(&s->vm);
  s->builtins.clear();
  s->vm = veskvm_new(1);
  if (veskvm_set_bcode(s->vm, s->bcode, s->size) != VESKVM_STATE_READY) return false;
  vesktools_register_print(s->vm);
  veskdict_foreach(s->vm->gsyms, remember_builtin, s);
  for (Point &p : s->points)
    if (p.watch) p.last = nullptr, p.text = "nil";
  veskvm_sethook(s->vm, on_instruction, s);
  return true;
}

/* Runs a program of vskdbg's own until it stops or ends, again from the
   start as long as `run` asks for it at a stop inside a callback. */
static void run_program(veskdbgcli_t s) {
  for (;;) {
    if (s->vm->state == VESKVM_STATE_STOPPED) s->vm->state = VESKVM_STATE_READY;
    veskvm_execute_script(s->vm);
    if (!s->restart) break;
    s->restart = false;
    say(s, "Starting the program again\n");
    if (!load_program(s)) break;
  }
  if (s->quit) return;
  if (s->vm->state != VESKVM_STATE_STOPPED) report_end(s);
}

/* Lets the program go on in a mode: from inside the hook by returning to
   it, else by running it. */
static void resume(veskdbgcli_t s, Mode mode) {
  veskvm_t vm = s->vm;
  int64_t d = depth(vm);
  s->mode = mode;
  s->mode_depth = d;
  s->lines.assign((size_t)d + 1, nullptr);
  for (int64_t k = 0; k < d; ++k)
    s->lines[(size_t)(d - k)] = position(s, veskdbgexpr_frame_offset(vm, k));
  s->resume_pc = vm->pc;
  s->resume_depth = d;
  if (s->holding)
    s->resumed = true;
  else
    run_program(s);
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
    veskdebug_entry_t e =
        s->vm ? position(s, veskdbgexpr_frame_offset(s->vm, s->frame)) : nullptr;
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
  if (Point *b = breakpoint_at(s, off)) {
    say(s, "Breakpoint %d already set at %s\n", b->number, where(s, off).c_str());
    return true;
  }
  veskdebug_breakpoint_set_offset(s->dbg, off);
  int n = s->next_point++;
  s->points.push_back({n, false, off, "", nullptr, "", 0});
  say(s, "Breakpoint %d set at %s\n", n, where(s, off).c_str());
  return true;
}

static bool cmd_watch(veskdbgcli_t s, const std::string &arg) {
  if (arg.empty() || arg.find_first_of(" \t.[") != std::string::npos) {
    complain(s, "'watch' needs the name of a global variable\n");
    return true;
  }
  veskobj_t now = s->vm ? veskdbgexpr_global(s->vm, arg.c_str()) : nullptr;
  int n = s->next_point++;
  std::string text = now ? format_value(s, now, 1) : "nil";
  s->points.push_back({n, true, -1, arg, now, text, 0});
  say(s, "Watchpoint %d: %s (now %s)\n", n, arg.c_str(), text.c_str());
  return true;
}

static bool cmd_delete(veskdbgcli_t s, const std::string &arg) {
  uint64_t n = 0;
  if (!arg.empty() && !parse_number(arg, &n)) {
    complain(s, "bad breakpoint number '%s'\n", arg.c_str());
    return true;
  }
  auto chosen = [&](const Point &p) { return arg.empty() || p.number == (int)n; };
  auto gone = std::stable_partition(s->points.begin(), s->points.end(),
                                    [&](const Point &p) { return !chosen(p); });
  if (gone == s->points.end() && !arg.empty()) {
    complain(s, "no breakpoint number %s\n", arg.c_str());
    return true;
  }
  for (auto it = gone; it != s->points.end(); ++it)
    if (!it->watch) veskdebug_breakpoint_remove_offset(s->dbg, it->offset);
  s->points.erase(gone, s->points.end());
  if (arg.empty()) say(s, "Deleted every breakpoint and watchpoint\n");
  return true;
}

static bool cmd_run(veskdbgcli_t s, const std::string &arg) {
  if (!no_argument(s, "run", arg)) return true;
  if (s->attached) {
    complain(s, "the host runs this program; 'continue' lets it run on\n");
    return true;
  }
  if (s->holding) {
    s->restart = true;
    return true;
  }
  if (s->vm &&
      (s->vm->state == VESKVM_STATE_READY || s->vm->state == VESKVM_STATE_STOPPED))
    say(s, "Starting the program again\n");
  if (load_program(s))
    run_program(s);
  else
    report_end(s);
  return true;
}

/* continue, step, next, finish: the program must be able to go on. */
static bool resume_command(veskdbgcli_t s, const char *cmd, const std::string &arg,
                           Mode mode) {
  if (no_argument(s, cmd, arg) && can_resume(s)) resume(s, mode);
  return true;
}

static bool cmd_continue(veskdbgcli_t s, const std::string &arg) {
  return resume_command(s, "continue", arg, Mode::Continue);
}

static bool cmd_step(veskdbgcli_t s, const std::string &arg) {
  return resume_command(s, "step", arg, Mode::Step);
}

static bool cmd_next(veskdbgcli_t s, const std::string &arg) {
  return resume_command(s, "next", arg, Mode::Next);
}

static bool cmd_finish(veskdbgcli_t s, const std::string &arg) {
  if (s->vm && s->vm->state != VESKVM_STATE_DONE && depth(s->vm) < 2) {
    complain(s, "'finish' is not meaningful at the top level of the program\n");
    return true;
  }
  return resume_command(s, "finish", arg, Mode::Finish);
}

static bool cmd_print(veskdbgcli_t s, const std::string &arg) {
  if (arg.empty()) {
    complain(s, "'print' needs an expression: NAME, NAME.FIELD or NAME[KEY]\n");
    return true;
  }
  /* Globals can still be printed after the end. */
  if (!has_program(s)) return true;
  bool ok;
  std::string value = evaluate(s, arg, &ok);
  if (ok)
    say(s, "%s = %s\n", arg.c_str(), value.c_str());
  else
    complain(s, "%s\n", value.c_str());
  return true;
}

static bool cmd_display(veskdbgcli_t s, const std::string &arg) {
  if (arg.empty()) {
    if (s->vm) show_displays(s);
    return true;
  }
  s->displays.push_back({s->next_display++, arg});
  if (s->vm && s->vm->state != VESKVM_STATE_DONE) {
    bool ok;
    std::string value = evaluate(s, arg, &ok);
    say(s, "%d: %s %s %s\n", s->displays.back().number, arg.c_str(), ok ? "=" : ":",
        value.c_str());
  }
  return true;
}

static bool cmd_undisplay(veskdbgcli_t s, const std::string &arg) {
  uint64_t n = 0;
  auto it = s->displays.end();
  if (parse_number(arg, &n))
    it = std::find_if(s->displays.begin(), s->displays.end(),
                      [n](const Display &d) { return d.number == (int)n; });
  if (it == s->displays.end())
    complain(s, "no display number '%s'\n", arg.c_str());
  else
    s->displays.erase(it);
  return true;
}

static bool cmd_locals(veskdbgcli_t s, const std::string &arg) {
  if (!no_argument(s, "locals", arg) || !has_stack(s)) return true;
  char *text = veskdbgexpr_locals(s->vm, s->dbg, s->syms, s->frame, SHOWN_DEPTH);
  if (!text)
    say(s, "no locals: the top level has only globals\n");
  else
    say(s, "%s", *text ? text : "no locals\n");
  free(text);
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
    say(s, "%s = %s\n", name.c_str(), format_value(s, value, 0).c_str());
    any = true;
  }
  if (!any) say(s, "no globals\n");
  return true;
}

/* The outermost frame of an attached VM is the host's call into it, whose
   return address is no position of the script. */
static bool host_frame(veskdbgcli_t s, int64_t k) {
  return s->attached && k > 0 && k == depth(s->vm) - 1;
}

/* The source position where frame k stands, null when it has none. */
static veskdebug_entry_t frame_position(veskdbgcli_t s, int64_t k) {
  return host_frame(s, k) ? nullptr : position(s, veskdbgexpr_frame_offset(s->vm, k));
}

static void show_frame(veskdbgcli_t s, int64_t k) {
  if (host_frame(s, k))
    say(s, "#%ld  called by the host\n", (long)k);
  else
    say(s, "#%ld  %s\n", (long)k, where(s, veskdbgexpr_frame_offset(s->vm, k)).c_str());
}

static bool cmd_backtrace(veskdbgcli_t s, const std::string &arg) {
  if (!no_argument(s, "backtrace", arg) || !has_stack(s)) return true;
  for (int64_t k = 0; k < depth(s->vm); ++k)
    show_frame(s, k);
  return true;
}

/* A frame number given to a command; false after a complaint. */
static bool parse_frame(veskdbgcli_t s, const std::string &arg, int64_t *k) {
  uint64_t n = 0;
  if (!parse_number(arg, &n)) {
    complain(s, "bad frame number '%s'\n", arg.c_str());
    return false;
  }
  int64_t frames = depth(s->vm);
  if (n >= (uint64_t)frames) {
    complain(s, "no frame %s: the program has %ld frame%s (see 'backtrace')\n",
             arg.c_str(), (long)frames, frames == 1 ? "" : "s");
    return false;
  }
  *k = (int64_t)n;
  return true;
}

static bool cmd_frame(veskdbgcli_t s, const std::string &arg) {
  if (!has_stack(s)) return true;
  int64_t k = s->frame;
  if (!arg.empty() && !parse_frame(s, arg, &k)) return true;
  s->frame = k;
  s->list_next = 0;
  show_frame(s, k);
  show_line(s, frame_position(s, k));
  return true;
}

/* Ten lines of source: around LINE, around the selected frame's line, or
   after the lines shown last. */
static bool cmd_list(veskdbgcli_t s, const std::string &arg) {
  uint64_t center = 0;
  if (!arg.empty() && !parse_number(arg, &center)) {
    complain(s, "bad line number '%s'\n", arg.c_str());
    return true;
  }
  if (s->list_next == 0 || !arg.empty()) {
    veskdebug_entry_t e = s->vm ? frame_position(s, s->frame) : nullptr;
    if (!e && s->list_file.empty()) {
      complain(s, "no source to list: the program has no current position\n");
      return true;
    }
    if (e) s->list_file = e->fname;
    if (!center) center = e ? e->line : 1;
    s->list_next = center > 5 ? center - 5 : 1;
  }
  uint64_t first = s->list_next;
  while (s->list_next < first + 10 && show_source(s, s->list_file.c_str(), s->list_next))
    ++s->list_next;
  if (s->list_next == first) complain(s, "no more lines in %s\n", s->list_file.c_str());
  return true;
}

static bool cmd_quit(veskdbgcli_t s, const std::string &arg) {
  (void)arg;
  s->quit = true;
  return false;
}

/****************************************/
/* info                                  */
/****************************************/

static void info_breakpoints(veskdbgcli_t s) {
  if (s->points.empty()) {
    say(s, "no breakpoints or watchpoints\n");
    return;
  }
  say(s, "Num  Type        Hits  Where\n");
  for (const Point &p : s->points)
    say(s, "%-4d %-11s %-5d %s\n", p.number, p.watch ? "watchpoint" : "breakpoint",
        p.hits, p.watch ? p.name.c_str() : where(s, p.offset).c_str());
}

static void info_display(veskdbgcli_t s) {
  if (s->displays.empty()) say(s, "no displays\n");
  for (const Display &d : s->displays)
    say(s, "%d: %s\n", d.number, d.expr.c_str());
}

/* The operand stack of a frame, in the VM's dump format. */
static void info_stack(veskdbgcli_t s, const std::string &arg) {
  int64_t k = s->frame;
  if (!has_stack(s) || (!arg.empty() && !parse_frame(s, arg, &k))) return;
  veskdebug_stack_dump(s->vm, (uint32_t)k + 1, s->out);
}

static bool cmd_info(veskdbgcli_t s, const std::string &arg) {
  size_t gap = arg.find_first_of(" \t");
  std::string what = arg.substr(0, gap);
  std::string rest =
      gap == std::string::npos ? "" : arg.substr(arg.find_first_not_of(" \t", gap));
  if (what == "breakpoints" || what == "b" || what == "watchpoints")
    info_breakpoints(s);
  else if (what == "display")
    info_display(s);
  else if (what == "locals")
    cmd_locals(s, rest);
  else if (what == "stack")
    info_stack(s, rest);
  else if (what == "frame")
    cmd_frame(s, rest);
  else
    complain(s, "'info' shows: breakpoints, display, frame, locals, stack [FRAME]\n");
  return true;
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
    {"watch", "", "NAME", "stop when the global NAME takes another value", cmd_watch},
    {"delete", "d", "[N]", "delete breakpoint or watchpoint N (all without N)",
     cmd_delete},
    {"run", "r", "", "start the program from the beginning, up to a breakpoint", cmd_run},
    {"continue", "c", "", "resume up to the next breakpoint or the end", cmd_continue},
    {"step", "s", "", "run to the next source line, entering calls", cmd_step},
    {"next", "n", "", "run to the next source line of this function, over calls",
     cmd_next},
    {"finish", "fin", "", "run until the current function returns", cmd_finish},
    {"print", "p", "EXPR",
     "show a variable, NAME.FIELD or NAME[KEY], tables with contents", cmd_print},
    {"display", "", "[EXPR]", "show EXPR at every stop (without EXPR: show them now)",
     cmd_display},
    {"undisplay", "", "N", "stop showing display N", cmd_undisplay},
    {"locals", "", "", "the local variables of the selected frame", cmd_locals},
    {"globals", "", "[all]", "list the script's globals ('all': also the built-in ones)",
     cmd_globals},
    {"backtrace", "bt", "", "source positions of the active calls, innermost first",
     cmd_backtrace},
    {"frame", "f", "[N]", "select frame N for print and locals, and show it", cmd_frame},
    {"list", "l", "[LINE]", "show ten source lines around LINE or where the program is",
     cmd_list},
    {"info", "i", "WHAT", "breakpoints, display, frame, locals, or stack [FRAME]",
     cmd_info},
    {"help", "h", "[COMMAND]", "list the commands, or explain one", cmd_help},
    {"quit", "q", "", "leave the debugger", cmd_quit},
};

static const Command *find_command(const std::string &word) {
  for (const Command &c : commands)
    if (word == c.name || (c.alias[0] && word == c.alias)) return &c;
  return nullptr;
}

static void unknown_command(veskdbgcli_t s, const std::string &word) {
  std::string known;
  for (const Command &c : commands)
    known += (known.empty() ? "" : ", ") + std::string(c.name);
  complain(s, "unknown command '%s'; the commands are: %s\n", word.c_str(),
           known.c_str());
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

/* The source file of the program's first instruction with a position: the
   main script. "" without debug information. */
static std::string main_source(veskdbgcli_t s) {
  std::vector<Position> all = all_positions(s);
  auto first = std::min_element(all.begin(), all.end(), [](const auto &a, const auto &b) {
    return a.offset < b.offset;
  });
  return first == all.end() ? "" : first->entry->fname;
}

/*
 * Names the locals by compiling the main script again with the compiler's
 * symbol tables observed; they are used only when the compiler gives the very
 * bytecode being debugged (the source may have changed since).
 */
static void load_symbols(veskdbgcli_t s, const uint8_t *bcode, uint32_t size) {
  std::string source = main_source(s);
  if (source.empty()) return;
  veskdbgsyms_t syms = veskdbgsyms_new();
  uint8_t *built = nullptr;
  uint32_t built_size = 0;
  veskdebug_t dbg = nullptr;
  char *messages = nullptr;
  bool same = veskbuild_observed(source.c_str(), veskdbgsyms_observe, syms, &built,
                                 &built_size, &dbg, &messages) &&
              built_size == size && memcmp(built, bcode, size) == 0;
  free(built);
  free(messages);
  veskdebug_destroy(&dbg);
  if (same) {
    s->syms = syms;
    return;
  }
  veskdbgsyms_destroy(&syms);
  complain(s,
           "note: %s does not build to the program being debugged; locals are "
           "shown by slot number\n",
           source.c_str());
}

static veskdbgcli_t session(const char *name, veskdebug_t dbg, FILE *out, FILE *err) {
  veskdbgcli_t s = new veskdbgcli_s;
  s->name = name ? name : "";
  s->dbg = dbg;
  s->out = out;
  s->err = err;
  return s;
}

veskdbgcli_t veskdbgcli_new(const char *name, const uint8_t *bcode, uint32_t size,
                            veskdebug_t dbg, FILE *out, FILE *err) {
  veskdbgcli_t s = session(name, dbg, out, err);
  s->bcode = bcode;
  s->size = size;
  load_symbols(s, bcode, size);
  return s;
}

veskdbgcli_t veskdbgcli_attach(const char *name, veskvm_t vm, veskdebug_t dbg,
                               veskdbgcli_read_t read, void *data, FILE *out, FILE *err) {
  veskdbgcli_t s = session(name, dbg, out, err);
  s->vm = vm;
  s->attached = true;
  s->read = read;
  s->readdata = data;
  s->bcode = vm->bcode;
  s->size = vm->bcode_size;
  load_symbols(s, vm->bcode, vm->bcode_size);
  veskvm_sethook(vm, on_instruction, s);
  return s;
}

void veskdbgcli_interrupt(veskdbgcli_t s) {
  s->interrupt = true;
}

int veskdbgcli_quitted(veskdbgcli_t s) {
  return s->quit ? 1 : 0;
}

void veskdbgcli_destroy(veskdbgcli_t *s) {
  if (!s || !*s) return;
  detach(*s);
  /* The breakpoints live in the caller's debug object: they end with the
     session that set them. */
  for (const Point &p : (*s)->points)
    if (!p.watch) veskdebug_breakpoint_remove_offset((*s)->dbg, p.offset);
  if (!(*s)->attached) veskvm_destroy(&(*s)->vm);
  veskdbgsyms_destroy(&(*s)->syms);
  delete *s;
  *s = nullptr;
}

veskvm_t veskdbgcli_vm(veskdbgcli_t s) {
  return s->vm;
}

/* Executes one command line; false to leave the debugger. */
static bool execute_line(veskdbgcli_t s, const std::string &line) {
  static const char *blank = " \t\r\n\v\f";
  size_t first = line.find_first_not_of(blank);
  /* Blank lines and comments let command scripts explain themselves. */
  if (first == std::string::npos || line[first] == '#') return true;
  std::string text = line.substr(first, line.find_last_not_of(blank) - first + 1);
  size_t gap = text.find_first_of(blank);
  std::string word = text.substr(0, gap);
  std::string arg;
  if (gap != std::string::npos) arg = text.substr(text.find_first_not_of(blank, gap));
  const Command *c = find_command(word);
  if (!c) {
    unknown_command(s, word);
    return true;
  }
  bool go_on = c->run(s, arg) && !s->quit;
  fflush(stdout);
  fflush(s->out);
  return go_on;
}

int veskdbgcli_execute(veskdbgcli_t s, const char *line) {
  if (!s->holding) s->quit = false;
  return execute_line(s, line ? line : "") ? 1 : 0;
}

int veskdbgcli_read_stream(void *data, char *line, size_t size) {
  auto *input = static_cast<veskdbgcli_stream_t *>(data);
  if (input->prompt) {
    fputs("(vskdbg) ", input->out);
    fflush(input->out);
  }
  if (!fgets(line, (int)size, input->in)) {
    if (input->prompt) fputc('\n', input->out);
    return 0;
  }
  /* A line longer than the buffer: the rest is dropped. */
  if (!strchr(line, '\n')) {
    int c;
    while ((c = fgetc(input->in)) != EOF && c != '\n') {
    }
  }
  line[strcspn(line, "\n")] = 0;
  return 1;
}

int veskdbgcli_repl(veskdbgcli_t s, FILE *in, int prompt) {
  veskdbgcli_stream_t input{in, s->out, prompt};
  s->quit = false;
  s->read = veskdbgcli_read_stream;
  s->readdata = &input;
  std::string line;
  while (read_command(s, &line) && execute_line(s, line)) {
  }
  s->read = nullptr;
  fflush(s->out);
  return 0;
}
