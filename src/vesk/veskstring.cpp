/*
 * The "string" library of Vesk scripts. Strings are zero-terminated byte
 * sequences interned by the VM's string manager; lengths and positions count
 * bytes from 0. Conversions never fail with an error: unusable texts give nil.
 */
#include "veskstring.h"

#include <errno.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

int ret_string(veskvm_t vm, const char *s) {
  veskvm_pushstr(vm, s, 0);
  return veskvm_ret1(vm);
}

int ret_nil(veskvm_t vm) {
  veskvm_pushnil(vm);
  return veskvm_ret1(vm);
}

/* printf-style formatting into a string of whatever length it needs. */
template <typename T> std::string format(const char *fmt, T value) {
  int len = snprintf(nullptr, 0, fmt, value);
  std::string out(len > 0 ? (size_t)len : 0, '\0');
  if (len > 0) snprintf(out.data(), out.size() + 1, fmt, value);
  return out;
}

int string_length(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  const char *s = veskvm_checkstring(vm, 1);
  if (!s) return vm->state;
  veskvm_pushi(vm, (int32_t)strlen(s));
  return veskvm_ret1(vm);
}

int string_sub(veskvm_t vm) {
  int64_t n = veskvm_lnum(vm);
  if (n < 2 || n > 3) {
    veskvm_seterror(vm, VESKVM_ERROR_LNUM, "expected 2 or 3 parameters, got %ld",
                    (long)n);
    return vm->state;
  }
  int32_t start, end = 0;
  const char *s = veskvm_checkstring(vm, 1);
  if (!s || !veskvm_checkint(vm, 2, &start) || (n == 3 && !veskvm_checkint(vm, 3, &end)))
    return vm->state;
  /* Lengths are compared in 64 bits: a text may be longer than any int32. */
  int64_t len = (int64_t)strlen(s);
  if (start < 0 || start >= len) return ret_nil(vm);
  int64_t stop = len;
  if (n == 3) {
    if (end < start) return ret_nil(vm);
    if (end < len) stop = end;
  }
  return ret_string(vm, std::string(s + start, (size_t)(stop - start)).c_str());
}

int string_concat(veskvm_t vm) {
  int64_t n = veskvm_lnum(vm);
  if (!veskvm_checkminargs(vm, 2)) return vm->state;
  /* Every parameter is checked before anything is built. */
  std::vector<const char *> parts;
  for (int64_t i = 1; i <= n; ++i) {
    parts.push_back(veskvm_checkstring(vm, (uint32_t)i));
    if (!parts.back()) return vm->state;
  }
  std::string out;
  for (const char *p : parts)
    out += p;
  return ret_string(vm, out.c_str());
}

int string_tostring(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  veskobj_t x = veskvm_checkarg(vm, 1);
  if (!x) return vm->state;
  if (veskobj_isint(x)) return ret_string(vm, format("%d", x->i.value).c_str());
  if (veskobj_isfloat(x)) return ret_string(vm, format("%f", (double)x->f.value).c_str());
  return ret_nil(vm);
}

int string_toint(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  const char *s = veskvm_checkstring(vm, 1);
  if (!s) return vm->state;
  char *end;
  errno = 0;
  double d = strtod(s, &end);
  double t = trunc(d);
  if (end == s || (errno != 0 && t == 0.0)) return ret_nil(vm);
  /* Out of range (and NaN, which fails both tests): nil rather than a wrapped value. */
  if (!(t >= (double)INT32_MIN && t <= (double)INT32_MAX)) return ret_nil(vm);
  veskvm_pushi(vm, (int32_t)t);
  return veskvm_ret1(vm);
}

int string_tofloat(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  const char *s = veskvm_checkstring(vm, 1);
  if (!s) return vm->state;
  char *end;
  errno = 0;
  float f = strtof(s, &end);
  if (end == s || (errno != 0 && f == 0.0f)) return ret_nil(vm);
  veskvm_pushf(vm, f);
  return veskvm_ret1(vm);
}

struct NamedFunction {
  const char *name;
  veskvm_funp fun;
};

const NamedFunction STRING_FUNCTIONS[] = {
    {"length", string_length},     {"sub", string_sub},     {"concat", string_concat},
    {"tostring", string_tostring}, {"toint", string_toint}, {"tofloat", string_tofloat}};

} // namespace

int veskstring_register(veskvm_t vm) {
  veskvm_pushstr(vm, "string", 1);
  veskvm_push(vm, veskheap_newobj(vm->heap, VESKTYPE_TABLE));
  for (const NamedFunction &f : STRING_FUNCTIONS)
    veskvm_table_put_function(vm, f.name, f.fun);
  veskvm_gstore(vm);
  return vm->state;
}
