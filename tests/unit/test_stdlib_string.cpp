/*
 * Tests of the "string" library: lengths, substring boundaries, concatenation,
 * number formatting and parsing, argument checks and their messages.
 */
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "stdlib_vm.h"
#include "veskstrman.h"

using namespace stdlib_test;

namespace {

/* Protection flag of a string id in the VM's string manager (-1: unknown). */
int protection(veskvm_t vm, uint16_t id) {
  veskid2strdata **rec = veskdict_get(vm->strings->id2str, &id, veskid2strdata *);
  return rec ? (*rec)->protect : -1;
}

} // namespace

TEST(StringLib, LengthCountsBytes) {
  LibVm v;
  expect_int(v.eval("string", "length", ""), 0);
  expect_int(v.eval("string", "length", "hello"), 5);
  expect_int(v.eval("string", "length", "h\xc3\xa9"), 3);
  LibVm a;
  a.call("string", "length", 5);
  EXPECT_EQ(a.error(), "type mismatch: expected string, got integer");
  LibVm b;
  b.call("string", "length", "a", "b");
  EXPECT_EQ(b.error(), "wrong number of local variables: expected 1 parameters, got 2");
}

TEST(StringLib, SubBoundaries) {
  LibVm v;
  expect_string(v.eval("string", "sub", "hello", 1), "ello");
  expect_string(v.eval("string", "sub", "hello", 1, 3), "el");
  expect_string(v.eval("string", "sub", "hello", 1, 99), "ello");
  expect_string(v.eval("string", "sub", "hello", 2, 2), "");
  expect_string(v.eval("string", "sub", "hello", 0, 5), "hello");
  expect_string(v.eval("string", "sub", "hello", 4), "o");
  expect_nil(v.eval("string", "sub", "hello", 5));
  expect_nil(v.eval("string", "sub", "hello", 3, 2));
  expect_nil(v.eval("string", "sub", "", 0));
  expect_nil(v.eval("string", "sub", "hello", INT_MAX, INT_MAX));
  /* A negative start never reaches before the text. */
  expect_nil(v.eval("string", "sub", "hello", -1));
  expect_nil(v.eval("string", "sub", "hello", INT_MIN, 2));
  EXPECT_TRUE(v.ok()) << v.error();
}

TEST(StringLib, SubArgumentChecks) {
  LibVm a;
  a.call("string", "sub", "hello");
  EXPECT_EQ(a.vm()->error, VESKVM_ERROR_LNUM);
  EXPECT_EQ(a.error(),
            "wrong number of local variables: expected 2 or 3 parameters, got 1");
  LibVm b;
  b.call("string", "sub", "hello", 1, 2, 3);
  EXPECT_EQ(b.error(),
            "wrong number of local variables: expected 2 or 3 parameters, got 4");
  LibVm c;
  c.call("string", "sub", 7, 1);
  EXPECT_EQ(c.error(), "type mismatch: expected string, got integer");
  LibVm d;
  d.call("string", "sub", "hello", 1.0);
  EXPECT_EQ(d.error(), "type mismatch: expected integer, got float");
  LibVm e;
  e.call("string", "sub", "hello", 1, "3");
  EXPECT_EQ(e.error(), "type mismatch: expected integer, got string");
}

TEST(StringLib, ConcatJoinsInOrder) {
  LibVm v;
  expect_string(v.eval("string", "concat", "ab", "cd"), "abcd");
  expect_string(v.eval("string", "concat", "a", "", "b", "c"), "abc");
  veskobj_t s = v.eval("string", "concat", "run", "time");
  ASSERT_TRUE(s && veskobj_isstring(s));
  /* Results are collectable strings. */
  EXPECT_EQ(protection(v.vm(), s->s.id), 0);
}

TEST(StringLib, ConcatChecksEveryParameter) {
  LibVm a;
  a.call("string", "concat", "a");
  EXPECT_EQ(a.vm()->error, VESKVM_ERROR_LNUM);
  EXPECT_EQ(a.error(),
            "wrong number of local variables: expected at least 2 parameters, got 1");
  LibVm b;
  b.call("string", "concat", "a", "b", 3);
  EXPECT_EQ(b.vm()->error, VESKVM_ERROR_TYPE);
  EXPECT_EQ(b.error(), "type mismatch: expected string, got integer");
}

TEST(StringLib, TostringFormatsNumbersOnly) {
  LibVm v;
  expect_string(v.eval("string", "tostring", 7), "7");
  expect_string(v.eval("string", "tostring", INT_MIN), "-2147483648");
  expect_string(v.eval("string", "tostring", 0.1), "0.100000");
  expect_string(v.eval("string", "tostring", 2.5), "2.500000");
  expect_string(v.eval("string", "tostring", 3.4028234663852886e38),
                "340282346638528859811704183484516925440.000000");
  expect_nil(v.eval("string", "tostring", "7"));
  expect_nil(v.eval("string", "tostring", Nil{}));
  veskvm_push(v.vm(), veskheap_newobj(v.vm()->heap, VESKTYPE_TABLE));
  expect_nil(v.eval("string", "tostring", veskvm_stack_at(v.vm(), 1)));
  LibVm a;
  a.call("string", "tostring");
  EXPECT_EQ(a.error(), "wrong number of local variables: expected 1 parameters, got 0");
}

TEST(StringLib, ToIntTruncatesWhatStrtodReads) {
  LibVm v;
  expect_int(v.eval("string", "toint", "42abc"), 42);
  expect_int(v.eval("string", "toint", "3.9"), 3);
  expect_int(v.eval("string", "toint", "-3.9"), -3);
  expect_int(v.eval("string", "toint", "0x10"), 16);
  expect_int(v.eval("string", "toint", "  12"), 12);
  expect_int(v.eval("string", "toint", "1e3"), 1000);
  expect_int(v.eval("string", "toint", "0.5"), 0);
  expect_int(v.eval("string", "toint", "2147483647.9"), INT_MAX);
  expect_int(v.eval("string", "toint", "-2147483648"), INT_MIN);
  expect_nil(v.eval("string", "toint", "abc"));
  expect_nil(v.eval("string", "toint", ""));
  expect_nil(v.eval("string", "toint", "1e-400"));
}

TEST(StringLib, ToIntOutsideTheIntegerRangeIsNil) {
  LibVm v;
  for (const char *text :
       {"2147483648", "-2147483649", "3000000000", "1e400", "-1e400", "inf", "nan"}) {
    SCOPED_TRACE(text);
    expect_nil(v.eval("string", "toint", text));
  }
  LibVm a;
  a.call("string", "toint", 42);
  EXPECT_EQ(a.error(), "type mismatch: expected string, got integer");
}

TEST(StringLib, ToFloatUsesSinglePrecision) {
  LibVm v;
  expect_float(v.eval("string", "tofloat", "2.5"), 2.5f);
  expect_float(v.eval("string", "tofloat", "0.1"), 0.1f);
  expect_float(v.eval("string", "tofloat", "-7x"), -7.0f);
  expect_nil(v.eval("string", "tofloat", ""));
  expect_nil(v.eval("string", "tofloat", "x1"));
  expect_nil(v.eval("string", "tofloat", "1e-50")); /* underflows to 0 */
  veskobj_t big = v.eval("string", "tofloat", "1e50");
  ASSERT_TRUE(big && veskobj_isfloat(big));
  EXPECT_TRUE(std::isinf(big->f.value));
  LibVm a;
  a.call("string", "tofloat", Nil{});
  EXPECT_EQ(a.error(), "type mismatch: expected string, got nil");
}
