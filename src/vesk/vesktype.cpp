/*
 * Values of the Vesk language: creation and destruction of single objects,
 * deep copies that live outside the heap, hashing, equality and the ordering
 * used by comparisons and table keys.
 *
 * Some pairs of values have no order (a closure with anything but nil, a
 * table or userdata with a value of another type) and some values have no
 * table hash (nil, tables, closures, userdata). The interpreter checks
 * veskobj_comparable / veskobj_haskey first and raises a script error; the
 * functions here still give a fixed answer for such values so that nothing a
 * script does can crash the process.
 */
#include "vesktype.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "veskfatal.h"

const char *vesktype_desc[] = {"nil",   "integer", "float",   "string",
                               "table", "closure", "userdata"};

/* Float to integer truncation toward zero, saturating; NaN gives 0. */
template <typename I> static I truncate_float(float f) {
  const float limit = -(float)std::numeric_limits<I>::min(); /* 2^31 or 2^63, exact */
  if (isnan(f)) return 0;
  if (f >= limit) return std::numeric_limits<I>::max();
  if (f < -limit) return std::numeric_limits<I>::min();
  return (I)f;
}

static bool is_number(const veskobj_t o) {
  return veskobj_isint(o) || veskobj_isfloat(o);
}

static float as_float(const veskobj_t o) {
  return veskobj_isint(o) ? (float)o->i.value : o->f.value;
}

/*
 * Object creation and destruction.
 */

/* Index classes of table keys: integers among themselves compare by value
   and strings by their interned text, hence by id. Floats, which compare
   equal to integers and strings of some texts, are not indexed. */
static uint32_t table_key_class(const void *key, uint32_t *hash) {
  const veskobj_t o = *(const veskobj_t *)key;
  if (veskobj_isint(o)) {
    *hash = (uint32_t)o->i.value;
    return 1;
  }
  if (veskobj_isstring(o)) {
    *hash = o->s.id;
    return 2;
  }
  return 0;
}

static veskdict_t new_table_dict(void) {
  veskdict_t d = veskdict_new(10, sizeof(veskobj_t), sizeof(veskobj_t),
                              veskobj_table_hash, veskobj_table_keycmp, nullptr);
  veskdict_set_keyclass(d, table_key_class);
  return d;
}

void veskobj_init(veskobj_t o, uint16_t type) {
  o->o.type = type;
  if (type == VESKTYPE_TABLE) o->t.value = new_table_dict();
  if (type == VESKTYPE_CLOSURE)
    o->c.actrec = veskdarray_new(1, sizeof(veskobj_t), nullptr);
}

void veskobj_release(veskobj_t o) {
  if (veskobj_istable(o)) veskdict_destroy(&o->t.value);
  if (veskobj_isclosure(o)) veskdarray_destroy(&o->c.actrec);
}

veskobj_t veskobj_new(uint16_t type) {
  veskobj_t o = (veskobj_t)calloc(1, sizeof(union veskobj_u));
  if (!o) vesk_fatal("[FATAL] Can't allocate Vesk object.\n");
  veskobj_init(o, type);
  return o;
}

void veskobj_destroy(veskobj_t *o) {
  if (!o || !*o) return;
  veskobj_release(*o);
  free(*o);
  *o = nullptr;
}

/*
 * Deep copy. Tables are filled from a work list rather than by recursion, so
 * deeply nested structures cannot exhaust the stack; a map from source to
 * copy makes shared and cyclic structures come out with the same shape.
 */
namespace {
class Cloner {
public:
  Cloner(veskobj_makef make, void *params) : make_(make), params_(params) {}

  veskobj_t run(veskobj_t root) {
    veskobj_t copy = copy_of(root);
    while (!pending_.empty()) {
      auto [src, dst] = pending_.back();
      pending_.pop_back();
      fill(src, dst);
    }
    return copy;
  }

private:
  veskobj_t copy_of(veskobj_t src) {
    bool shared = veskobj_istable(src) || veskobj_isclosure(src);
    if (shared) {
      auto it = copies_.find(src);
      if (it != copies_.end()) return it->second;
    }
    veskobj_t dst = make_(src, params_);
    copy_payload(src, dst);
    if (shared) copies_.emplace(src, dst);
    if (veskobj_istable(src)) pending_.emplace_back(src, dst);
    return dst;
  }

  /* Copies what the object holds by value; a table's entries come later. */
  static void copy_payload(veskobj_t src, veskobj_t dst) {
    switch (veskobj_type(src)) {
    case VESKTYPE_INT:
      dst->i.value = src->i.value;
      break;
    case VESKTYPE_FLOAT:
      dst->f.value = src->f.value;
      break;
    case VESKTYPE_STRING:
      dst->s.id = src->s.id;
      dst->s.str = src->s.str;
      break;
    case VESKTYPE_CLOSURE:
      /* Captured values are shared, as in any copy of a closure. */
      dst->c.ref = src->c.ref;
      dst->c.isscript = src->c.isscript;
      veskdarray_destroy(&dst->c.actrec);
      dst->c.actrec = veskdarray_clone(src->c.actrec);
      break;
    case VESKTYPE_USERDATA:
      dst->u.value = src->u.value;
      break;
    default: /* nil has no payload; tables are filled from the work list */
      break;
    }
  }

  void fill(veskobj_t src, veskobj_t dst) {
    veskdict_t s = src->t.value;
    for (uint32_t b = 0; b < s->num_buckets; ++b) {
      veskdarray_t bucket = s->buckets[b];
      for (int64_t i = 0; bucket && i < bucket->size; ++i) {
        veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
        veskobj_t k = copy_of(*(veskobj_t *)e->key);
        veskobj_t v = copy_of(*(veskobj_t *)e->data);
        veskdict_set(dst->t.value, &k, &v);
      }
    }
  }

  veskobj_makef make_;
  void *params_;
  std::unordered_map<veskobj_t, veskobj_t> copies_;
  std::vector<std::pair<veskobj_t, veskobj_t>> pending_;
};

/* An object outside any heap with the source's header; a table gets an
   empty dictionary made like the source's. */
veskobj_t make_free_object(const veskobj_t src, void *) {
  uint16_t type = veskobj_type(src);
  if (type > VESKTYPE_USERDATA) {
    fprintf(stderr, "[BUG] %s:%d: Clone for Vesk object type %d\n", __FILE__, __LINE__,
            type);
    abort();
  }
  veskobj_t dst = veskobj_new(type == VESKTYPE_TABLE ? VESKTYPE_NIL : type);
  dst->o = src->o;
  if (type == VESKTYPE_TABLE) {
    veskdict_t s = src->t.value;
    dst->t.value = veskdict_new(s->num_buckets, s->keysize, s->datasize, s->hashf,
                                s->keycmpf, s->dstryf);
    if (s->hashf == veskobj_table_hash)
      veskdict_set_keyclass(dst->t.value, table_key_class);
  }
  return dst;
}
} // namespace

veskobj_t veskobj_deepcopy(const veskobj_t o, veskobj_makef make, void *params) {
  return Cloner(make, params).run(o);
}

veskobj_t veskobj_iclone(const veskobj_t o) {
  return veskobj_deepcopy(o, make_free_object, nullptr);
}

void veskobj_idestroy(veskobj_t *o) {
  if (!o || !*o) return;
  std::vector<veskobj_t> pending{*o};
  std::unordered_set<veskobj_t> seen{*o};
  auto visit = [&](veskobj_t x) {
    if (seen.insert(x).second) pending.push_back(x);
  };
  while (!pending.empty()) {
    veskobj_t x = pending.back();
    pending.pop_back();
    if (veskobj_istable(x)) {
      veskdict_t d = x->t.value;
      for (uint32_t b = 0; b < d->num_buckets; ++b) {
        veskdarray_t bucket = d->buckets[b];
        for (int64_t i = 0; bucket && i < bucket->size; ++i) {
          veskdict_entry_t *e = &veskdarray_get(bucket, i, veskdict_entry_t);
          visit(*(veskobj_t *)e->key);
          visit(*(veskobj_t *)e->data);
        }
      }
    }
    veskobj_destroy(&x);
  }
  *o = nullptr;
}

/*
 * Hashing.
 */
uint32_t veskobj_hash(const veskobj_t o) {
  switch (veskobj_type(o)) {
  case VESKTYPE_NIL:
    return 0;
  case VESKTYPE_INT:
    return veskdict_int32keyhash(&o->i.value);
  case VESKTYPE_FLOAT: {
    int32_t v = truncate_float<int32_t>(o->f.value);
    return veskdict_int32keyhash(&v);
  }
  case VESKTYPE_STRING:
    return veskdict_strkeyhash(&o->s.str);
  case VESKTYPE_TABLE:
    return (uint32_t)(uintptr_t)o->t.value;
  case VESKTYPE_USERDATA:
    return (uint32_t)(uintptr_t)o->u.value;
  /* Closures have no meaningful hash; the code reference agrees with equality. */
  case VESKTYPE_CLOSURE:
    return (uint32_t)o->c.ref;
  default:
    fprintf(stderr, "[BUG] %s:%d: Hash for Vesk object type %d\n", __FILE__, __LINE__,
            veskobj_type(o));
    abort();
  }
}

/* Integer keys use the remainder of truncating division, so -13 goes to bucket 3
   like -13.0; keys without a hash all go to bucket 0. */
uint32_t veskobj_table_hash(const void *key) {
  const veskobj_t o = *(const veskobj_t *)key;
  switch (veskobj_type(o)) {
  case VESKTYPE_INT:
    return (uint32_t)(o->i.value % 10);
  case VESKTYPE_FLOAT:
    return (uint32_t)truncate_float<int64_t>(o->f.value) % 10;
  case VESKTYPE_STRING:
    return o->s.id % 10;
  default:
    return 0;
  }
}

/* String keys of a table are interned by one string manager, so equal texts
   have equal ids (the hash above relies on it too): the ids decide without
   reading the texts, which are cold when many VMs share the caches. */
int veskobj_table_keycmp(const void *a, const void *b) {
  const veskobj_t x = *(const veskobj_t *)a, y = *(const veskobj_t *)b;
  if (veskobj_isstring(x) && veskobj_isstring(y)) {
    if (x->s.id != y->s.id) return x->s.id < y->s.id ? -1 : 1;
    if (x->s.str == y->s.str) return 0;
  }
  return veskobj_cmp(x, y);
}

/*
 * Equality and order.
 */
int veskobj_eq(const veskobj_t a, const veskobj_t b) {
  if (veskobj_type(a) != veskobj_type(b)) return 0;
  switch (veskobj_type(a)) {
  case VESKTYPE_NIL:
    return 1;
  case VESKTYPE_INT:
    return a->i.value == b->i.value;
  case VESKTYPE_FLOAT:
    return a->f.value == b->f.value;
  case VESKTYPE_STRING:
    return a->s.str == b->s.str || strcmp(a->s.str, b->s.str) == 0;
  case VESKTYPE_TABLE:
    return a->t.value == b->t.value;
  case VESKTYPE_USERDATA:
    return a->u.value == b->u.value;
  case VESKTYPE_CLOSURE:
    return a->c.isscript == b->c.isscript && a->c.ref == b->c.ref &&
           a->c.actrec == b->c.actrec;
  default:
    fprintf(stderr,
            "[BUG] %s:%d: Equality test between wrong Vesk objects types %d and %d\n",
            __FILE__, __LINE__, veskobj_type(a), veskobj_type(b));
    abort();
  }
}

template <typename T> static int sign_cmp(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

/* Text of a number as a string comparison sees it ("%d", or "%f": 2.5 is 2.500000). */
static void number_text(const veskobj_t o, char *buf, size_t len) {
  if (veskobj_isint(o))
    snprintf(buf, len, "%d", o->i.value);
  else
    snprintf(buf, len, "%f", (double)o->f.value);
}

/* Largest "%f" text of a float: sign, 39 digits, point, 6 decimals, terminator. */
enum { NUMBER_TEXT_MAX = 64 };

static int cmp_string_number(const veskobj_t a, const veskobj_t b) {
  char text[NUMBER_TEXT_MAX];
  if (veskobj_isstring(a)) {
    number_text(b, text, sizeof text);
    return strcmp(a->s.str, text);
  }
  number_text(a, text, sizeof text);
  return strcmp(text, b->s.str);
}

int veskobj_comparable(const veskobj_t a, const veskobj_t b) {
  if (veskobj_isnil(a) || veskobj_isnil(b)) return 1;
  bool a_scalar = is_number(a) || veskobj_isstring(a);
  bool b_scalar = is_number(b) || veskobj_isstring(b);
  if (a_scalar && b_scalar) return 1;
  return veskobj_type(a) == veskobj_type(b) &&
         (veskobj_istable(a) || veskobj_isuserdata(a));
}

/* Fixed order for pairs without one: by type number, closures by their fields
   (0 exactly when veskobj_eq holds). */
static int cmp_unordered(const veskobj_t a, const veskobj_t b) {
  if (veskobj_type(a) != veskobj_type(b))
    return sign_cmp(veskobj_type(a), veskobj_type(b));
  if (!veskobj_isclosure(a)) return 0;
  if (a->c.ref != b->c.ref) return sign_cmp(a->c.ref, b->c.ref);
  if (a->c.isscript != b->c.isscript) return sign_cmp(a->c.isscript, b->c.isscript);
  return sign_cmp((uintptr_t)a->c.actrec, (uintptr_t)b->c.actrec);
}

int veskobj_cmp(const veskobj_t a, const veskobj_t b) {
  if (veskobj_isnil(a)) return veskobj_isnil(b) ? 0 : -1;
  if (veskobj_isnil(b)) return 1;
  if (veskobj_isint(a) && veskobj_isint(b)) return sign_cmp(a->i.value, b->i.value);
  if (is_number(a) && is_number(b)) return sign_cmp(as_float(a), as_float(b));
  if (veskobj_isstring(a) && veskobj_isstring(b)) return strcmp(a->s.str, b->s.str);
  if (veskobj_isstring(a) && is_number(b)) return cmp_string_number(a, b);
  if (is_number(a) && veskobj_isstring(b)) return cmp_string_number(a, b);
  if (veskobj_istable(a) && veskobj_istable(b))
    return sign_cmp((uintptr_t)a->t.value, (uintptr_t)b->t.value);
  if (veskobj_isuserdata(a) && veskobj_isuserdata(b))
    return sign_cmp((uintptr_t)a->u.value, (uintptr_t)b->u.value);
  return cmp_unordered(a, b);
}

int veskobj_haskey(const veskobj_t o) {
  return is_number(o) || veskobj_isstring(o);
}

int veskobj_hashable(const veskobj_t o) {
  return !veskobj_isclosure(o);
}

/****************************************/
/* Printing                             */
/****************************************/

int veskobj_print(FILE *out, const veskobj_t o, veskobj_print_style style) {
  const bool dump = style == VESKOBJ_PRINT_DUMP;
  switch (veskobj_type(o)) {
  case VESKTYPE_NIL:
    return fputs(dump ? "[nil]\n" : "[nil]", out);
  case VESKTYPE_INT:
    return fprintf(out, dump ? "[int] %d\n" : "%d", o->i.value);
  case VESKTYPE_FLOAT:
    return fprintf(out, dump ? "[float] %f\n" : "%f", (double)o->f.value);
  case VESKTYPE_STRING:
    return dump ? fprintf(out, "[string] %d:'%s'\n", o->s.id, o->s.str)
                : fputs(o->s.str, out);
  case VESKTYPE_TABLE:
    return fprintf(out, dump ? "[table] %u elements\n" : "[table with %u elems]",
                   veskdict_size(o->t.value));
  case VESKTYPE_CLOSURE:
    if (dump)
      return fprintf(out, o->c.isscript ? "[n-closure] %d\n" : "[c-closure] %d\n",
                     o->c.ref);
    return fprintf(out, o->c.isscript ? "[n-closure @%d]" : "[c-closure @%d]", o->c.ref);
  default:
    return dump ? fprintf(out, "[TODO] type = %d\n", veskobj_type(o))
                : fprintf(out, "[userdata @%p]", o->u.value);
  }
}
