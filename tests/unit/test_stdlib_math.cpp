/*
 * Tests of the "math" and "rng" libraries: results, argument checks and
 * messages, the generator against the reference MT19937, the exact draw
 * formulas and the moments of each distribution.
 */
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "stdlib_vm.h"
#include "veskmath.h"

using namespace stdlib_test;

namespace {

/* The untempered word that MT19937's output tempering turns into y. */
uint32_t untemper(uint32_t y) {
  y ^= y >> 18;
  y ^= (y << 15) & 0xEFC60000u;
  uint32_t x = y;
  for (int i = 0; i < 5; ++i)
    x = y ^ ((x << 7) & 0x9D2C5680u);
  uint32_t z = x;
  for (int i = 0; i < 3; ++i)
    z = x ^ (z >> 11);
  return z;
}

/* Makes the VM's next raw draw equal to word. */
void force_next_draw(veskvm_t vm, uint32_t word) {
  mt_setseed(vm, 1);
  static_cast<uint32_t *>(vm->rngstate)[0] = untemper(word);
  vm->rngidx = 0;
}

struct Moments {
  double mean, var;
};

template <typename Draw> Moments moments(int n, Draw draw) {
  double sum = 0, sumsq = 0;
  for (int i = 0; i < n; ++i) {
    double x = draw();
    sum += x;
    sumsq += x * x;
  }
  double mean = sum / n;
  return {mean, sumsq / n - mean * mean};
}

/* Draws a float from rng.fn(args...), failing the test on anything else. */
template <typename... A> float float_draw(LibVm &v, const char *fn, A... args) {
  veskobj_t r = v.eval("rng", fn, args...);
  EXPECT_TRUE(r && veskobj_isfloat(r)) << v.error();
  return r && veskobj_isfloat(r) ? r->f.value : NAN;
}

template <typename... A> int32_t int_draw(LibVm &v, A... args) {
  veskobj_t r = v.eval("rng", "uniform", args...);
  EXPECT_TRUE(r && veskobj_isint(r)) << v.error();
  return r && veskobj_isint(r) ? r->i.value : 0;
}

} // namespace

TEST(MathLib, AbsKeepsTheTypeAndWrapsTheSmallestInteger) {
  LibVm v;
  expect_int(v.eval("math", "abs", -3), 3);
  expect_int(v.eval("math", "abs", 7), 7);
  expect_float(v.eval("math", "abs", -2.5), 2.5f);
  expect_int(v.eval("math", "abs", INT_MIN), INT_MIN);
  veskobj_t nz = v.eval("math", "abs", -0.0);
  ASSERT_TRUE(nz && veskobj_isfloat(nz));
  EXPECT_FALSE(std::signbit(nz->f.value));
}

TEST(MathLib, AbsRejectsNonNumbersAndWrongCounts) {
  LibVm a;
  a.call("math", "abs", "x");
  EXPECT_EQ(a.vm()->error, VESKVM_ERROR_TYPE);
  EXPECT_EQ(a.error(), "type mismatch: expected float or integer, got string");
  LibVm b;
  b.call("math", "abs", 1, 2);
  EXPECT_EQ(b.vm()->error, VESKVM_ERROR_LNUM);
  EXPECT_EQ(b.error(), "wrong number of local variables: expected 1 parameters, got 2");
}

TEST(MathLib, EachUnaryFunctionIsBoundToItsOwnOperation) {
  struct Case {
    const char *name;
    float (*f)(float);
  };
  const Case cases[] = {{"log", logf},  {"log2", log2f}, {"log10", log10f},
                        {"exp", expf},  {"sqrt", sqrtf}, {"sin", sinf},
                        {"cos", cosf},  {"tan", tanf},   {"asin", asinf},
                        {"acos", acosf}};
  LibVm v;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    expect_float(v.eval("math", c.name, 0.375), c.f(0.375f));
    /* An integer argument is converted to single precision first. */
    expect_float(v.eval("math", c.name, 1), c.f(1.0f));
  }
}

TEST(MathLib, DomainErrorsGiveWhatTheSystemFunctionsGive) {
  LibVm v;
  veskobj_t l = v.eval("math", "log", 0);
  ASSERT_TRUE(l && veskobj_isfloat(l));
  EXPECT_TRUE(std::isinf(l->f.value) && l->f.value < 0);
  veskobj_t s = v.eval("math", "sqrt", -1);
  ASSERT_TRUE(s && veskobj_isfloat(s));
  EXPECT_TRUE(std::isnan(s->f.value));
  EXPECT_TRUE(v.ok());
}

TEST(MathLib, UnaryFunctionsCheckTheirArgument) {
  LibVm a;
  a.call("math", "sqrt", Nil{});
  EXPECT_EQ(a.error(), "type mismatch: expected float or integer, got nil");
  LibVm b;
  b.call("math", "cos");
  EXPECT_EQ(b.error(), "wrong number of local variables: expected 1 parameters, got 0");
}

TEST(MathLib, AtanTakesYThenX) {
  LibVm v;
  expect_float(v.eval("math", "atan", 1, -1), atan2f(1.0f, -1.0f));
  expect_float(v.eval("math", "atan", -2.0, 0.5), atan2f(-2.0f, 0.5f));
  LibVm a;
  a.call("math", "atan", "y", 1);
  EXPECT_EQ(a.error(),
            "type mismatch: expected float or integer for argument 1, got string");
  LibVm b;
  b.call("math", "atan", 1, Nil{});
  EXPECT_EQ(b.error(),
            "type mismatch: expected float or integer for argument 2, got nil");
  LibVm c;
  c.call("math", "atan", 1);
  EXPECT_EQ(c.vm()->error, VESKVM_ERROR_LNUM);
}

TEST(MathLib, MinAndMaxReturnTheFirstArgumentOnEquality) {
  LibVm v;
  expect_int(v.eval("math", "min", 2, 2.0), 2);
  expect_float(v.eval("math", "min", 2.0, 2), 2.0f);
  expect_int(v.eval("math", "max", 2, 2.0), 2);
  expect_int(v.eval("math", "min", 3, 1), 1);
  expect_float(v.eval("math", "max", 3, 4.5), 4.5f);
  expect_int(v.eval("math", "max", -3, -7), -3);
  /* Strings compare as text, nil before everything. */
  expect_string(v.eval("math", "min", "pear", "apple"), "apple");
  expect_nil(v.eval("math", "min", 5, Nil{}));
}

TEST(MathLib, MinOfValuesWithoutOrderIsAnOrderlyError) {
  LibVm v;
  veskobj_t fn = v.push_member("math", "abs");
  v.call("math", "max", fn, 1);
  EXPECT_EQ(v.state(), VESKVM_STATE_ERROR);
  EXPECT_EQ(v.vm()->error, VESKVM_ERROR_TYPE);
  EXPECT_NE(v.error().find("closure"), std::string::npos) << v.error();
}

TEST(MathLib, PiIsTheSinglePrecisionConstant) {
  LibVm v;
  veskobj_t pi = v.push_member("math", "pi");
  ASSERT_TRUE(veskobj_isfloat(pi));
  uint32_t bits;
  memcpy(&bits, &pi->f.value, sizeof bits);
  EXPECT_EQ(bits, 0x40490FDBu);
}

TEST(Rng, RawDrawsEqualTheReferenceGenerator) {
  for (int32_t seed : {5489, 0, 1, -1, 19650218}) {
    SCOPED_TRACE(seed);
    LibVm v;
    mt_setseed(v.vm(), seed);
    std::mt19937 ref((uint32_t)seed);
    for (int i = 0; i < 10000; ++i)
      ASSERT_EQ(mt_uniform32(v.vm()), ref()) << "word " << i;
  }
}

TEST(Rng, ScriptSeedGivesTheFirstReferenceWordAsAnInteger) {
  LibVm v;
  EXPECT_EQ(v.eval("rng", "setseed", 5489), nullptr);
  ASSERT_TRUE(v.ok()) << v.error();
  expect_int(v.eval("rng", "uniform"), -795755684);
  /* Reseeding restarts the stream. */
  v.eval("rng", "setseed", 5489);
  expect_int(v.eval("rng", "uniform"), -795755684);
}

TEST(Rng, SetseedWantsOneInteger) {
  LibVm a;
  a.call("rng", "setseed", 1.5);
  EXPECT_EQ(a.error(), "type mismatch: expected integer, got float");
  LibVm b;
  b.call("rng", "setseed");
  EXPECT_EQ(b.vm()->error, VESKVM_ERROR_LNUM);
}

TEST(Rng, GeneratorWorksWithoutRegistrationAndIsFreed) {
  veskvm_t vm = veskvm_new(3);
  EXPECT_EQ(vm->rngstate, nullptr);
  mt_uniform32(vm); /* seeds itself from the clock */
  EXPECT_NE(vm->rngstate, nullptr);
  mt_setseed(vm, 5489);
  EXPECT_EQ(mt_uniform32(vm), 3499211612u);
  veskvm_destroy(&vm);
  EXPECT_EQ(vm, nullptr);
}

TEST(Rng, IntegerBoundFollowsTheScaledDraw) {
  LibVm v;
  v.eval("rng", "setseed", 42);
  std::mt19937 ref(42);
  for (int i = 0; i < 2000; ++i)
    ASSERT_EQ(int_draw(v, 10), (int32_t)((uint64_t)ref() * 10 / 4294967295u));
}

TEST(Rng, IntegerBoundIsReachedOnlyByTheLargestDraw) {
  LibVm v;
  force_next_draw(v.vm(), 0xFFFFFFFFu);
  EXPECT_EQ(int_draw(v, 10), 10);
  force_next_draw(v.vm(), 0xFFFFFFFEu);
  EXPECT_EQ(int_draw(v, 10), 9);
  force_next_draw(v.vm(), 0);
  EXPECT_EQ(int_draw(v, 10), 0);
  v.eval("rng", "setseed", 7);
  for (int i = 0; i < 20000; ++i) {
    int32_t x = int_draw(v, 10);
    ASSERT_TRUE(x >= 0 && x <= 9) << x; /* 10 needs the single largest word */
  }
}

TEST(Rng, IntegerRangeCoversNegativeAndFullBounds) {
  LibVm v;
  v.eval("rng", "setseed", 11);
  std::mt19937 ref(11);
  for (int i = 0; i < 1000; ++i) {
    int32_t x = int_draw(v, -5, 5);
    ASSERT_EQ(x, -5 + (int32_t)((uint64_t)ref() * 10 / 4294967295u));
  }
  /* The whole integer range: the draw itself, shifted down by 2^31. */
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(int_draw(v, INT_MIN, INT_MAX), (int32_t)(ref() + 0x80000000u));
  force_next_draw(v.vm(), 0xFFFFFFFFu);
  EXPECT_EQ(int_draw(v, 3, 8), 8);
  EXPECT_EQ(int_draw(v, 4, 4), 4);
}

TEST(Rng, FloatBoundsFollowTheSinglePrecisionFormula) {
  LibVm v;
  v.eval("rng", "setseed", 99);
  std::mt19937 ref(99);
  const float two32 = 4294967296.0f;
  for (int i = 0; i < 500; ++i) {
    ASSERT_EQ(float_draw(v, "uniform", 2.5), (float)ref() * 2.5f / two32);
    /* Mixed pairs become floats too. */
    ASSERT_EQ(float_draw(v, "uniform", 1, 3.0),
              1.0f + (float)ref() * (3.0f - 1.0f) / two32);
    ASSERT_EQ(float_draw(v, "uniform", -1.5, 2), -1.5f + (float)ref() * 3.5f / two32);
  }
}

TEST(Rng, UniformArgumentErrors) {
  struct Case {
    std::function<void(LibVm &)> call;
    int code;
    std::string message;
  };
  const Case cases[] = {
      {[](LibVm &v) { v.call("rng", "uniform", 1, 2, 3); }, VESKVM_ERROR_LNUM,
       "wrong number of local variables: expected 0, 1, or 2 parameters, got 3"},
      {[](LibVm &v) { v.call("rng", "uniform", "x"); }, VESKVM_ERROR_TYPE,
       "type mismatch: expected float or integer, got string"},
      {[](LibVm &v) { v.call("rng", "uniform", 1, "x"); }, VESKVM_ERROR_TYPE,
       "type mismatch: expected float or integer for arguments, got integer for argument "
       "1 "
       "and string for argument 2)"},
      {[](LibVm &v) { v.call("rng", "uniform", -1); }, VESKVM_ERROR_TYPE,
       "type mismatch: rng.uniform: the bound -1 is negative"},
      {[](LibVm &v) { v.call("rng", "uniform", 5, 1); }, VESKVM_ERROR_TYPE,
       "type mismatch: rng.uniform: max is less than min"},
      {[](LibVm &v) { v.call("rng", "uniform", 2.0, 1); }, VESKVM_ERROR_TYPE,
       "type mismatch: rng.uniform: max is less than min"},
  };
  for (const Case &c : cases) {
    LibVm v;
    c.call(v);
    EXPECT_EQ(v.state(), VESKVM_STATE_ERROR);
    EXPECT_EQ(v.vm()->error, c.code);
    EXPECT_EQ(v.error(), c.message);
  }
}

TEST(Rng, GaussianFollowsThePolarMethod) {
  LibVm v;
  v.eval("rng", "setseed", 2024);
  std::mt19937 ref(2024);
  const float two32 = 4294967296.0f;
  for (int i = 0; i < 200; ++i) {
    float u, w, s;
    do {
      u = (float)ref() * 2.0f / two32 - 1.0f;
      w = (float)ref() * 2.0f / two32 - 1.0f;
      s = w * w + u * u;
    } while (s >= 1.0f || s == 0.0f);
    float factor = -2.0f * logf(s) / s;
    float expect = (float)((double)(2.0f * u) * sqrt((double)factor) + 0.5);
    ASSERT_EQ(float_draw(v, "gaussian", 2, 0.5), expect) << "draw " << i;
  }
}

TEST(Rng, GaussianMomentsMatchScaleAndMean) {
  LibVm v;
  v.eval("rng", "setseed", 1);
  Moments std_normal = moments(100000, [&] { return float_draw(v, "gaussian"); });
  EXPECT_NEAR(std_normal.mean, 0.0, 0.02);
  EXPECT_NEAR(std_normal.var, 1.0, 0.03);
  /* One parameter is the scale, the mean stays 0. */
  Moments scaled = moments(100000, [&] { return float_draw(v, "gaussian", 2); });
  EXPECT_NEAR(scaled.mean, 0.0, 0.04);
  EXPECT_NEAR(scaled.var, 4.0, 0.12);
  Moments shifted = moments(100000, [&] { return float_draw(v, "gaussian", 0.5, -3); });
  EXPECT_NEAR(shifted.mean, -3.0, 0.01);
  EXPECT_NEAR(shifted.var, 0.25, 0.0075);
}

TEST(Rng, UniformAndExponentialMoments) {
  LibVm v;
  v.eval("rng", "setseed", 77);
  Moments unit = moments(100000, [&] { return float_draw(v, "uniform", 1.0); });
  EXPECT_NEAR(unit.mean, 0.5, 0.006);
  EXPECT_NEAR(unit.var, 1.0 / 12, 0.0015);
  Moments expo = moments(100000, [&] { return float_draw(v, "exponential", 2); });
  EXPECT_NEAR(expo.mean, 2.0, 0.04);
  EXPECT_NEAR(expo.var, 4.0, 0.25);
  /* The upper bound needs the largest draw: 1 to 5 come out, evenly. */
  Moments dice = moments(100000, [&] { return (double)int_draw(v, 1, 6); });
  EXPECT_NEAR(dice.mean, 3.0, 0.03);
  EXPECT_NEAR(dice.var, 2.0, 0.06);
}

TEST(Rng, GaussianAndExponentialArgumentErrors) {
  LibVm a;
  a.call("rng", "gaussian", 1, 2, 3);
  EXPECT_EQ(a.error(),
            "wrong number of local variables: expected 0, 1, or 2 parameters, got 3");
  LibVm b;
  b.call("rng", "gaussian", "wide");
  EXPECT_EQ(b.error(),
            "type mismatch: expected float or integer for argument 1, got string");
  LibVm c;
  c.call("rng", "gaussian", 1, Nil{});
  EXPECT_EQ(c.error(),
            "type mismatch: expected float or integer for argument 2, got nil");
  LibVm d;
  d.call("rng", "exponential");
  EXPECT_EQ(d.error(), "wrong number of local variables: expected 1 parameters, got 0");
  LibVm e;
  e.call("rng", "exponential", "mean");
  EXPECT_EQ(e.error(), "type mismatch: expected float or integer, got string");
}

TEST(Rng, EachVmHasItsOwnStream) {
  LibVm a, b;
  a.eval("rng", "setseed", 5);
  b.eval("rng", "setseed", 5);
  int32_t first = int_draw(a);
  EXPECT_NE(int_draw(a), first);
  EXPECT_EQ(int_draw(b), first);
}
