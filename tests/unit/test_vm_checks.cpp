/*
 * The argument checks of native functions (veskvm_check*) and the value
 * printer shared by the stack dumps, print and io.fwrite (veskobj_print).
 */
#include <stdio.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "test_vm_fixture.h"

using I = veskvm_instr;

namespace {

/* What the native under test does; set by each test before the script runs. */
std::function<int(veskvm_t)> probe_body;

int probe(veskvm_t vm) {
  return probe_body(vm);
}

class CheckTest : public VmTest {
protected:
  /* Runs a script that calls the probe native with what args pushes. */
  int call_probe(int32_t argc, const std::function<void(BcodeBuilder &)> &args) {
    VmTest::TearDown(); /* a fresh VM for every call */
    VmTest::SetUp();
    BcodeBuilder b;
    b.op(I::VESKVM_INSTR_NOP).gload("probe");
    args(b);
    b.call(argc).op(I::VESKVM_INSTR_DONE);
    if (load(b) != VESKVM_STATE_READY) return vm->state;
    veskvm_register_global_function(vm, "probe", probe);
    return veskvm_execute_script(vm);
  }
  /* The error message of a probe that runs check on one argument pushed by
     push; empty when the call did not fail. */
  std::string rejection(const std::function<bool(veskvm_t)> &check,
                        const std::function<void(BcodeBuilder &)> &push) {
    probe_body = [&](veskvm_t v) { return check(v) ? veskvm_ret0(v) : v->state; };
    return call_probe(1, push) == VESKVM_STATE_ERROR ? err() : "";
  }
  void TearDown() override {
    probe_body = nullptr;
    VmTest::TearDown();
  }
};

TEST_F(CheckTest, CheckIntReadsAndPushesTheArgument) {
  int32_t seen = 0;
  int64_t pushed = -1;
  probe_body = [&](veskvm_t v) {
    if (!veskvm_checknargs(v, 1) || !veskvm_checkint(v, 1, &seen)) return v->state;
    pushed = veskvm_stack_size(v);
    return veskvm_ret0(v);
  };
  EXPECT_EQ(call_probe(1, [](BcodeBuilder &b) { b.pushi(41); }), VESKVM_STATE_DONE)
      << err();
  EXPECT_EQ(seen, 41);
  EXPECT_EQ(pushed, 1); /* the argument, on the native's own stack */
}

TEST_F(CheckTest, CheckIntRejectsAFloat) {
  probe_body = [](veskvm_t v) {
    int32_t unused;
    if (!veskvm_checkint(v, 1, &unused)) return v->state;
    return veskvm_ret0(v);
  };
  EXPECT_EQ(call_probe(1, [](BcodeBuilder &b) { b.pushf(1.5f); }), VESKVM_STATE_ERROR);
  EXPECT_EQ(vm->error, VESKVM_ERROR_TYPE);
  EXPECT_EQ(err(), "type mismatch: expected integer, got float");
  ASSERT_NE(top(), nullptr);
  EXPECT_TRUE(veskobj_isfloat(top())); /* the failed argument stays pushed */
}

TEST_F(CheckTest, CheckStringGivesTheText) {
  std::string seen;
  probe_body = [&](veskvm_t v) {
    const char *s = veskvm_checkstring(v, 1);
    if (!s) return v->state;
    seen = s;
    return veskvm_ret0(v);
  };
  EXPECT_EQ(call_probe(1, [](BcodeBuilder &b) { b.pushs("north"); }), VESKVM_STATE_DONE)
      << err();
  EXPECT_EQ(seen, "north");
}

TEST_F(CheckTest, CheckStringRejectsNil) {
  EXPECT_EQ(rejection([](veskvm_t v) { return veskvm_checkstring(v, 1) != nullptr; },
                      [](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHNIL); }),
            "type mismatch: expected string, got nil");
}

TEST_F(CheckTest, CheckTableAndClosureAcceptTheirTypes) {
  veskobj_t table = nullptr, closure = nullptr;
  probe_body = [&](veskvm_t v) {
    table = veskvm_checktable(v, 1);
    closure = table ? veskvm_checkclosure(v, 2) : nullptr;
    return closure ? veskvm_ret0(v) : v->state;
  };
  EXPECT_EQ(
      call_probe(2, [](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHT).gload("probe"); }),
      VESKVM_STATE_DONE)
      << err();
  ASSERT_NE(table, nullptr);
  ASSERT_NE(closure, nullptr);
  EXPECT_TRUE(veskobj_istable(table));
  EXPECT_TRUE(veskobj_isclosure(closure));
}

TEST_F(CheckTest, CheckTableAndClosureNameWhatTheyGot) {
  EXPECT_EQ(rejection([](veskvm_t v) { return veskvm_checktable(v, 1) != nullptr; },
                      [](BcodeBuilder &b) { b.pushi(3); }),
            "type mismatch: expected table, got integer");
  EXPECT_EQ(rejection([](veskvm_t v) { return veskvm_checkclosure(v, 1) != nullptr; },
                      [](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHT); }),
            "type mismatch: expected closure, got table");
}

TEST_F(CheckTest, CheckNargsKeepsTheStandardMessage) {
  EXPECT_EQ(rejection([](veskvm_t v) { return veskvm_checknargs(v, 2) != 0; },
                      [](BcodeBuilder &b) { b.pushi(1); }),
            "wrong number of local variables: expected 2 parameters, got 1");
  EXPECT_EQ(vm->error, VESKVM_ERROR_LNUM);
}

TEST_F(CheckTest, CheckMinArgsAcceptsMoreAndRejectsFewer) {
  probe_body = [](veskvm_t v) {
    return veskvm_checkminargs(v, 2) ? veskvm_ret0(v) : v->state;
  };
  EXPECT_EQ(call_probe(3, [](BcodeBuilder &b) { b.pushi(1).pushi(2).pushi(3); }),
            VESKVM_STATE_DONE)
      << err();
  EXPECT_EQ(call_probe(1, [](BcodeBuilder &b) { b.pushi(1); }), VESKVM_STATE_ERROR);
  EXPECT_EQ(vm->error, VESKVM_ERROR_LNUM);
  EXPECT_EQ(err(),
            "wrong number of local variables: expected at least 2 parameters, got 1");
}

TEST_F(CheckTest, CheckArgPushesAnyType) {
  veskobj_t seen = nullptr;
  probe_body = [&](veskvm_t v) {
    seen = veskvm_checkarg(v, 1);
    return seen && veskvm_stack_at(v, 1) == seen ? veskvm_ret0(v) : v->state;
  };
  EXPECT_EQ(call_probe(1, [](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHNIL); }),
            VESKVM_STATE_DONE)
      << err();
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(veskobj_isnil(seen));
}

TEST_F(CheckTest, CheckLsymLeavesTheStackAlone) {
  int64_t before = -1, after = -1;
  veskobj_t seen = nullptr;
  probe_body = [&](veskvm_t v) {
    before = veskvm_stack_size(v);
    seen = veskvm_checklsym(v, 1, VESKTYPE_INT);
    after = veskvm_stack_size(v);
    return seen ? veskvm_ret0(v) : v->state;
  };
  EXPECT_EQ(call_probe(1, [](BcodeBuilder &b) { b.pushi(9); }), VESKVM_STATE_DONE)
      << err();
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(seen->i.value, 9);
  EXPECT_EQ(after, before);

  EXPECT_EQ(call_probe(1, [](BcodeBuilder &b) { b.pushs("x"); }), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: expected integer, got string");
  EXPECT_EQ(after, before);
}

/* Printing */

/* What f writes to a stream, as text. */
std::string written(const std::function<void(FILE *)> &f) {
  char *buf = nullptr;
  size_t len = 0;
  FILE *out = open_memstream(&buf, &len);
  if (!out) return "<no stream>";
  f(out);
  fclose(out);
  std::string text(buf, len);
  free(buf);
  return text;
}

std::string printed(veskobj_t o, veskobj_print_style style) {
  return written([&](FILE *out) { veskobj_print(out, o, style); });
}

class PrintTest : public ::testing::Test {
protected:
  veskobj_t make(uint16_t type) {
    veskobj_t o = veskobj_new(type);
    made.push_back(o);
    return o;
  }
  void TearDown() override {
    for (veskobj_t o : made)
      veskobj_destroy(&o);
  }
  std::vector<veskobj_t> made;
};

/* One value of each type: the integer -12, the float 0.5, the string 4
   "east", an empty table, the closure @40, userdata. */
class PrintEachTypeTest : public PrintTest {
protected:
  void SetUp() override {
    nil = make(VESKTYPE_NIL);
    i = make(VESKTYPE_INT);
    i->i.value = -12;
    f = make(VESKTYPE_FLOAT);
    f->f.value = 0.5f;
    s = make(VESKTYPE_STRING);
    s->s.id = 4;
    s->s.str = "east";
    t = make(VESKTYPE_TABLE);
    c = make(VESKTYPE_CLOSURE);
    c->c.ref = 40;
    c->c.isscript = 1;
    u = make(VESKTYPE_USERDATA);
  }
  veskobj_t nil, i, f, s, t, c, u;
};

TEST_F(PrintEachTypeTest, EachStyleWritesItsOwnFormat) {
  veskobj_t script = c;
  veskobj_t native = make(VESKTYPE_CLOSURE);
  native->c.ref = 40;
  const struct {
    veskobj_t value;
    const char *text;
    const char *dump;
  } rows[] = {
      {nil, "[nil]", "[nil]\n"},
      {i, "-12", "[int] -12\n"},
      {f, "0.500000", "[float] 0.500000\n"},
      {s, "east", "[string] 4:'east'\n"},
      {t, "[table with 0 elems]", "[table] 0 elements\n"},
      {script, "[n-closure @40]", "[n-closure] 40\n"},
      {native, "[c-closure @40]", "[c-closure] 40\n"},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(printed(row.value, VESKOBJ_PRINT_TEXT), row.text);
    EXPECT_EQ(printed(row.value, VESKOBJ_PRINT_DUMP), row.dump);
  }
}

TEST_F(PrintEachTypeTest, UserdataShowsItsAddressAsTextOnly) {
  EXPECT_EQ(printed(u, VESKOBJ_PRINT_TEXT).rfind("[userdata @", 0), 0u);
  EXPECT_EQ(printed(u, VESKOBJ_PRINT_DUMP), "[TODO] type = 6\n");
}

TEST_F(PrintTest, DumpStackListsTopFirstWithPositions) {
  veskobj_t i = make(VESKTYPE_INT);
  i->i.value = 3;
  veskobj_t n = make(VESKTYPE_NIL);
  veskdarray_t stack = veskdarray_new(4, sizeof(veskobj_t), nullptr);
  veskdarray_push(stack, &n);
  veskdarray_push(stack, &i);
  std::string text = written([&](FILE *out) { veskvm_dump_stack(out, stack); });
  veskdarray_destroy(&stack);
  EXPECT_EQ(text, "\t1\t[int] 3\n\t0\t[nil]\n");
}

} // namespace
