/*
 * The debugger's view of a program's state. Frame k (0 = innermost) is the
 * k-th call from the top of the VM's call stack; every frame but the top
 * level's has a local symbol record, whose slots hold the locals in the
 * order the compiler numbered them (veskdbgsyms names them).
 */
#include "veskdbgexpr.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

/* Tables show at most this many entries; the rest is "...". */
constexpr size_t SHOWN_ENTRIES = 40;

char *dup(const std::string &s) {
  return strdup(s.c_str());
}

std::string take(char *text) {
  std::string s = text ? text : "";
  free(text);
  return s;
}

} // namespace

int64_t veskdbgexpr_frames(veskvm_t vm) {
  return (int64_t)veskdarray_size(vm->stacks);
}

int32_t veskdbgexpr_frame_offset(veskvm_t vm, int64_t k) {
  if (k == 0) {
    int32_t off = vm->state == VESKVM_STATE_ERROR ? veskvm_error_offset(vm) : -1;
    return off >= 0 ? off : vm->pc;
  }
  if (k < 0 || k >= veskdbgexpr_frames(vm)) return -1;
  /* The call left its return address on top of the caller's operand stack;
     callc and calls are one byte long. */
  veskdarray_t st =
      veskdarray_get(vm->stacks, veskdbgexpr_frames(vm) - 1 - k, veskdarray_t);
  if (veskdarray_isempty(st)) return -1;
  veskobj_t top = veskdarray_last(st, veskobj_t);
  return veskobj_isint(top) ? top->i.value - 1 : -1;
}

char *veskdbgexpr_where(veskdebug_t dbg, int32_t off) {
  veskdebug_entry_t e =
      off < 0 || !dbg ? nullptr : veskdebug_info_get_fromoffset(dbg, (uint32_t)off);
  if (e)
    return dup(std::string(e->fname) + ":" + std::to_string(e->line) + ":" +
               std::to_string(e->col));
  if (off < 0) return dup("unknown position");
  return dup("bytecode offset " + std::to_string(off));
}

/****************************************/
/* Values                                */
/****************************************/

static std::string format(veskvm_t vm, veskdebug_t dbg, veskobj_t o, int depth);

static std::string scalar(veskdebug_t dbg, veskobj_t o) {
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
  case VESKTYPE_CLOSURE:
    if (!o->c.isscript) {
      snprintf(buf, sizeof buf, "[c-closure @%d]", o->c.ref);
      return buf;
    }
    snprintf(buf, sizeof buf, "[n-closure @%d]", o->c.ref);
    /* Where the function's code comes from helps to tell functions apart. */
    if (dbg && veskdebug_info_get_fromoffset(dbg, (uint32_t)o->c.ref))
      return buf + (" at " + take(veskdbgexpr_where(dbg, o->c.ref)));
    return buf;
  default:
    snprintf(buf, sizeof buf, "[userdata @%p]", o->u.value);
    return buf;
  }
}

static bool is_name(const char *s) {
  if (!isalpha((unsigned char)*s) && *s != '_') return false;
  for (; *s; ++s)
    if (!isalnum((unsigned char)*s) && *s != '_') return false;
  return true;
}

namespace {
struct Entry {
  veskobj_t key, value;
};
} // namespace

static void collect_entry(const void *key, void *data, void *params) {
  static_cast<std::vector<Entry> *>(params)->push_back(
      {*(const veskobj_t *)key, *(veskobj_t *)data});
}

static std::vector<Entry> entries(veskobj_t table) {
  std::vector<Entry> all;
  veskdict_foreach(table->t.value, collect_entry, &all);
  /* Integer keys first, in order, then the others by their text. */
  std::sort(all.begin(), all.end(), [](const Entry &a, const Entry &b) {
    bool ai = veskobj_isint(a.key), bi = veskobj_isint(b.key);
    if (ai != bi) return ai;
    if (ai) return a.key->i.value < b.key->i.value;
    return veskobj_cmp(a.key, b.key) < 0;
  });
  return all;
}

static std::string key_text(veskvm_t vm, veskdebug_t dbg, veskobj_t k) {
  if (veskobj_isstring(k) && is_name(k->s.str)) return k->s.str;
  return "[" + format(vm, dbg, k, 0) + "]";
}

static std::string format(veskvm_t vm, veskdebug_t dbg, veskobj_t o, int depth) {
  if (!veskobj_istable(o)) return scalar(dbg, o);
  size_t n = (size_t)veskdict_size(o->t.value);
  if (depth <= 0) return "[table with " + std::to_string(n) + " elems]";
  std::string text = "{";
  size_t shown = 0;
  for (const Entry &e : entries(o)) {
    if (shown == SHOWN_ENTRIES) {
      text += ", ...";
      break;
    }
    text += (shown++ ? ", " : "") + key_text(vm, dbg, e.key) + " = " +
            format(vm, dbg, e.value, depth - 1);
  }
  return text + "}";
}

char *veskdbgexpr_format(veskvm_t vm, veskdebug_t dbg, veskobj_t o, int depth) {
  return dup(format(vm, dbg, o, depth));
}

/****************************************/
/* Names                                 */
/****************************************/

namespace {
struct GlobalLookup {
  veskvm_t vm;
  const char *name;
  veskobj_t found;
};
} // namespace

static void match_global(const void *key, void *data, void *params) {
  auto *g = static_cast<GlobalLookup *>(params);
  const char *name = veskvm_string_get(g->vm, (uint16_t) * (const int32_t *)key);
  if (name && strcmp(name, g->name) == 0) g->found = *(veskobj_t *)data;
}

veskobj_t veskdbgexpr_global(veskvm_t vm, const char *name) {
  GlobalLookup g{vm, name, nullptr};
  veskdict_foreach(vm->gsyms, match_global, &g);
  return g.found;
}

/* The slots of frame k, or null for the top level. */
static veskdarray_t frame_slots(veskvm_t vm, int64_t k) {
  int64_t idx = (int64_t)veskdarray_size(vm->lsymts) - 1 - k;
  if (k < 0 || idx < 0 || k >= veskdbgexpr_frames(vm) - 1) return nullptr;
  return veskdarray_get(vm->lsymts, idx, veskvm_lsyms_t)->syms;
}

/* Names of the locals visible where frame k stands. */
static std::vector<veskdbgsyms_local_t> visible(veskvm_t vm, veskdebug_t dbg,
                                                veskdbgsyms_t syms, int64_t k) {
  int32_t off = veskdbgexpr_frame_offset(vm, k);
  veskdebug_entry_t e =
      off < 0 || !dbg ? nullptr : veskdebug_info_get_fromoffset(dbg, (uint32_t)off);
  if (!e || !syms) return {};
  std::vector<veskdbgsyms_local_t> names(64);
  uint32_t n = veskdbgsyms_visible(syms, e->fname, e->line, e->col, names.data(),
                                   (uint32_t)names.size());
  names.resize(std::min<size_t>(n, names.size()));
  return names;
}

static veskobj_t local(veskvm_t vm, veskdebug_t dbg, veskdbgsyms_t syms, int64_t k,
                       const std::string &name) {
  veskdarray_t slots = frame_slots(vm, k);
  if (!slots) return nullptr;
  for (const veskdbgsyms_local_t &l : visible(vm, dbg, syms, k))
    if (name == l.name && l.slot < veskdarray_size(slots))
      return veskdarray_get(slots, l.slot, veskobj_t);
  return nullptr;
}

char *veskdbgexpr_locals(veskvm_t vm, veskdebug_t dbg, veskdbgsyms_t syms, int64_t k,
                         int depth) {
  veskdarray_t slots = frame_slots(vm, k);
  if (!slots) return nullptr;
  std::vector<veskdbgsyms_local_t> names = visible(vm, dbg, syms, k);
  std::string text;
  for (int64_t i = 0; i < veskdarray_size(slots); ++i) {
    auto named = std::find_if(names.begin(), names.end(),
                              [i](const veskdbgsyms_local_t &l) { return l.slot == i; });
    /* With names known, a slot without one is the compiler's own (a
       lambda's spare slot, a local whose block has ended). */
    if (named == names.end() && syms) continue;
    std::string name =
        named != names.end() ? named->name : "[slot " + std::to_string(i) + "]";
    text +=
        name + " = " + format(vm, dbg, veskdarray_get(slots, i, veskobj_t), depth) + "\n";
  }
  return dup(text);
}

/****************************************/
/* Expressions                           */
/****************************************/

namespace {

/* NAME { .NAME | [INTEGER] | ["TEXT"] }, read left to right. */
class Reader {
public:
  explicit Reader(const char *text) : s_(text) {}
  void blanks() {
    while (s_[at_] == ' ' || s_[at_] == '\t')
      ++at_;
  }
  bool end() {
    blanks();
    return s_[at_] == 0;
  }
  bool take(char c) {
    blanks();
    if (s_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool name(std::string *out) {
    blanks();
    size_t from = at_;
    if (!isalpha((unsigned char)s_[at_]) && s_[at_] != '_') return false;
    while (isalnum((unsigned char)s_[at_]) || s_[at_] == '_')
      ++at_;
    *out = std::string(s_ + from, at_ - from);
    return true;
  }
  bool integer(int32_t *out) {
    blanks();
    char *stop;
    long v = strtol(s_ + at_, &stop, 10);
    if (stop == s_ + at_ || v < INT32_MIN || v > INT32_MAX) return false;
    at_ = (size_t)(stop - s_);
    *out = (int32_t)v;
    return true;
  }
  bool quoted(std::string *out) {
    if (!take('"')) return false;
    size_t from = at_;
    while (s_[at_] && s_[at_] != '"')
      ++at_;
    if (!s_[at_]) return false;
    *out = std::string(s_ + from, at_++ - from);
    return true;
  }

private:
  const char *s_;
  size_t at_ = 0;
};

/* A member key as written: an integer or a text. */
struct Key {
  bool isint;
  int32_t i;
  std::string text;
  bool matches(veskobj_t k) const {
    if (isint) return veskobj_isint(k) && k->i.value == i;
    return veskobj_isstring(k) && text == k->s.str;
  }
  std::string shown() const { return isint ? std::to_string(i) : "\"" + text + "\""; }
};

} // namespace

namespace {
struct MemberLookup {
  const Key &key;
  veskobj_t found;
};
} // namespace

static void match_member(const void *k, void *data, void *params) {
  auto *m = static_cast<MemberLookup *>(params);
  if (!m->found && m->key.matches(*(const veskobj_t *)k)) m->found = *(veskobj_t *)data;
}

/* A lookup needs no sorted copy of the entries. */
static veskobj_t member(veskobj_t table, const Key &key) {
  MemberLookup m{key, nullptr};
  veskdict_foreach(table->t.value, match_member, &m);
  return m.found;
}

/* The key after "." or inside "[ ]"; false when malformed. */
static bool read_key(Reader &r, bool dot, Key *key) {
  if (dot) {
    key->isint = false;
    return r.name(&key->text);
  }
  key->isint = r.integer(&key->i);
  if (!key->isint && !r.quoted(&key->text)) return false;
  return r.take(']');
}

static char *bad_expression(const char *expr) {
  return dup(std::string("bad expression '") + expr +
             "': expected NAME, NAME.FIELD or NAME[KEY]");
}

veskobj_t veskdbgexpr_eval(veskvm_t vm, veskdebug_t dbg, veskdbgsyms_t syms, int64_t k,
                           const char *expr, char **error) {
  Reader r(expr);
  std::string name;
  if (!r.name(&name)) {
    *error = bad_expression(expr);
    return nullptr;
  }
  veskobj_t o = local(vm, dbg, syms, k, name);
  if (!o) o = veskdbgexpr_global(vm, name.c_str());
  if (!o) {
    *error = dup("no variable '" + name +
                 "' here (neither a local of this frame nor a global)");
    return nullptr;
  }
  std::string path = name;
  while (!r.end()) {
    bool dot = r.take('.');
    Key key{};
    if ((!dot && !r.take('[')) || !read_key(r, dot, &key)) {
      *error = bad_expression(expr);
      return nullptr;
    }
    if (!veskobj_istable(o)) {
      *error = dup(path + " is not a table");
      return nullptr;
    }
    veskobj_t v = member(o, key);
    path += dot ? "." + key.text : "[" + key.shown() + "]";
    if (!v) {
      *error = dup(path + " does not exist");
      return nullptr;
    }
    o = v;
  }
  return o;
}
