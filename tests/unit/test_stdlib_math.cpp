/*
 * Tests of the "math" and "rng" libraries: results, argument checks and
 * messages, the generator against the reference MT19937, the exact draw
 * formulas and the moments of each distribution.
 */
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "stdlib_vm.h"
#include "veskmath.h"

using namespace stdlib_test;

namespace {

const float TWO32 = 4294967296.0f;
const std::string NUMBER = "error 6: type mismatch: expected float or integer";

/* How show() renders a float. */
std::string flt(float f) {
  char s[64];
  snprintf(s, sizeof s, "float %.9g", (double)f);
  return s;
}

/* Makes the VM's next raw draw equal to word, by inverting the output tempering. */
void force_next_draw(veskvm_t vm, uint32_t word) {
  uint32_t y = word ^ (word >> 18);
  y ^= (y << 15) & 0xEFC60000u;
  uint32_t x = y;
  for (int i = 0; i < 5; ++i)
    x = y ^ ((x << 7) & 0x9D2C5680u);
  uint32_t z = x;
  for (int i = 0; i < 3; ++i)
    z = x ^ (z >> 11);
  mt_setseed(vm, 1);
  static_cast<uint32_t *>(vm->rngstate)[0] = z;
  vm->rngidx = 0;
}

/* Number drawn by rng.fn(args...); NaN (and a test failure) on anything else. */
template <typename... A> double draw(LibVm &v, const char *fn, A... args) {
  veskobj_t r = v.eval("rng", fn, args...);
  if (r && veskobj_isint(r)) return r->i.value;
  if (r && veskobj_isfloat(r)) return r->f.value;
  ADD_FAILURE() << show(r) << " " << v.error();
  return NAN;
}

/* Mean and variance of 100,000 draws. */
template <typename... A>
std::pair<double, double> moments(LibVm &v, const char *fn, A... a) {
  const int n = 100000;
  double sum = 0, sumsq = 0;
  for (int i = 0; i < n; ++i) {
    double x = draw(v, fn, a...);
    sum += x;
    sumsq += x * x;
  }
  return {sum / n, sumsq / n - (sum / n) * (sum / n)};
}

} // namespace

TEST(MathLib, Results) {
  EXPECT_EQ(outcome("math", "abs", -3), "integer 3");
  EXPECT_EQ(outcome("math", "abs", -2.5), "float 2.5");
  EXPECT_EQ(outcome("math", "abs", INT_MIN), "integer -2147483648");
  EXPECT_EQ(outcome("math", "abs", -0.0), "float 0");
  EXPECT_EQ(outcome("math", "atan", 1, -1), flt(atan2f(1.0f, -1.0f)));
  EXPECT_EQ(outcome("math", "log", 0), "float -inf");
  EXPECT_NE(outcome("math", "sqrt", -1).find("nan"), std::string::npos);
  EXPECT_EQ(outcome("math", "min", 2, 2.0), "integer 2");
  EXPECT_EQ(outcome("math", "min", 2.0, 2), "float 2");
  EXPECT_EQ(outcome("math", "max", 2, 2.0), "integer 2");
  EXPECT_EQ(outcome("math", "max", 3, 4.5), "float 4.5");
  EXPECT_EQ(outcome("math", "min", -3, -7), "integer -7");
  EXPECT_EQ(outcome("math", "min", "pear", "apple"), "string 'apple'");
  EXPECT_EQ(outcome("math", "min", 5, Nil{}), "nil");
}

TEST(MathLib, EachUnaryFunctionIsBoundToItsOwnOperation) {
  const std::pair<const char *, float (*)(float)> cases[] = {
      {"log", logf},   {"log2", log2f}, {"log10", log10f}, {"exp", expf},
      {"sqrt", sqrtf}, {"sin", sinf},   {"cos", cosf},     {"tan", tanf},
      {"asin", asinf}, {"acos", acosf}};
  LibVm v;
  for (auto [name, f] : cases) {
    EXPECT_EQ(show(v.eval("math", name, 0.375)), flt(f(0.375f))) << name;
    /* An integer argument is converted to single precision first. */
    EXPECT_EQ(show(v.eval("math", name, 1)), flt(f(1.0f))) << name;
  }
}

TEST(MathLib, ArgumentErrors) {
  EXPECT_EQ(outcome("math", "abs", "x"), NUMBER + ", got string");
  EXPECT_EQ(outcome("math", "sqrt", Nil{}), NUMBER + ", got nil");
  EXPECT_EQ(outcome("math", "abs", 1, 2),
            "error 3: wrong number of local variables: expected 1 parameters, got 2");
  EXPECT_EQ(outcome("math", "cos"),
            "error 3: wrong number of local variables: expected 1 parameters, got 0");
  EXPECT_EQ(outcome("math", "atan", "y", 1), NUMBER + " for argument 1, got string");
  EXPECT_EQ(outcome("math", "atan", 1, Nil{}), NUMBER + " for argument 2, got nil");
  EXPECT_EQ(outcome("math", "min", 1),
            "error 3: wrong number of local variables: expected 2 parameters, got 1");
  /* Values without an order end in an orderly error. */
  LibVm v;
  v.call("math", "max", v.push_member("math", "abs"), 1);
  EXPECT_EQ(v.error(), "type mismatch: math.max: cannot compare closure with integer");
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
  for (int32_t seed : {5489, 0, -1, 19650218}) {
    LibVm v;
    mt_setseed(v.vm(), seed);
    std::mt19937 ref((uint32_t)seed);
    for (int i = 0; i < 10000; ++i)
      ASSERT_EQ(mt_uniform32(v.vm()), ref()) << seed << " " << i;
  }
  /* A VM without bytecode seeds itself on the first draw; the state is freed with it. */
  veskvm_t vm = veskvm_new(3);
  mt_uniform32(vm);
  mt_setseed(vm, 5489);
  EXPECT_EQ(mt_uniform32(vm), 3499211612u);
  veskvm_destroy(&vm);
}

TEST(Rng, ScriptSeedGivesTheFirstReferenceWordAsAnInteger) {
  LibVm a, b;
  for (LibVm *v : {&a, &b})
    EXPECT_EQ(v->eval("rng", "setseed", 5489), nullptr);
  EXPECT_EQ(draw(a, "uniform"), -795755684);
  EXPECT_NE(draw(a, "uniform"), -795755684);
  /* Each VM has its own stream. */
  EXPECT_EQ(draw(b, "uniform"), -795755684);
}

TEST(Rng, DrawsFollowTheScaledFormulas) {
  LibVm v;
  v.eval("rng", "setseed", 42);
  std::mt19937 ref(42);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(draw(v, "uniform", 10), (int32_t)((uint64_t)ref() * 10 / 4294967295u));
    ASSERT_EQ(draw(v, "uniform", -5, 5),
              -5 + (int32_t)((uint64_t)ref() * 10 / 4294967295u));
    ASSERT_EQ(draw(v, "uniform", INT_MIN, INT_MAX), (int32_t)(ref() + 0x80000000u));
    ASSERT_EQ(draw(v, "uniform", 2.5), (float)ref() * 2.5f / TWO32);
    ASSERT_EQ(draw(v, "uniform", 1, 3.0), 1.0f + (float)ref() * 2.0f / TWO32);
    ASSERT_EQ(draw(v, "exponential", 3), -logf((float)ref() / TWO32) * 3.0f);
  }
}

TEST(Rng, IntegerBoundIsReachedOnlyByTheLargestDraw) {
  LibVm v;
  for (auto [word, expect] : {std::pair{0xFFFFFFFFu, 10}, {0xFFFFFFFEu, 9}, {0u, 0}}) {
    force_next_draw(v.vm(), word);
    EXPECT_EQ(draw(v, "uniform", 10), expect);
  }
  force_next_draw(v.vm(), 0xFFFFFFFFu);
  EXPECT_EQ(draw(v, "uniform", 3, 8), 8);
  EXPECT_EQ(draw(v, "uniform", 4, 4), 4);
}

TEST(Rng, GaussianFollowsThePolarMethod) {
  LibVm v;
  v.eval("rng", "setseed", 2024);
  std::mt19937 ref(2024);
  for (int i = 0; i < 200; ++i) {
    float u, w, s;
    do {
      u = (float)ref() * 2.0f / TWO32 - 1.0f;
      w = (float)ref() * 2.0f / TWO32 - 1.0f;
      s = w * w + u * u;
    } while (s >= 1.0f || s == 0.0f);
    float factor = -2.0f * logf(s) / s;
    ASSERT_EQ(draw(v, "gaussian", 2, 0.5),
              (float)((double)(2.0f * u) * sqrt((double)factor) + 0.5));
  }
}

/* Tolerances are about six standard errors of 100,000 draws. */
TEST(Rng, MomentsOfEachDistribution) {
  LibVm v;
  v.eval("rng", "setseed", 1);
  struct Expect {
    std::pair<double, double> got;
    double mean, mean_tol, var, var_tol;
  };
  const Expect cases[] = {
      {moments(v, "gaussian"), 0.0, 0.02, 1.0, 0.03},
      {moments(v, "gaussian", 2), 0.0, 0.04, 4.0, 0.12}, /* one parameter: the scale */
      {moments(v, "gaussian", 0.5, -3), -3.0, 0.01, 0.25, 0.0075},
      {moments(v, "uniform", 1.0), 0.5, 0.006, 1.0 / 12, 0.0015},
      {moments(v, "exponential", 2), 2.0, 0.04, 4.0, 0.25},
      /* The upper bound needs the largest draw: 1 to 5 come out, evenly. */
      {moments(v, "uniform", 1, 6), 3.0, 0.03, 2.0, 0.06},
  };
  for (const Expect &e : cases) {
    EXPECT_NEAR(e.got.first, e.mean, e.mean_tol);
    EXPECT_NEAR(e.got.second, e.var, e.var_tol);
  }
}

TEST(Rng, ArgumentErrors) {
  const std::string count = "error 3: wrong number of local variables: expected ";
  EXPECT_EQ(outcome("rng", "setseed", 1.5),
            "error 6: type mismatch: expected integer, got float");
  EXPECT_EQ(outcome("rng", "setseed"), count + "1 parameters, got 0");
  EXPECT_EQ(outcome("rng", "uniform", 1, 2, 3), count + "0, 1, or 2 parameters, got 3");
  EXPECT_EQ(outcome("rng", "gaussian", 1, 2, 3), count + "0, 1, or 2 parameters, got 3");
  EXPECT_EQ(outcome("rng", "exponential"), count + "1 parameters, got 0");
  EXPECT_EQ(outcome("rng", "uniform", "x"), NUMBER + ", got string");
  EXPECT_EQ(outcome("rng", "uniform", 1, "x"),
            NUMBER +
                " for arguments, got integer for argument 1 and string for argument 2)");
  EXPECT_EQ(outcome("rng", "gaussian", "wide"), NUMBER + " for argument 1, got string");
  EXPECT_EQ(outcome("rng", "gaussian", 1, Nil{}), NUMBER + " for argument 2, got nil");
  EXPECT_EQ(outcome("rng", "exponential", "mean"), NUMBER + ", got string");
  EXPECT_EQ(outcome("rng", "uniform", -1),
            "error 6: type mismatch: rng.uniform: the bound -1 is negative");
  for (std::string r :
       {outcome("rng", "uniform", 5, 1), outcome("rng", "uniform", 2.0, 1)})
    EXPECT_EQ(r, "error 6: type mismatch: rng.uniform: max is less than min");
}
