/*
 * The "math" and "rng" libraries of Vesk scripts. All real arithmetic is
 * single precision, like the VM's float type. The generator is MT19937, one
 * independent stream per VM, kept in vm->rngstate / vm->rngidx.
 */
#include "veskmath.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/time.h>

#include "veskfatal.h"

namespace {

/* MT19937 parameters. */
constexpr int MT_N = VESKMATH_MT_WORDS;
constexpr int MT_M = 397;
constexpr uint32_t MT_MATRIX = 0x9908B0DFu;
constexpr uint32_t MT_UPPER = 0x80000000u;
constexpr uint32_t MT_LOWER = 0x7FFFFFFFu;
constexpr uint32_t MT_SEED_MULT = 1812433253u;

/* 2^32 as a float: scales a draw into [0, 1]. */
constexpr float TWO32 = 4294967296.0f;

const char *const NUMBER_TYPES[] = {"float", "integer"};

bool to_float(veskobj_t o, float *out) {
  if (veskobj_isint(o)) {
    *out = (float)o->i.value;
    return true;
  }
  if (veskobj_isfloat(o)) {
    *out = o->f.value;
    return true;
  }
  return false;
}

bool is_number(veskobj_t o) {
  return veskobj_isint(o) || veskobj_isfloat(o);
}

/* Type error for a non-number; pos 0 means the function has a single parameter. */
int number_error(veskvm_t vm, int pos, veskobj_t found) {
  const char *got = vesktype_desc[veskobj_type(found)];
  if (pos == 0)
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "expected %s or %s, got %s", NUMBER_TYPES[0],
                    NUMBER_TYPES[1], got);
  else
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "expected %s or %s for argument %d, got %s",
                    NUMBER_TYPES[0], NUMBER_TYPES[1], pos, got);
  return vm->state;
}

/* Reads argument i as a number; pos is passed on to number_error. */
bool number_arg(veskvm_t vm, uint32_t i, int pos, float *out) {
  veskobj_t o = veskvm_checkarg(vm, i);
  if (!o) return false;
  if (to_float(o, out)) return true;
  number_error(vm, pos, o);
  return false;
}

int ret_float(veskvm_t vm, float v) {
  veskvm_pushf(vm, v);
  return veskvm_ret1(vm);
}

int ret_int(veskvm_t vm, int32_t v) {
  veskvm_pushi(vm, v);
  return veskvm_ret1(vm);
}

/*
 * Generator.
 */
uint32_t *mt_alloc(veskvm_t vm) {
  if (!vm->rngstate) {
    vm->rngstate = malloc(MT_N * sizeof(uint32_t));
    if (!vm->rngstate) vesk_fatal("[FATAL] cannot allocate the random generator state\n");
  }
  return static_cast<uint32_t *>(vm->rngstate);
}

int32_t wallclock_seconds() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return (int32_t)tv.tv_sec;
}

/* Produces the next block of 624 words in place. */
void mt_regenerate(uint32_t *mt) {
  for (int k = 0; k < MT_N; ++k) {
    uint32_t y = (mt[k] & MT_UPPER) | (mt[(k + 1) % MT_N] & MT_LOWER);
    mt[k] = mt[(k + MT_M) % MT_N] ^ (y >> 1) ^ ((y & 1u) ? MT_MATRIX : 0u);
  }
}

uint32_t mt_temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

/* A fresh draw as a float, rounded to nearest. */
float draw(veskvm_t vm) {
  return (float)mt_uniform32(vm);
}

/*
 * math table.
 */
template <typename F> int unary(veskvm_t vm, F f) {
  float x;
  if (!veskvm_checknargs(vm, 1) || !number_arg(vm, 1, 0, &x)) return vm->state;
  return ret_float(vm, f(x));
}

int math_abs(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  veskobj_t x = veskvm_checkarg(vm, 1);
  if (!x) return vm->state;
  if (veskobj_isint(x)) {
    /* In unsigned arithmetic so that the most negative integer maps to itself. */
    uint32_t u = (uint32_t)x->i.value;
    if (x->i.value < 0) u = 0u - u;
    return ret_int(vm, (int32_t)u);
  }
  if (veskobj_isfloat(x)) return ret_float(vm, fabsf(x->f.value));
  return number_error(vm, 0, x);
}

int math_log(veskvm_t vm) {
  return unary(vm, [](float x) { return logf(x); });
}
int math_log2(veskvm_t vm) {
  return unary(vm, [](float x) { return log2f(x); });
}
int math_log10(veskvm_t vm) {
  return unary(vm, [](float x) { return log10f(x); });
}
int math_exp(veskvm_t vm) {
  return unary(vm, [](float x) { return expf(x); });
}
int math_sqrt(veskvm_t vm) {
  return unary(vm, [](float x) { return sqrtf(x); });
}
int math_sin(veskvm_t vm) {
  return unary(vm, [](float x) { return sinf(x); });
}
int math_cos(veskvm_t vm) {
  return unary(vm, [](float x) { return cosf(x); });
}
int math_tan(veskvm_t vm) {
  return unary(vm, [](float x) { return tanf(x); });
}
int math_asin(veskvm_t vm) {
  return unary(vm, [](float x) { return asinf(x); });
}
int math_acos(veskvm_t vm) {
  return unary(vm, [](float x) { return acosf(x); });
}

int math_atan(veskvm_t vm) {
  float y, x;
  if (!veskvm_checknargs(vm, 2) || !number_arg(vm, 1, 1, &y) || !number_arg(vm, 2, 2, &x))
    return vm->state;
  return ret_float(vm, atan2f(y, x));
}

/* min and max: returns a when cmp(a, b) satisfies keep_first, else b. */
int pick(veskvm_t vm, const char *name, bool (*keep_first)(int)) {
  if (!veskvm_checknargs(vm, 2)) return vm->state;
  veskobj_t a = veskvm_checkarg(vm, 1);
  veskobj_t b = a ? veskvm_checkarg(vm, 2) : nullptr;
  if (!b) return vm->state;
  if (!veskobj_comparable(a, b)) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "%s: cannot compare %s with %s", name,
                    vesktype_desc[veskobj_type(a)], vesktype_desc[veskobj_type(b)]);
    return vm->state;
  }
  veskvm_push(vm, keep_first(veskobj_cmp(a, b)) ? a : b);
  return veskvm_ret1(vm);
}

int math_min(veskvm_t vm) {
  return pick(vm, "math.min", [](int c) { return c <= 0; });
}
int math_max(veskvm_t vm) {
  return pick(vm, "math.max", [](int c) { return c >= 0; });
}

/*
 * rng table.
 */
int rng_setseed(veskvm_t vm) {
  if (!veskvm_checknargs(vm, 1)) return vm->state;
  int32_t seed;
  if (!veskvm_checkint(vm, 1, &seed)) return vm->state;
  mt_setseed(vm, seed);
  return veskvm_ret0(vm);
}

/* Raises the "at most 2 parameters" error of uniform and gaussian. */
bool at_most_two(veskvm_t vm, int64_t n) {
  if (n <= 2) return true;
  veskvm_seterror(vm, VESKVM_ERROR_LNUM, "expected 0, 1, or 2 parameters, got %ld",
                  (long)n);
  return false;
}

/* Integer r * span / (2^32 - 1) in 64 bits: 0 to span inclusive. */
uint32_t scale_draw(uint32_t r, uint32_t span) {
  return (uint32_t)((uint64_t)r * span / 4294967295u);
}

int uniform_max(veskvm_t vm) {
  veskobj_t mx = veskvm_checkarg(vm, 1);
  if (!mx) return vm->state;
  if (veskobj_isint(mx)) {
    if (mx->i.value < 0) {
      veskvm_seterror(vm, VESKVM_ERROR_TYPE, "rng.uniform: the bound %d is negative",
                      mx->i.value);
      return vm->state;
    }
    return ret_int(vm, (int32_t)scale_draw(mt_uniform32(vm), (uint32_t)mx->i.value));
  }
  if (veskobj_isfloat(mx)) return ret_float(vm, draw(vm) * mx->f.value / TWO32);
  return number_error(vm, 0, mx);
}

int uniform_range(veskvm_t vm) {
  veskobj_t lo = veskvm_checkarg(vm, 1);
  veskobj_t hi = lo ? veskvm_checkarg(vm, 2) : nullptr;
  if (!hi) return vm->state;
  if (!is_number(lo) || !is_number(hi)) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE,
                    "expected %s or %s for arguments, got %s for argument 1 and %s for "
                    "argument 2)",
                    NUMBER_TYPES[0], NUMBER_TYPES[1], vesktype_desc[veskobj_type(lo)],
                    vesktype_desc[veskobj_type(hi)]);
    return vm->state;
  }
  if (veskobj_cmp(hi, lo) < 0) {
    veskvm_seterror(vm, VESKVM_ERROR_TYPE, "rng.uniform: max is less than min");
    return vm->state;
  }
  if (veskobj_isint(lo) && veskobj_isint(hi)) {
    /* The span and the sum wrap in 32 bits, which is exact for any max >= min. */
    uint32_t min = (uint32_t)lo->i.value;
    uint32_t span = (uint32_t)hi->i.value - min;
    return ret_int(vm, (int32_t)(min + scale_draw(mt_uniform32(vm), span)));
  }
  float min = 0.0f, max = 0.0f;
  to_float(lo, &min);
  to_float(hi, &max);
  return ret_float(vm, min + draw(vm) * (max - min) / TWO32);
}

int rng_uniform(veskvm_t vm) {
  int64_t n = veskvm_lnum(vm);
  if (!at_most_two(vm, n)) return vm->state;
  if (n == 0) return ret_int(vm, (int32_t)mt_uniform32(vm));
  return n == 1 ? uniform_max(vm) : uniform_range(vm);
}

/* One of the polar method's coordinates: a draw mapped to [-1, 1]. */
float polar_coordinate(veskvm_t vm) {
  return draw(vm) * 2.0f / TWO32 - 1.0f;
}

int rng_gaussian(veskvm_t vm) {
  int64_t n = veskvm_lnum(vm);
  float scale = 1.0f, mean = 0.0f;
  if (!at_most_two(vm, n)) return vm->state;
  if (n >= 1 && !number_arg(vm, 1, 1, &scale)) return vm->state;
  if (n == 2 && !number_arg(vm, 2, 2, &mean)) return vm->state;
  float u, v, s;
  do {
    u = polar_coordinate(vm);
    v = polar_coordinate(vm);
    s = v * v + u * u;
  } while (s >= 1.0f || s == 0.0f); /* s = 0 would give a non-finite result */
  float su = scale * u;
  float factor = -2.0f * logf(s) / s;
  return ret_float(vm, (float)((double)su * sqrt((double)factor) + (double)mean));
}

int rng_exponential(veskvm_t vm) {
  float mean;
  if (!veskvm_checknargs(vm, 1) || !number_arg(vm, 1, 0, &mean)) return vm->state;
  return ret_float(vm, -logf(draw(vm) / TWO32) * mean);
}

struct NamedFunction {
  const char *name;
  veskvm_funp fun;
};

const NamedFunction MATH_FUNCTIONS[] = {
    {"abs", math_abs}, {"log", math_log},   {"log2", math_log2}, {"log10", math_log10},
    {"exp", math_exp}, {"sqrt", math_sqrt}, {"sin", math_sin},   {"cos", math_cos},
    {"tan", math_tan}, {"asin", math_asin}, {"acos", math_acos}, {"atan", math_atan},
    {"min", math_min}, {"max", math_max}};

const NamedFunction RNG_FUNCTIONS[] = {{"setseed", rng_setseed},
                                       {"uniform", rng_uniform},
                                       {"gaussian", rng_gaussian},
                                       {"exponential", rng_exponential}};

/* Pushes the global name and a new table holding the functions. */
template <size_t N>
void push_library(veskvm_t vm, const char *global, const NamedFunction (&funs)[N]) {
  veskvm_pushstr(vm, global, 1);
  veskvm_push(vm, veskheap_newobj(vm->heap, VESKTYPE_TABLE));
  for (const NamedFunction &f : funs)
    veskvm_table_put_function(vm, f.name, f.fun);
}

} // namespace

void mt_setseed(veskvm_t vm, int32_t seed) {
  uint32_t *mt = mt_alloc(vm);
  mt[0] = (uint32_t)seed;
  for (uint32_t i = 1; i < MT_N; ++i)
    mt[i] = MT_SEED_MULT * (mt[i - 1] ^ (mt[i - 1] >> 30)) + i;
  vm->rngidx = MT_N;
}

uint32_t mt_uniform32(veskvm_t vm) {
  if (!vm->rngstate) mt_setseed(vm, wallclock_seconds());
  uint32_t *mt = static_cast<uint32_t *>(vm->rngstate);
  if (vm->rngidx >= MT_N || vm->rngidx < 0) {
    mt_regenerate(mt);
    vm->rngidx = 0;
  }
  return mt_temper(mt[vm->rngidx++]);
}

int veskmath_register(veskvm_t vm) {
  push_library(vm, "math", MATH_FUNCTIONS);
  veskvm_dup(vm);
  veskvm_pushstr(vm, "pi", 1);
  veskvm_pushf(vm, 3.14159265358979f); /* rounds to 3.14159274, bits 40490FDB */
  veskvm_tput(vm);
  veskvm_gstore(vm);

  push_library(vm, "rng", RNG_FUNCTIONS);
  veskvm_gstore(vm);

  mt_setseed(vm, wallclock_seconds());
  return vm->state;
}

void veskmath_release(veskvm_t vm) {
  free(vm->rngstate);
  vm->rngstate = nullptr;
  vm->rngidx = 0;
}
