/*
 * Loading bytecode and executing single instructions: results, errors, the
 * program-counter rules and the diagnostic dump.
 */
#include <cmath>
#include <functional>

#include "test_vm_fixture.h"

using I = veskvm_instr;

/* Loading */

TEST_F(VmTest, FifteenByteProgramAddsTwoAndThree) {
  ASSERT_EQ(load_raw({0x00, 0x00, 0x00, 0x1F, 0x02, 0x00, 0x00, 0x00, 0x1F, 0x03, 0x00,
                      0x00, 0x00, 0x07, 0x01}),
            VESKVM_STATE_READY);
  EXPECT_EQ(vm->pc, 3);
  EXPECT_EQ(veskvm_execute_script(vm), VESKVM_STATE_DONE);
  ASSERT_EQ(depth(), 1);
  EXPECT_EQ(top_int(), 5);
  EXPECT_EQ(vm->pc, 14); /* done does not move pc */
}

TEST_F(VmTest, LoadingRegistersStringsInOrderAndBindsGlobals) {
  BcodeBuilder b;
  b.str("alpha");
  b.fun("f", "f").op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  b.label("f").op(I::VESKVM_INSTR_RET0);
  ASSERT_EQ(load(b), VESKVM_STATE_READY);
  EXPECT_STREQ(veskvm_string_get(vm, 0), "alpha");
  EXPECT_STREQ(veskvm_string_get(vm, 1), "f");
  veskobj_t f = global("f");
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(veskobj_isclosure(f));
  EXPECT_EQ(f->c.ref, b.offset("f"));
  EXPECT_EQ(f->c.isscript, 1);
  veskobj_t id = global("id");
  ASSERT_NE(id, nullptr);
  ASSERT_TRUE(veskobj_isint(id));
  EXPECT_EQ(id->i.value, ROBOT);
  for (const char *name : {"type", "clone", "size", "foreach", "map", "reduce"}) {
    veskobj_t g = global(name);
    ASSERT_NE(g, nullptr) << name;
    EXPECT_TRUE(veskobj_isclosure(g) && g->c.isscript == 0) << name;
  }
  EXPECT_EQ(depth(), 0); /* the prologue leaves nothing behind */
}

TEST_F(VmTest, StringCountBeyondBufferStopsAtItsEnd) {
  /* Three strings announced, two present, and no code at all. */
  EXPECT_EQ(load_raw({3, 0, 'a', 0, 'b', 'c', 0}), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "pc out of range");
  EXPECT_STREQ(veskvm_string_get(vm, 0), "a");
  EXPECT_STREQ(veskvm_string_get(vm, 1), "bc");
  EXPECT_EQ(vm->pc, 7);
}

TEST_F(VmTest, UnterminatedStringIsReadOnlyUpToTheBufferEnd) {
  EXPECT_EQ(load_raw({1, 0, 'x', 'y'}), VESKVM_STATE_ERROR);
  EXPECT_STREQ(veskvm_string_get(vm, 0), "xy");
  EXPECT_EQ(load_raw({5}), VESKVM_STATE_ERROR); /* shorter than the count itself */
  EXPECT_EQ(err(), "pc out of range");
}

TEST_F(VmTest, ErrorInPrologueStopsLoading) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_POP).op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(load(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: empty stack");
  EXPECT_EQ(global("type"), nullptr); /* libraries were not installed */
}

/* Program-counter rules */

TEST_F(VmTest, ArgumentEndingAtCodeEndIsOutOfRange) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).pushi(1);
  ASSERT_EQ(load(b), VESKVM_STATE_READY);
  EXPECT_EQ(veskvm_step(vm), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "pc out of range");
  EXPECT_EQ(depth(), 0);
  EXPECT_EQ(veskvm_error_offset(vm), b.at(1));
}

TEST_F(VmTest, ArgumentFollowedByOneByteIsRead) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).pushi(-9).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_EQ(top_int(), -9);
}

TEST_F(VmTest, JumpToCodeSizeIsOutOfRange) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP)
      .op(I::VESKVM_INSTR_JUMP, "end")
      .op(I::VESKVM_INSTR_DONE)
      .label("end");
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "pc out of range");
  EXPECT_EQ(vm->pc, static_cast<int32_t>(code.size()));
  EXPECT_EQ(veskvm_error_offset(vm), b.at(1));
}

TEST_F(VmTest, PlainInstructionsMoveBeforeOrAfterRunning) {
  /* pushnil moves pc first: as the last byte it pushes nothing. */
  BcodeBuilder a;
  a.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_PUSHNIL);
  EXPECT_EQ(run(a), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "pc out of range");
  EXPECT_EQ(depth(), 0);

  /* pusht runs first: as the last byte its table is on the stack. */
  TearDown();
  SetUp();
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_PUSHT);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "pc out of range");
  ASSERT_EQ(depth(), 1);
  EXPECT_TRUE(veskobj_istable(top()));
}

TEST_F(VmTest, ConditionalJumpKeepsConditionWhenTargetIsBad) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP)
      .pushi(0)
      .op(I::VESKVM_INSTR_JUMPZ, 100000)
      .op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "pc out of range");
  EXPECT_EQ(depth(), 1);
  EXPECT_EQ(vm->pc, 100000);
}

TEST_F(VmTest, ConditionalJumpsFollowTruth) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP);
  b.pushf(0.0f).op(I::VESKVM_INSTR_JUMPZ, "bad"); /* 0.0 is true: no jump */
  b.op(I::VESKVM_INSTR_PUSHNIL).op(I::VESKVM_INSTR_JUMPNZ, "bad");
  b.pushi(0).op(I::VESKVM_INSTR_JUMPZ, "good");
  b.label("bad").pushi(-1).op(I::VESKVM_INSTR_DONE);
  b.label("good").pushi(1).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_EQ(depth(), 1);
  EXPECT_EQ(top_int(), 1);
}

TEST_F(VmTest, UnknownOpcodeRaisesUnknownInstruction) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).raw({41, 0, 0, 0, 0, 0});
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(vm->error, VESKVM_ERROR_INSTR);
  EXPECT_EQ(err(), "unknown instruction");
}

TEST_F(VmTest, StepOnlyRunsWhenReady) {
  EXPECT_EQ(veskvm_step(vm), VESKVM_STATE_NOCODE);
  EXPECT_STREQ(veskvm_strerror(vm), "No error");
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_EQ(veskvm_step(vm), VESKVM_STATE_DONE);
  EXPECT_STREQ(veskvm_strerror(vm), "No error");
}

/* Arithmetic */

struct ArithCase {
  const char *name;
  bool fa;
  float a;
  bool fb;
  float b;
  uint8_t op;
  bool float_result;
  double expected;
};

void PrintTo(const ArithCase &c, std::ostream *os) {
  *os << c.name;
}

class ArithTest : public VmTest, public ::testing::WithParamInterface<ArithCase> {};

TEST_P(ArithTest, Computes) {
  const ArithCase &c = GetParam();
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP);
  if (c.fa)
    b.pushf(c.a);
  else
    b.pushi(static_cast<int32_t>(c.a));
  if (c.fb)
    b.pushf(c.b);
  else
    b.pushi(static_cast<int32_t>(c.b));
  b.op(c.op).op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE) << err();
  ASSERT_EQ(depth(), 1);
  if (c.float_result)
    EXPECT_FLOAT_EQ(top_float(), static_cast<float>(c.expected));
  else
    EXPECT_EQ(top_int(), static_cast<int32_t>(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Results, ArithTest,
    ::testing::Values(
        ArithCase{"div", false, 7, false, 2, VESKVM_INSTR_DIV, false, 3},
        ArithCase{"negdiv", false, -7, false, 2, VESKVM_INSTR_DIV, false, -3},
        ArithCase{"fdiv", false, 7, true, 2, VESKVM_INSTR_DIV, true, 3.5},
        ArithCase{"mod", false, -7, false, 3, VESKVM_INSTR_MOD, false, 2},
        ArithCase{"modneg", false, 7, false, -3, VESKVM_INSTR_MOD, false, 1},
        ArithCase{"modnegneg", false, -7, false, -3, VESKVM_INSTR_MOD, false, -4},
        ArithCase{"fmod", true, -7.5f, false, 2, VESKVM_INSTR_MOD, true, 0.5},
        ArithCase{"pow", false, 2, false, 3, VESKVM_INSTR_POW, true, 8},
        ArithCase{"sub", false, 3, true, 0.5f, VESKVM_INSTR_SUB, true, 2.5},
        ArithCase{"mul", false, -4, false, 6, VESKVM_INSTR_MUL, false, -24}),
    [](const auto &param_info) { return std::string(param_info.param.name); });

TEST_F(VmTest, IntegerArithmeticWraps) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).pushi(INT32_MAX).pushi(1).op(I::VESKVM_INSTR_ADD);
  b.pushi(INT32_MIN).op(I::VESKVM_INSTR_UNM).op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE) << err();
  EXPECT_EQ(top_int(), INT32_MIN);
  EXPECT_EQ(top(2)->i.value, INT32_MIN);
}

TEST_F(VmTest, RuleAKeepsOperandsRulesBAndCPopThem) {
  for (uint8_t op : {VESKVM_INSTR_ADD, VESKVM_INSTR_SUB, VESKVM_INSTR_MUL,
                     VESKVM_INSTR_DIV, VESKVM_INSTR_MOD, VESKVM_INSTR_POW}) {
    EXPECT_EQ(run_fresh([&](BcodeBuilder &b) { b.pushi(1).pushs("s").op(op); }),
              VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), "type mismatch") << veskvm_instr_desc[op];
    bool keeps = op != VESKVM_INSTR_MOD && op != VESKVM_INSTR_POW;
    EXPECT_EQ(depth(), keeps ? 2 : 0) << veskvm_instr_desc[op];
    EXPECT_EQ(veskvm_error_offset(vm), fresh.at(11));
  }
}

TEST_F(VmTest, IntegerDivisionFaultsAreVmErrors) {
  struct {
    int32_t a, b;
    uint8_t op;
    const char *msg;
    int64_t left;
  } cases[] = {
      {7, 0, VESKVM_INSTR_DIV, "type mismatch: integer div by zero (7 div 0)", 2},
      {7, 0, VESKVM_INSTR_MOD, "type mismatch: integer mod by zero (7 mod 0)", 0},
      {INT32_MIN, -1, VESKVM_INSTR_DIV,
       "type mismatch: integer overflow (-2147483648 div -1)", 2},
      {INT32_MIN, -1, VESKVM_INSTR_MOD,
       "type mismatch: integer overflow (-2147483648 mod -1)", 0},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(run_fresh([&](BcodeBuilder &b) { b.pushi(c.a).pushi(c.b).op(c.op); }),
              VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), c.msg);
    EXPECT_EQ(depth(), c.left);
  }
}

TEST_F(VmTest, FloatDivisionByZeroGivesInfinity) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP)
      .pushf(1.0f)
      .pushi(0)
      .op(I::VESKVM_INSTR_DIV)
      .op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_TRUE(std::isinf(top_float()));
}

TEST_F(VmTest, UnaryMinus) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP)
      .pushi(4)
      .op(I::VESKVM_INSTR_UNM)
      .pushf(1.5f)
      .op(I::VESKVM_INSTR_UNM);
  b.op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_FLOAT_EQ(top_float(), -1.5f);
  EXPECT_EQ(top(2)->i.value, -4);

  TearDown();
  SetUp();
  BcodeBuilder c;
  c.op(I::VESKVM_INSTR_NOP).pushs("x").op(I::VESKVM_INSTR_UNM).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(c), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch");
  EXPECT_EQ(depth(), 0);

  TearDown();
  SetUp();
  BcodeBuilder d;
  d.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_UNM).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(d), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: stack idx 1 out of bounds");
}

/* Logic and comparison */

TEST_F(VmTest, LogicUsesTruthOfValues) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP);
  b.pushf(0.0f).pushi(1).op(I::VESKVM_INSTR_AND);                /* 1 */
  b.op(I::VESKVM_INSTR_PUSHNIL).pushi(0).op(I::VESKVM_INSTR_OR); /* 0 */
  b.op(I::VESKVM_INSTR_PUSHNIL).op(I::VESKVM_INSTR_NOT);         /* 1 */
  b.pushs("").op(I::VESKVM_INSTR_NOT);                           /* 0 */
  b.op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE);
  ASSERT_EQ(depth(), 4);
  EXPECT_EQ(top(4)->i.value, 1);
  EXPECT_EQ(top(3)->i.value, 0);
  EXPECT_EQ(top(2)->i.value, 1);
  EXPECT_EQ(top(1)->i.value, 0);
}

TEST_F(VmTest, ComparisonsFollowValueOrder) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP);
  b.pushi(2).pushf(2.0f).op(I::VESKVM_INSTR_EQ); /* 1 */
  b.pushs("10").pushi(9).op(I::VESKVM_INSTR_LT); /* "10" < "9": 1 */
  b.op(I::VESKVM_INSTR_PUSHNIL).op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_LT); /* 1 */
  b.pushi(3).pushi(3).op(I::VESKVM_INSTR_GT);                                     /* 0 */
  b.pushi(3).pushf(2.5f).op(I::VESKVM_INSTR_GTE);                                 /* 1 */
  b.pushs("a").pushs("b").op(I::VESKVM_INSTR_NEQ);                                /* 1 */
  b.pushi(5).pushi(4).op(I::VESKVM_INSTR_LTE);                                    /* 0 */
  b.op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE) << err();
  std::vector<int32_t> want = {1, 1, 1, 0, 1, 1, 0};
  ASSERT_EQ(depth(), static_cast<int64_t>(want.size()));
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_EQ(top(static_cast<int64_t>(want.size() - i))->i.value, want[i])
        << "case " << i;
}

TEST_F(VmTest, ComparingValuesWithoutOrderIsAnError) {
  struct {
    std::function<void(BcodeBuilder &)> push;
    const char *msg;
  } cases[] = {
      {[](BcodeBuilder &b) {
         b.op(I::VESKVM_INSTR_PUSHCN, 2).op(I::VESKVM_INSTR_PUSHCN, 2);
       },
       "type mismatch: cannot compare closure with closure"},
      {[](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHT).pushi(1); },
       "type mismatch: cannot compare table with integer"},
  };
  for (auto &c : cases) {
    EXPECT_EQ(run_fresh([&](BcodeBuilder &b) {
                c.push(b);
                b.op(I::VESKVM_INSTR_EQ);
              }),
              VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), c.msg);
    EXPECT_EQ(depth(), 2);
  }
}

TEST_F(VmTest, BinaryInstructionsNeedTwoOperands) {
  for (uint8_t op = VESKVM_INSTR_ADD; op <= VESKVM_INSTR_LTE; ++op) {
    if (op == VESKVM_INSTR_UNM || op == VESKVM_INSTR_NOT) continue;
    EXPECT_EQ(run_fresh([&](BcodeBuilder &b) { b.pushi(1).op(op); }), VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), "stack error: stack idx 2 out of bounds") << veskvm_instr_desc[op];
    EXPECT_EQ(depth(), 1) << veskvm_instr_desc[op];
  }
}

TEST_F(VmTest, PopAndDupOnEmptyStack) {
  for (uint8_t op : {VESKVM_INSTR_POP, VESKVM_INSTR_DUP}) {
    EXPECT_EQ(run_fresh([&](BcodeBuilder &b) { b.op(op); }), VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), "stack error: empty stack");
  }
}

/* Globals, strings and tables */

TEST_F(VmTest, GlobalsStoreAndLoad) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).pushs("g").pushi(42).op(I::VESKVM_INSTR_GSTORE);
  b.gload("g").gload("undefined").op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_TRUE(veskobj_isnil(top()));
  EXPECT_EQ(top(2)->i.value, 42);
}

TEST_F(VmTest, GlobalNamesMustBeStrings) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).pushi(1).op(I::VESKVM_INSTR_GLOAD).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: expected string, got integer");

  TearDown();
  SetUp();
  BcodeBuilder c;
  c.op(I::VESKVM_INSTR_NOP)
      .pushi(1)
      .pushi(2)
      .op(I::VESKVM_INSTR_GSTORE)
      .op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(c), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: expected string, got integer");
  EXPECT_EQ(depth(), 2);
}

TEST_F(VmTest, UnknownStringId) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_PUSHS, 77).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(vm->error, VESKVM_ERROR_STRING);
  EXPECT_EQ(err(), "unknown string id: id read = 77");
}

TEST_F(VmTest, TablePutGetAndRemove) {
  BcodeBuilder p;
  p.op(I::VESKVM_INSTR_NOP);
  p.pushs("t").op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_GSTORE);
  p.gload("t").pushi(1).pushs("one").op(I::VESKVM_INSTR_TPUT);
  p.gload("t").pushf(1.0f).op(I::VESKVM_INSTR_TGET); /* 1.0 finds key 1 */
  p.gload("t").pushi(1).op(I::VESKVM_INSTR_PUSHNIL).op(I::VESKVM_INSTR_TPUT);
  p.gload("t").pushi(1).op(I::VESKVM_INSTR_TGET);
  p.op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(p), VESKVM_STATE_DONE) << err();
  ASSERT_EQ(depth(), 2);
  EXPECT_TRUE(veskobj_isnil(top()));
  ASSERT_TRUE(veskobj_isstring(top(2)));
  EXPECT_STREQ(top(2)->s.str, "one");
  EXPECT_EQ(veskdict_size(global("t")->t.value), 0u);
}

TEST_F(VmTest, TableInstructionsCheckTableAndKey) {
  struct {
    std::function<void(BcodeBuilder &)> prog;
    const char *msg;
    int64_t left;
  } cases[] = {
      {[](BcodeBuilder &b) { b.pushi(1).pushi(2).op(I::VESKVM_INSTR_TGET); },
       "type mismatch: expected table, got integer", 2},
      {[](BcodeBuilder &b) { b.pushi(1).pushi(2).pushi(3).op(I::VESKVM_INSTR_TPUT); },
       "type mismatch: expected table, got integer", 3},
      {[](BcodeBuilder &b) {
         b.op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_TGET);
       },
       "type mismatch: a table cannot be a table key", 2},
      {[](BcodeBuilder &b) {
         b.op(I::VESKVM_INSTR_PUSHT)
             .op(I::VESKVM_INSTR_PUSHNIL)
             .pushi(1)
             .op(I::VESKVM_INSTR_TPUT);
       },
       "type mismatch: a nil cannot be a table key", 3},
      {[](BcodeBuilder &b) {
         b.op(I::VESKVM_INSTR_PUSHT)
             .op(I::VESKVM_INSTR_PUSHCN, 2)
             .op(I::VESKVM_INSTR_PUSHNIL);
         b.op(I::VESKVM_INSTR_TPUT);
       },
       "type mismatch: a closure cannot be a table key", 3},
      {[](BcodeBuilder &b) {
         b.op(I::VESKVM_INSTR_PUSHT).pushi(1).op(I::VESKVM_INSTR_TPUT);
       },
       "stack error: stack idx 3 out of bounds", 2},
  };
  for (auto &c : cases) {
    EXPECT_EQ(run_fresh(c.prog), VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), c.msg);
    EXPECT_EQ(depth(), c.left) << c.msg;
  }
}

/* Local symbols at the top level */

TEST_F(VmTest, LocalSymbolsNeedAnActiveCall) {
  struct {
    std::function<void(BcodeBuilder &)> prog;
    const char *msg;
  } cases[] = {
      {[](BcodeBuilder &b) { b.lload(0); },
       "wrong number of local variables: lload outside of a function call"},
      {[](BcodeBuilder &b) { b.pushi(1).lstore(1); },
       "wrong number of local variables: lstore outside of a function call"},
      {[](BcodeBuilder &b) { b.lstore(1); }, "stack error: stack idx 1 out of bounds"},
      {[](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_RET0); },
       "stack error: return outside of a function call"},
      {[](BcodeBuilder &b) { b.pushi(1).op(I::VESKVM_INSTR_RET1); },
       "stack error: return outside of a function call"},
  };
  for (auto &c : cases) {
    EXPECT_EQ(run_fresh(c.prog), VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), c.msg);
    EXPECT_EQ(veskdarray_size(vm->stacks), 1);
  }
}

/* Dump */

TEST_F(VmTest, DumpPrintsStateAndStackFromTheTop) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_PUSHNIL).pushi(-3).pushf(2.5f).pushs("hi");
  b.op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_PUSHCN, 9).op(I::VESKVM_INSTR_PUSHCC, 4);
  b.op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE);
  veskvm_pushu(vm, nullptr);
  std::string line(60, '=');
  testing::internal::CaptureStderr();
  veskvm_dump(vm);
  std::string out = testing::internal::GetCapturedStderr();
  std::string want = line +
                     "\nstate: 2\terror: 0\ncode size: " + std::to_string(code.size()) +
                     "\tpc: " + std::to_string(code.size() - 1) +
                     "\nstacks: 1\tcur elem: 8 (size 8)\n"
                     "\t7\t[TODO] type = 6\n"
                     "\t6\t[c-closure] 4\n"
                     "\t5\t[n-closure] 9\n"
                     "\t4\t[table] 0 elements\n"
                     "\t3\t[string] 0:'hi'\n"
                     "\t2\t[float] 2.500000\n"
                     "\t1\t[int] -3\n"
                     "\t0\t[nil]\n" +
                     line + "\n\n";
  EXPECT_EQ(out, want);
}

/* Collection while running */

TEST_F(VmTest, GarbageIsCollectedWhileLooping) {
  /* Each iteration leaves garbage: a table and intermediate numbers. */
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).pushs("i").pushi(0).op(I::VESKVM_INSTR_GSTORE);
  b.label("loop")
      .gload("i")
      .pushi(20000)
      .op(I::VESKVM_INSTR_LT)
      .op(I::VESKVM_INSTR_JUMPZ, "end");
  b.op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_POP);
  b.pushs("i").gload("i").pushi(1).op(I::VESKVM_INSTR_ADD).op(I::VESKVM_INSTR_GSTORE);
  b.op(I::VESKVM_INSTR_JUMP, "loop");
  b.label("end").gload("i").op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE) << err();
  EXPECT_EQ(top_int(), 20000);
  EXPECT_LT(veskdarray_size(vm->heap->objs), 1000);
}
