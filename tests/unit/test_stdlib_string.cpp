/*
 * Tests of the "string" library: lengths, substring boundaries, concatenation,
 * number formatting and parsing, argument checks and their messages.
 */
#include <gtest/gtest.h>

#include <climits>

#include "stdlib_vm.h"
#include "veskstrman.h"

using namespace stdlib_test;

namespace {

const std::string COUNT = "error 3: wrong number of local variables: expected ";
const std::string TYPE = "error 6: type mismatch: expected ";

} // namespace

TEST(StringLib, LengthAndSub) {
  EXPECT_EQ(outcome("string", "length", ""), "integer 0");
  EXPECT_EQ(outcome("string", "length", "h\xc3\xa9"), "integer 3"); /* bytes */
  EXPECT_EQ(outcome("string", "sub", "hello", 1), "string 'ello'");
  EXPECT_EQ(outcome("string", "sub", "hello", 1, 3), "string 'el'");
  EXPECT_EQ(outcome("string", "sub", "hello", 1, 99), "string 'ello'");
  EXPECT_EQ(outcome("string", "sub", "hello", 2, 2), "string ''");
  EXPECT_EQ(outcome("string", "sub", "hello", 0, 5), "string 'hello'");
  EXPECT_EQ(outcome("string", "sub", "hello", 4), "string 'o'");
  EXPECT_EQ(outcome("string", "sub", "hello", 5), "nil");
  EXPECT_EQ(outcome("string", "sub", "hello", 3, 2), "nil");
  EXPECT_EQ(outcome("string", "sub", "", 0), "nil");
  EXPECT_EQ(outcome("string", "sub", "hello", INT_MAX, INT_MAX), "nil");
  /* A negative start never reaches before the text. */
  EXPECT_EQ(outcome("string", "sub", "hello", -1), "nil");
  EXPECT_EQ(outcome("string", "sub", "hello", INT_MIN, 2), "nil");
}

TEST(StringLib, ConcatAndTostring) {
  EXPECT_EQ(outcome("string", "concat", "ab", "cd"), "string 'abcd'");
  EXPECT_EQ(outcome("string", "concat", "a", "", "b", "c"), "string 'abc'");
  EXPECT_EQ(outcome("string", "tostring", 7), "string '7'");
  EXPECT_EQ(outcome("string", "tostring", INT_MIN), "string '-2147483648'");
  EXPECT_EQ(outcome("string", "tostring", 0.1), "string '0.100000'");
  EXPECT_EQ(outcome("string", "tostring", 3.4028234663852886e38),
            "string '340282346638528859811704183484516925440.000000'");
  EXPECT_EQ(outcome("string", "tostring", "7"), "nil");
  LibVm v;
  EXPECT_EQ(show(v.eval("string", "tostring", v.push_new(VESKTYPE_TABLE))), "nil");
  /* Results are collectable strings. */
  veskobj_t s = v.eval("string", "concat", "run", "time");
  ASSERT_TRUE(s && veskobj_isstring(s));
  uint16_t id = s->s.id;
  EXPECT_EQ((*veskdict_get(v.vm()->strings->id2str, &id, veskid2strdata *))->protect, 0);
}

TEST(StringLib, ToIntTruncatesWhatStrtodReads) {
  EXPECT_EQ(outcome("string", "toint", "42abc"), "integer 42");
  EXPECT_EQ(outcome("string", "toint", "3.9"), "integer 3");
  EXPECT_EQ(outcome("string", "toint", "-3.9"), "integer -3");
  EXPECT_EQ(outcome("string", "toint", "0x10"), "integer 16");
  EXPECT_EQ(outcome("string", "toint", "  1e3"), "integer 1000");
  EXPECT_EQ(outcome("string", "toint", "2147483647.9"), "integer 2147483647");
  EXPECT_EQ(outcome("string", "toint", "-2147483648"), "integer -2147483648");
  /* Nothing converted, underflow, and values outside the integer range give nil. */
  for (const char *text :
       {"abc", "", "1e-400", "2147483648", "-2147483649", "1e400", "inf", "nan"})
    EXPECT_EQ(outcome("string", "toint", text), "nil") << text;
}

TEST(StringLib, ToFloatUsesSinglePrecision) {
  EXPECT_EQ(outcome("string", "tofloat", "2.5"), "float 2.5");
  EXPECT_EQ(outcome("string", "tofloat", "0.1"), "float 0.100000001");
  EXPECT_EQ(outcome("string", "tofloat", "-7x"), "float -7");
  EXPECT_EQ(outcome("string", "tofloat", "1e50"), "float inf");
  for (const char *text : {"", "x1", "1e-50"}) /* 1e-50 underflows to 0 */
    EXPECT_EQ(outcome("string", "tofloat", text), "nil") << text;
}

TEST(StringLib, ArgumentErrors) {
  EXPECT_EQ(outcome("string", "length", 5), TYPE + "string, got integer");
  EXPECT_EQ(outcome("string", "length", "a", "b"), COUNT + "1 parameters, got 2");
  EXPECT_EQ(outcome("string", "sub", "hello"), COUNT + "2 or 3 parameters, got 1");
  EXPECT_EQ(outcome("string", "sub", "hello", 1, 2, 3),
            COUNT + "2 or 3 parameters, got 4");
  EXPECT_EQ(outcome("string", "sub", 7, 1), TYPE + "string, got integer");
  EXPECT_EQ(outcome("string", "sub", "hello", 1.0), TYPE + "integer, got float");
  EXPECT_EQ(outcome("string", "sub", "hello", 1, "3"), TYPE + "integer, got string");
  EXPECT_EQ(outcome("string", "concat", "a"), COUNT + "at least 2 parameters, got 1");
  EXPECT_EQ(outcome("string", "concat", "a", "b", 3), TYPE + "string, got integer");
  EXPECT_EQ(outcome("string", "tostring"), COUNT + "1 parameters, got 0");
  EXPECT_EQ(outcome("string", "toint", 42), TYPE + "string, got integer");
  EXPECT_EQ(outcome("string", "tofloat", Nil{}), TYPE + "string, got nil");
}
