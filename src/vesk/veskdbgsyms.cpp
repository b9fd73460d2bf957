/*
 * Local variable names by source position. Every function and lambda is a
 * span of source with the locals declared in it; a local is visible from
 * its declaration to the end of its block. Events arrive in source order, so
 * the functions being compiled form a stack, and a block's end closes the
 * locals that received the slots it frees.
 *
 * A lambda inside a function starts with a copy of the enclosing function's
 * visible locals in the same slots (the closure captures them there); a
 * named function or a lambda of the top level starts with self in slot 0.
 */
#include "veskdbgsyms.h"

#include <algorithm>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace {

/* A position within one file: line, then column. */
struct Pos {
  uint64_t line = 0, col = 0;
  bool operator<(const Pos &o) const {
    return std::tie(line, col) < std::tie(o.line, o.col);
  }
  bool operator<=(const Pos &o) const { return !(o < *this); }
  bool operator==(const Pos &o) const = default;
};

const Pos open_end{std::numeric_limits<uint64_t>::max(), 0};

struct Local {
  std::string name;
  int64_t slot;
  Pos from, to = open_end;
};

struct Function {
  std::string fname;
  Pos begin, end = open_end;
  std::vector<Local> locals;
  bool contains(const std::string &f, const Pos &p) const {
    return f == fname && begin <= p && p < end;
  }
};

} // namespace

struct veskdbgsyms_s {
  std::vector<Function> functions;
  std::vector<size_t> compiling; /* indices of the functions not yet ended */
};

veskdbgsyms_t veskdbgsyms_new(void) {
  return new veskdbgsyms_s;
}

void veskdbgsyms_destroy(veskdbgsyms_t *s) {
  if (!s) return;
  delete *s;
  *s = nullptr;
}

static Function *current(veskdbgsyms_t s) {
  return s->compiling.empty() ? nullptr : &s->functions[s->compiling.back()];
}

static void begin_function(veskdbgsyms_t s, const veskparser_seen_t *e, const Pos &at) {
  Function f{e->fname, at, open_end, {}};
  const Function *outer = current(s);
  if (e->depth <= 1 || !outer) {
    f.locals.push_back({"self", 0, at, open_end});
  } else {
    for (const Local &l : outer->locals)
      if (l.to == open_end) f.locals.push_back({l.name, l.slot, at, open_end});
  }
  s->functions.push_back(std::move(f));
  s->compiling.push_back(s->functions.size() - 1);
}

/* Closes the open locals in slots from `slot` on. */
static void close_from(Function *f, int64_t slot, const Pos &at) {
  for (Local &l : f->locals)
    if (l.slot >= slot && l.to == open_end) l.to = at;
}

void veskdbgsyms_observe(const veskparser_seen_t *e, void *data) {
  auto s = static_cast<veskdbgsyms_t>(data);
  Pos at{e->line, e->col};
  Function *f = current(s);
  switch (e->what) {
  case VESKPARSER_SEEN_FUNCTION_BEGIN:
    begin_function(s, e, at);
    return;
  case VESKPARSER_SEEN_FUNCTION_END:
    if (!f) return;
    f->end = at;
    close_from(f, 0, at);
    s->compiling.pop_back();
    return;
  case VESKPARSER_SEEN_BLOCK_END:
    if (f) close_from(f, e->slot, at);
    return;
  case VESKPARSER_SEEN_DECLARE:
    if (f && !e->global && e->slot >= 0) f->locals.push_back({e->name, e->slot, at});
    return;
  default:
    return;
  }
}

/* The innermost function around a position: the one that begins last. */
static const Function *innermost(veskdbgsyms_t s, const std::string &fname,
                                 const Pos &p) {
  const Function *best = nullptr;
  for (const Function &f : s->functions)
    if (f.contains(fname, p) && (!best || best->begin < f.begin)) best = &f;
  return best;
}

uint32_t veskdbgsyms_visible(veskdbgsyms_t s, const char *fname, uint64_t line,
                             uint64_t col, veskdbgsyms_local_t *out, uint32_t max) {
  if (!s || !fname) return 0;
  Pos p{line, col};
  const Function *f = innermost(s, fname, p);
  if (!f) return 0;
  /* Later declarations shadow earlier ones of the same name. */
  std::vector<const Local *> seen;
  for (const Local &l : f->locals) {
    if (!(l.from <= p && p < l.to)) continue;
    auto same = std::find_if(seen.begin(), seen.end(),
                             [&](const Local *o) { return o->name == l.name; });
    if (same != seen.end())
      *same = &l;
    else
      seen.push_back(&l);
  }
  std::sort(seen.begin(), seen.end(),
            [](const Local *a, const Local *b) { return a->slot < b->slot; });
  for (uint32_t i = 0; i < seen.size() && i < max; ++i)
    out[i] = {seen[i]->name.c_str(), seen[i]->slot};
  return (uint32_t)seen.size();
}
