/*
 * Wire encoding of inter-robot messages. Every read is bounds-checked with
 * 64-bit sums so that no position near the 32-bit limit can wrap around;
 * a peer's bytes never make the decoder read outside the payload, recurse
 * without bound, or create objects of unknown types.
 */
#include "veskmsg.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "veskfatal.h"
#include "veskvm.h"

const char *const veskmsg_kind_desc[VESKMSG_KINDS] = {
    "VESKMSG_BROADCAST", "VESKMSG_SWARM_LIST", "VESKMSG_VSTIG_PUT",
    "VESKMSG_VSTIG_GET", "VESKMSG_SWARM_JOIN", "VESKMSG_SWARM_LEAVE"};

namespace {

bool fits(const veskdarray_t p, uint32_t pos, uint64_t width) {
  return static_cast<uint64_t>(pos) + width <= static_cast<uint64_t>(p->size);
}

const uint8_t *at(const veskdarray_t p, uint32_t pos) {
  return p->data + pos;
}

void append(veskdarray_t p, const uint8_t *bytes, size_t n) {
  for (size_t i = 0; i < n; ++i)
    veskdarray_push(p, &bytes[i]);
}

uint32_t read_be32(const uint8_t *b) {
  return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
         (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

/* Encoded mantissa and exponent fields of a float. */
std::pair<int32_t, int32_t> float_fields(float x) {
  if (std::isnan(x)) return {0, VESKMSG_FLOAT_EXP_NAN};
  if (std::isinf(x)) return {0, x > 0 ? VESKMSG_FLOAT_EXP_PINF : VESKMSG_FLOAT_EXP_NINF};
  int e = 0;
  float m = frexpf(x, &e);
  float d = fabsf(m) - 0.5f;
  if (d < 0.0f) return {0, 0};
  float scaled = static_cast<float>(MAX_MANTISSA) * (d + d);
  int32_t field = static_cast<int32_t>(scaled) + 1;
  return {x < 0.0f ? -field : field, e};
}

float float_value(int32_t mant, int32_t exp) {
  if (mant == 0) {
    if (exp == VESKMSG_FLOAT_EXP_PINF) return INFINITY;
    if (exp == VESKMSG_FLOAT_EXP_NINF) return -INFINITY;
    if (exp == VESKMSG_FLOAT_EXP_NAN) return NAN;
    return 0.0f;
  }
  /* 64-bit magnitude: the most negative field has no 32-bit absolute value. */
  int64_t mag = mant < 0 ? -static_cast<int64_t>(mant) : mant;
  float f =
      static_cast<float>(mag - 1) / (2.0f * static_cast<float>(MAX_MANTISSA)) + 0.5f;
  float r = ldexpf(f, exp);
  return mant < 0 ? -r : r;
}

bool is_nan_float(const veskobj_t o) {
  return veskobj_isfloat(o) && std::isnan(o->f.value);
}

/* Pairs of a table, in walking order. */
std::vector<std::pair<veskobj_t, veskobj_t>> table_entries(const veskobj_t t) {
  std::vector<std::pair<veskobj_t, veskobj_t>> out;
  out.reserve(veskdict_size(t->t.value));
  veskdict_foreach(
      t->t.value,
      [](const void *k, void *v, void *params) {
        static_cast<std::vector<std::pair<veskobj_t, veskobj_t>> *>(params)->emplace_back(
            *static_cast<const veskobj_t *>(k), *static_cast<veskobj_t *>(v));
      },
      &out);
  return out;
}

int serialize_obj(veskdarray_t p, const veskobj_t o, int depth) {
  veskmsg_serialize_u16(p, veskobj_type(o));
  switch (veskobj_type(o)) {
  case VESKTYPE_NIL:
    return 1;
  case VESKTYPE_INT:
    veskmsg_serialize_u32(p, static_cast<uint32_t>(o->i.value));
    return 1;
  case VESKTYPE_FLOAT:
    veskmsg_serialize_float(p, o->f.value);
    return 1;
  case VESKTYPE_STRING:
    return veskmsg_serialize_string(p, o->s.str);
  case VESKTYPE_TABLE: {
    if (depth >= VESKMSG_MAX_DEPTH) return 0;
    veskmsg_serialize_u32(p, veskdict_size(o->t.value));
    for (const auto &[k, v] : table_entries(o))
      if (!serialize_obj(p, k, depth + 1) || !serialize_obj(p, v, depth + 1)) return 0;
    return 1;
  }
  default:
    /* Closures and userdata have no meaning on another robot: tag only. */
    fprintf(stderr, "[TODO] %s %d\n", __FILE__, __LINE__);
    return 1;
  }
}

int64_t deserialize_table(veskobj_t t, const veskdarray_t p, uint32_t pos, veskvm_t vm,
                          int depth);

/* A string object, made only once its text has an id: a peer sending more
   distinct texts than there are ids gets its message refused, never an
   object without text. */
int64_t deserialize_string_obj(veskobj_t *out, const veskdarray_t p, uint32_t pos,
                               veskvm_t vm) {
  char *text = nullptr;
  int64_t r = veskmsg_deserialize_string(&text, p, pos);
  if (r < 0) return -1;
  const char *interned = nullptr;
  uint16_t id = veskstrman_intern(vm->strings, text, 0, &interned);
  free(text);
  if (!interned) return -1;
  veskobj_t o = veskheap_newobj(vm->heap, VESKTYPE_STRING);
  o->s.id = id;
  o->s.str = interned;
  *out = o;
  return r;
}

int64_t deserialize_obj(veskobj_t *out, const veskdarray_t p, uint32_t pos, veskvm_t vm,
                        int depth) {
  uint16_t tag = 0;
  int64_t r = veskmsg_deserialize_u16(&tag, p, pos);
  if (r < 0) return -1;
  /* The tag is checked before an object is made: no object of an unknown type. */
  if (tag > VESKTYPE_TABLE) {
    fprintf(stderr, "TODO: %s %d\n", __FILE__, __LINE__);
    return -1;
  }
  if (tag == VESKTYPE_TABLE && depth >= VESKMSG_MAX_DEPTH) return -1;
  if (tag == VESKTYPE_STRING)
    return deserialize_string_obj(out, p, static_cast<uint32_t>(r), vm);
  veskobj_t o = veskheap_newobj(vm->heap, tag);
  *out = o;
  pos = static_cast<uint32_t>(r);
  switch (tag) {
  case VESKTYPE_NIL:
    return pos;
  case VESKTYPE_INT: {
    uint32_t v = 0;
    r = veskmsg_deserialize_u32(&v, p, pos);
    if (r >= 0) o->i.value = static_cast<int32_t>(v);
    return r;
  }
  case VESKTYPE_FLOAT:
    return veskmsg_deserialize_float(&o->f.value, p, pos);
  default:
    return deserialize_table(o, p, pos, vm, depth);
  }
}

int64_t deserialize_table(veskobj_t t, const veskdarray_t p, uint32_t pos, veskvm_t vm,
                          int depth) {
  uint32_t count = 0;
  int64_t r = veskmsg_deserialize_u32(&count, p, pos);
  /* Every entry takes at least 4 bytes, so a hostile count fails fast. */
  for (uint32_t i = 0; r >= 0 && i < count; ++i) {
    veskobj_t k = nullptr, v = nullptr;
    r = deserialize_obj(&k, p, static_cast<uint32_t>(r), vm, depth + 1);
    if (r < 0) return -1;
    if (!veskobj_haskey(k) || is_nan_float(k)) return -1;
    r = deserialize_obj(&v, p, static_cast<uint32_t>(r), vm, depth + 1);
    if (r < 0) return -1;
    /* As in the VM, a nil value means the key is absent. */
    if (!veskobj_isnil(v)) veskdict_set(t->t.value, &k, &v);
  }
  return r;
}

uint32_t hash_float(float f) {
  if (std::isnan(f)) return 0x7fc00000u;
  if (f == 0.0f) return 0;
  uint32_t bits;
  memcpy(&bits, &f, sizeof bits);
  return bits * 2654435761u;
}

uint32_t hash_text(const char *s) {
  uint32_t h = 2166136261u;
  for (; *s; ++s)
    h = (h ^ static_cast<uint8_t>(*s)) * 16777619u;
  return h;
}

bool is_number(const veskobj_t o) {
  return veskobj_isint(o) || veskobj_isfloat(o);
}

float as_float(const veskobj_t o) {
  return veskobj_isint(o) ? static_cast<float>(o->i.value) : o->f.value;
}

} // namespace

void veskmsg_serialize_u8(veskdarray_t payload, uint8_t v) {
  veskdarray_push(payload, &v);
}

int64_t veskmsg_deserialize_u8(uint8_t *out, const veskdarray_t payload, uint32_t pos) {
  if (!fits(payload, pos, 1)) return -1;
  *out = *at(payload, pos);
  return static_cast<int64_t>(pos) + 1;
}

void veskmsg_serialize_u16(veskdarray_t payload, uint16_t v) {
  const uint8_t b[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  append(payload, b, 2);
}

int64_t veskmsg_deserialize_u16(uint16_t *out, const veskdarray_t payload, uint32_t pos) {
  if (!fits(payload, pos, 2)) return -1;
  const uint8_t *b = at(payload, pos);
  *out = static_cast<uint16_t>((b[0] << 8) | b[1]);
  return static_cast<int64_t>(pos) + 2;
}

void veskmsg_serialize_u32(veskdarray_t payload, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  append(payload, b, 4);
}

int64_t veskmsg_deserialize_u32(uint32_t *out, const veskdarray_t payload, uint32_t pos) {
  if (!fits(payload, pos, 4)) return -1;
  *out = read_be32(at(payload, pos));
  return static_cast<int64_t>(pos) + 4;
}

void veskmsg_serialize_float(veskdarray_t payload, float v) {
  auto [mant, exp] = float_fields(v);
  veskmsg_serialize_u32(payload, static_cast<uint32_t>(mant));
  veskmsg_serialize_u32(payload, static_cast<uint32_t>(exp));
}

int64_t veskmsg_deserialize_float(float *out, const veskdarray_t payload, uint32_t pos) {
  if (!fits(payload, pos, 8)) return -1;
  int32_t mant = static_cast<int32_t>(read_be32(at(payload, pos)));
  int32_t exp = static_cast<int32_t>(read_be32(at(payload, pos + 4)));
  *out = float_value(mant, exp);
  return static_cast<int64_t>(pos) + 8;
}

int veskmsg_serialize_string(veskdarray_t payload, const char *str) {
  size_t n = strlen(str);
  if (n > VESKMSG_MAX_STRLEN) return 0;
  veskmsg_serialize_u16(payload, static_cast<uint16_t>(n));
  append(payload, reinterpret_cast<const uint8_t *>(str), n);
  return 1;
}

int64_t veskmsg_deserialize_string(char **out, const veskdarray_t payload, uint32_t pos) {
  uint16_t n = 0;
  int64_t r = veskmsg_deserialize_u16(&n, payload, pos);
  if (r < 0 || !fits(payload, static_cast<uint32_t>(r), n)) return -1;
  char *s = static_cast<char *>(malloc(static_cast<size_t>(n) + 1));
  if (!s) vesk_fatal("[FATAL] Can't allocate a received string.\n");
  memcpy(s, at(payload, static_cast<uint32_t>(r)), n);
  s[n] = '\0';
  *out = s;
  return r + n;
}

int veskobj_serialize(veskdarray_t payload, const veskobj_t o) {
  return serialize_obj(payload, o, 0);
}

int64_t veskobj_deserialize(veskobj_t *out, const veskdarray_t payload, uint32_t pos,
                            struct veskvm_s *vm) {
  return deserialize_obj(out, payload, pos, vm, 0);
}

const char *veskmsg_obj_check(const veskobj_t o, uint64_t *size, uint64_t limit) {
  /* Explicit work list: a cyclic or very deep value must not recurse. */
  std::vector<std::pair<veskobj_t, int>> work{{o, 1}};
  while (!work.empty()) {
    auto [cur, level] = work.back();
    work.pop_back();
    *size += 2;
    switch (veskobj_type(cur)) {
    case VESKTYPE_INT:
      *size += 4;
      break;
    case VESKTYPE_FLOAT:
      *size += 8;
      break;
    case VESKTYPE_STRING: {
      size_t n = strlen(cur->s.str);
      if (n > VESKMSG_MAX_STRLEN) return "a text longer than 65535 bytes cannot be sent";
      *size += 2 + n;
      break;
    }
    case VESKTYPE_TABLE:
      if (level > VESKMSG_MAX_DEPTH)
        return "tables nested more than 64 deep (or a table containing itself) cannot be "
               "sent";
      *size += 4;
      for (const auto &[k, v] : table_entries(cur)) {
        if (is_nan_float(k)) return "a table with a NaN key cannot be sent";
        work.emplace_back(k, level + 1);
        work.emplace_back(v, level + 1);
      }
      break;
    default:
      break;
    }
    if (*size > limit) return "a message longer than 65535 bytes cannot be sent";
  }
  return nullptr;
}

int veskmsg_check_sendable(struct veskvm_s *vm, uint64_t header, const veskobj_t *objs,
                           int n) {
  uint64_t size = header;
  for (int i = 0; i < n; ++i) {
    const char *why = veskmsg_obj_check(objs[i], &size, VESKMSG_MAX_LEN);
    if (why) {
      veskvm_seterror(vm, VESKVM_ERROR_TYPE, "%s", why);
      return 0;
    }
  }
  return 1;
}

uint32_t veskmsg_key_hash(const veskobj_t k) {
  switch (veskobj_type(k)) {
  case VESKTYPE_INT:
  case VESKTYPE_FLOAT:
    return hash_float(as_float(k));
  case VESKTYPE_STRING:
    return hash_text(k->s.str);
  default:
    return veskobj_type(k);
  }
}

int veskmsg_key_eq(const veskobj_t a, const veskobj_t b) {
  if (veskobj_isint(a) && veskobj_isint(b)) return a->i.value == b->i.value;
  if (is_number(a) && is_number(b)) {
    float x = as_float(a), y = as_float(b);
    return x == y || (std::isnan(x) && std::isnan(y));
  }
  if (veskobj_type(a) != veskobj_type(b)) return 0;
  if (veskobj_isnil(a)) return 1;
  if (veskobj_isstring(a)) return strcmp(a->s.str, b->s.str) == 0;
  return veskobj_eq(a, b);
}

int veskmsg_key_valid(const veskobj_t k) {
  return veskobj_isnil(k) || is_number(k) || veskobj_isstring(k);
}

veskobj_t veskmsg_obj_toheap(struct veskvm_s *vm, const veskobj_t o) {
  return veskheap_copyobj(vm->heap, o);
}

namespace {

/* The calling thread's warning handler; null: standard error. */
thread_local veskmsg_warn_fn warn_handler = nullptr;
thread_local void *warn_data = nullptr;

} // namespace

void veskmsg_set_warn_handler(veskmsg_warn_fn fn, void *data, veskmsg_warn_fn *prev,
                              void **prev_data) {
  if (prev) *prev = warn_handler;
  if (prev_data) *prev_data = warn_data;
  warn_handler = fn;
  warn_data = data;
}

/* The warning is formatted whole first, so that robots warning on other
   threads at the same time never cut into each other's lines. */
void veskmsg_warn(struct veskvm_s *vm, const char *fmt, ...) {
  char prefix[48];
  const int plen = snprintf(prefix, sizeof prefix, "[WARNING] [ROBOT %u] ", vm->robot);
  va_list ap, aq;
  va_start(ap, fmt);
  va_copy(aq, ap);
  const int mlen = vsnprintf(nullptr, 0, fmt, aq);
  va_end(aq);
  std::vector<char> text(static_cast<size_t>(plen) + (mlen > 0 ? mlen : 0) + 1);
  memcpy(text.data(), prefix, static_cast<size_t>(plen));
  vsnprintf(text.data() + plen, text.size() - static_cast<size_t>(plen), fmt, ap);
  va_end(ap);
  if (warn_handler)
    warn_handler(text.data(), warn_data);
  else
    fputs(text.data(), stderr);
}

int veskmsg_pusht(struct veskvm_s *vm) {
  return veskvm_push(vm, veskheap_newobj(vm->heap, VESKTYPE_TABLE));
}

int veskmsg_tset(struct veskvm_s *vm, const char *key) {
  veskobj_t v = veskvm_stack_at(vm, 1);
  veskvm_pop(vm);
  veskvm_dup(vm);
  veskvm_pushstr(vm, key, 1);
  veskvm_push(vm, v);
  return veskvm_tput(vm);
}

int veskmsg_tget(struct veskvm_s *vm, veskobj_t t, const char *key) {
  veskvm_push(vm, t);
  veskvm_pushstr(vm, key, 1);
  return veskvm_tget(vm);
}

/* The id of a protected name, or -1 when no id is left. */
static int32_t name_id(struct veskvm_s *vm, const char *name) {
  const char *text;
  uint16_t id = veskstrman_intern(vm->strings, name, 1, &text);
  return text ? id : -1;
}

/* Natives and hosts read fields and globals by name every control step: a
   probe key on the C stack finds them without making string objects. */
veskobj_t veskmsg_tpeek(struct veskvm_s *vm, veskobj_t t, const char *key) {
  if (!t || !veskobj_istable(t)) return nullptr;
  union veskobj_u probe;
  memset(&probe, 0, sizeof probe);
  probe.s.hdr.type = VESKTYPE_STRING;
  probe.s.id = veskstrman_intern(vm->strings, key, 1, &probe.s.str);
  if (!probe.s.str) return nullptr;
  veskobj_t k = &probe;
  veskobj_t *v = veskdict_get(t->t.value, &k, veskobj_t);
  return v ? *v : nullptr;
}

veskobj_t veskmsg_global(struct veskvm_s *vm, const char *name) {
  int32_t id = name_id(vm, name);
  if (id < 0) return nullptr;
  veskobj_t *v = veskdict_get(vm->gsyms, &id, veskobj_t);
  return v ? *v : nullptr;
}

int veskmsg_gset(struct veskvm_s *vm, const char *name) {
  if (veskvm_stack_size(vm) < 1) return veskvm_pop(vm); /* the stack error */
  veskobj_t v = veskvm_stack_at(vm, 1);
  int32_t id = name_id(vm, name);
  if (id < 0) {
    veskvm_seterror(vm, VESKVM_ERROR_STRING, "no string id left for '%s'", name);
    return vm->state;
  }
  veskdict_set(vm->gsyms, &id, &v);
  return veskvm_pop(vm);
}

void veskmsg_pop_to(struct veskvm_s *vm, int64_t size) {
  while (veskvm_stack_size(vm) > size && vm->state == VESKVM_STATE_READY)
    veskvm_pop(vm);
}

int veskmsg_self_id(struct veskvm_s *vm, int32_t *id) {
  veskvm_lload(vm, 0);
  veskobj_t self = veskvm_stack_at(vm, 1);
  if (!self || !veskobj_istable(self)) return veskvm_type_assert(vm, 1, VESKTYPE_TABLE);
  veskobj_t value = veskmsg_tpeek(vm, self, "id");
  if (!value || !veskobj_isint(value)) {
    veskmsg_tget(vm, self, "id"); /* the value, for the type error */
    return veskvm_type_assert(vm, 1, VESKTYPE_INT);
  }
  *id = value->i.value;
  return veskvm_pop(vm);
}
