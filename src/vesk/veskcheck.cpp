/*
 * Static checks of Vesk scripts. The compiler itself parses the script with
 * an observer that records every declaration and every use of a name as
 * the compiler resolves it (includes, scopes and the lambda capture rule
 * included); the checks then run over that record.
 */
#include "veskcheck.h"
#include "veskparser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

/* Globals that exist before a script runs: those of the console runner and
   of the virtual machine's libraries, then those the robots' controllers
   register (natives and sensor readings), for every robot kind. Sorted;
   the last entry ends the list. */
const char *const BUILTINS[] = {
    "blobs",
    "camera_disable",
    "camera_enable",
    "clone",
    "controller",
    "debug",
    "foreach",
    "generate_forest",
    "generate_tree",
    "goto",
    "id",
    "io",
    "land",
    "log",
    "map",
    "math",
    "neighbors",
    "orientation",
    "position",
    "print",
    "proximity",
    "reduce",
    "rng",
    "robot_type",
    "rotate",
    "set_wheels",
    "set_wheels_base_station",
    "setleds",
    "size",
    "soc",
    "start_charging",
    "start_processing",
    "stigmergy",
    "stop_charging",
    "stop_processing",
    "string",
    "swarm",
    "takeoff",
    "type",
    nullptr,
};

/* The comment text that silences the warnings of its line. */
const char IGNORE_MARK[] = "check: ignore";

struct Pos {
  std::string fname;
  uint64_t line = 0, col = 0;
  bool operator<(const Pos &o) const {
    return std::tie(fname, line, col) < std::tie(o.fname, o.line, o.col);
  }
};

/* One observed event, copied out of the compiler's transient record. */
struct Seen {
  int32_t what, decl;
  std::string name;
  bool global;
  int64_t symbol;
  int32_t symdepth, depth;
  int64_t count;
  Pos at;
};

struct Warning {
  Pos at;
  std::string text;
};

void record(const veskparser_seen_t *s, void *data) {
  auto *seen = static_cast<std::vector<Seen> *>(data);
  seen->push_back({s->what,
                   s->decl,
                   s->name,
                   s->global != 0,
                   s->symbol,
                   s->symdepth,
                   s->depth,
                   s->count,
                   {s->fname, s->line, s->col}});
}

/* Compiles source with the recorder attached; false after the compiler's
   messages. The listing itself is discarded. */
bool observe_compilation(const char *source, std::vector<Seen> &seen) {
  char *text = nullptr;
  size_t len = 0;
  FILE *out = open_memstream(&text, &len);
  if (!out) {
    perror(source);
    return false;
  }
  veskparser_t p = veskparser_new_stream(source, out, nullptr);
  if (p) veskparser_observe(p, record, &seen);
  bool ok = p && veskparser_parse(p) == PARSE_OK;
  veskparser_destroy(&p);
  fclose(out);
  free(text);
  return ok;
}

/* How a variable is bound: its bindings (declarations and assignments),
   whether it is read, and the parameter count when its only binding is a
   function. */
struct Binding {
  int binds = 0;
  bool read = false;
  int64_t arity = -1;
};

/* What the record says about every global (by name) and local (by
   declaration number). */
struct Symbols {
  std::map<std::string, Binding> globals;
  std::map<int64_t, Binding> locals;

  Binding &of(const Seen &s) { return s.global ? globals[s.name] : locals[s.symbol]; }

  explicit Symbols(const std::vector<Seen> &seen) {
    for (const Seen &s : seen) {
      Binding &b = of(s);
      if (s.what == VESKPARSER_SEEN_READ) b.read = true;
      if (s.what != VESKPARSER_SEEN_DECLARE && s.what != VESKPARSER_SEEN_WRITE) continue;
      ++b.binds;
      if (s.what == VESKPARSER_SEEN_DECLARE) b.arity = s.count;
    }
  }

  /* Parameter count of the function a call reaches, or -1 when unknown. */
  int64_t callee_arity(const Seen &call) {
    if (call.global && veskcheck_is_builtin(call.name.c_str())) return -1;
    const Binding &b = of(call);
    return b.binds == 1 ? b.arity : -1;
  }
};

std::string quoted(const std::string &name) {
  return "'" + name + "'";
}

std::string plural(int64_t n, const char *word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string unassigned_text(const std::string &name) {
  std::string text = quoted(name) + " is read but never assigned anywhere: it is nil";
  if (name == "true" || name == "false")
    return text + " (Vesk has no true and false: write 1 and 0)";
  return text + " (misspelled?)";
}

std::string arity_text(const std::string &name, int64_t arity, int64_t count) {
  std::string text = quoted(name) + " takes " + plural(arity, "argument") +
                     " but is called with " + std::to_string(count) + ": ";
  if (count < arity) return text + "reading a missing parameter is a run-time error";
  return text + "the extra arguments are ignored";
}

/* The warnings of one event, if any. */
void check_event(const Seen &s, Symbols &symbols, std::vector<Warning> &out) {
  switch (s.what) {
  case VESKPARSER_SEEN_READ:
    if (s.global && symbols.globals[s.name].binds == 0 &&
        !veskcheck_is_builtin(s.name.c_str()))
      out.push_back({s.at, unassigned_text(s.name)});
    return;
  case VESKPARSER_SEEN_WRITE:
    if (!s.global && s.symdepth < s.depth && s.name != "self")
      out.push_back({s.at, "assignment to " + quoted(s.name) +
                               " changes only this lambda's copy of the enclosing "
                               "function's local (share a table to change it)"});
    return;
  case VESKPARSER_SEEN_CALL: {
    int64_t arity = symbols.callee_arity(s);
    if (arity >= 0 && arity != s.count)
      out.push_back({s.at, arity_text(s.name, arity, s.count)});
    return;
  }
  default:
    if (s.decl == VESKPARSER_DECL_VAR && !s.global && !symbols.locals[s.symbol].read)
      out.push_back({s.at, "local variable " + quoted(s.name) + " is never read"});
  }
}

/* The comment of a source line ("" when it has none): from the first '#'
   outside a string. */
std::string comment_of(const std::string &line) {
  char quote = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote && c == '\\')
      ++i;
    else if (quote)
      quote = c == quote ? 0 : quote;
    else if (c == '"' || c == '\'')
      quote = c;
    else if (c == '#')
      return line.substr(i + 1);
  }
  return "";
}

/* Lines of the source files that silence their warnings, by file. */
class Silencer {
public:
  bool silenced(const Pos &at) {
    auto it = files.find(at.fname);
    if (it == files.end()) it = files.emplace(at.fname, read_marks(at.fname)).first;
    return it->second.count(at.line) > 0;
  }

private:
  static std::set<uint64_t> read_marks(const std::string &fname) {
    std::set<uint64_t> marks;
    std::ifstream in(fname);
    std::string line;
    for (uint64_t n = 1; std::getline(in, line); ++n)
      if (comment_of(line).find(IGNORE_MARK) != std::string::npos) marks.insert(n);
    return marks;
  }
  std::map<std::string, std::set<uint64_t>> files;
};

} // namespace

int veskcheck_is_builtin(const char *name) {
  return std::binary_search(
      std::begin(BUILTINS), std::end(BUILTINS) - 1, name,
      [](const char *a, const char *b) { return strcmp(a, b) < 0; });
}

const char *const *veskcheck_builtins(void) {
  return BUILTINS;
}

int veskcheck_file(const char *source, FILE *out) {
  std::vector<Seen> seen;
  if (!observe_compilation(source, seen)) return -1;
  Symbols symbols(seen);
  std::vector<Warning> warnings;
  for (const Seen &s : seen)
    check_event(s, symbols, warnings);
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const Warning &a, const Warning &b) { return a.at < b.at; });
  Silencer silencer;
  int count = 0;
  for (const Warning &w : warnings) {
    if (silencer.silenced(w.at)) continue;
    fprintf(out, "%s:%lu:%lu: warning: %s\n", w.at.fname.c_str(),
            (unsigned long)w.at.line, (unsigned long)w.at.col, w.text.c_str());
    ++count;
  }
  return count;
}
