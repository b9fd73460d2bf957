/*
 * The table built-ins type, clone, size, foreach, map and reduce, called by
 * name from the host with script callbacks, including callbacks that fail or
 * change the table being walked.
 */
#include <initializer_list>
#include <map>
#include <string>

#include "test_vm_fixture.h"

using I = veskvm_instr;

class TableTest : public VmTest {
protected:
  void SetUp() override {
    VmTest::SetUp();
    BcodeBuilder b;
    for (const char *f :
         {"cbsum", "dbl", "nilf", "none", "red", "sumv", "bad", "mutate", "grow"})
      b.fun(f, f);
    b.op(I::VESKVM_INSTR_NOP);
    b.pushs("sum").pushi(0).op(I::VESKVM_INSTR_GSTORE);
    b.pushs("n").pushi(0).op(I::VESKVM_INSTR_GSTORE);
    b.op(I::VESKVM_INSTR_DONE);
    /* cbsum(k, v): n = n + 1; sum = sum + k * 1000 + v */
    b.label("cbsum")
        .pushs("n")
        .gload("n")
        .pushi(1)
        .op(I::VESKVM_INSTR_ADD)
        .op(I::VESKVM_INSTR_GSTORE);
    b.pushs("sum").gload("sum").lload(1).pushi(1000).op(I::VESKVM_INSTR_MUL);
    b.op(I::VESKVM_INSTR_ADD).lload(2).op(I::VESKVM_INSTR_ADD).op(I::VESKVM_INSTR_GSTORE);
    b.op(I::VESKVM_INSTR_RET0);
    /* dbl(k, v): v * 2 */
    b.label("dbl").lload(2).pushi(2).op(I::VESKVM_INSTR_MUL).op(I::VESKVM_INSTR_RET1);
    b.label("nilf").op(I::VESKVM_INSTR_PUSHNIL).op(I::VESKVM_INSTR_RET1);
    b.label("none").op(I::VESKVM_INSTR_RET0);
    /* red(k, v, acc): k * 100 + v * 10 + acc */
    b.label("red").lload(1).pushi(100).op(I::VESKVM_INSTR_MUL).lload(2).pushi(10);
    b.op(I::VESKVM_INSTR_MUL).op(I::VESKVM_INSTR_ADD).lload(3).op(I::VESKVM_INSTR_ADD);
    b.op(I::VESKVM_INSTR_RET1);
    /* sumv(k, v, acc): acc + v */
    b.label("sumv").lload(3).lload(2).op(I::VESKVM_INSTR_ADD).op(I::VESKVM_INSTR_RET1);
    /* bad: n = n + 1, then 1 + "x" */
    b.label("bad")
        .pushs("n")
        .gload("n")
        .pushi(1)
        .op(I::VESKVM_INSTR_ADD)
        .op(I::VESKVM_INSTR_GSTORE);
    b.pushi(1).pushs("x");
    bad_add_ = b.code_size();
    b.op(I::VESKVM_INSTR_ADD).op(I::VESKVM_INSTR_RET1);
    /* mutate(k, v): n = n + 1; for i = 1..300 { t[i] = nil; {} }; t[k + 100] = v */
    b.label("mutate").pushs("n").gload("n").pushi(1).op(I::VESKVM_INSTR_ADD);
    b.op(I::VESKVM_INSTR_GSTORE).pushi(1).lstore(3);
    b.label("mloop")
        .lload(3)
        .pushi(300)
        .op(I::VESKVM_INSTR_LTE)
        .op(I::VESKVM_INSTR_JUMPZ, "mend");
    b.gload("t").lload(3).op(I::VESKVM_INSTR_PUSHNIL).op(I::VESKVM_INSTR_TPUT);
    b.op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_POP);
    b.lload(3)
        .pushi(1)
        .op(I::VESKVM_INSTR_ADD)
        .lstore(3)
        .op(I::VESKVM_INSTR_JUMP, "mloop");
    b.label("mend").gload("t").lload(1).pushi(100).op(I::VESKVM_INSTR_ADD).lload(2);
    b.op(I::VESKVM_INSTR_TPUT).op(I::VESKVM_INSTR_RET0);
    /* grow(k, v): t[k + 1000] = v; v */
    b.label("grow").gload("t").lload(1).pushi(1000).op(I::VESKVM_INSTR_ADD).lload(2);
    b.op(I::VESKVM_INSTR_TPUT).lload(2).op(I::VESKVM_INSTR_RET1);
    builder_ = b;
    ASSERT_EQ(run(builder_), VESKVM_STATE_DONE) << err();
  }

  /* Global t = {k: v, ...} of integers. */
  veskobj_t make_t(std::initializer_list<std::pair<int32_t, int32_t>> entries) {
    veskobj_t t = veskheap_newobj(vm->heap, VESKTYPE_TABLE);
    veskvm_pushstr(vm, "t", 1);
    veskvm_push(vm, t);
    veskvm_gstore(vm);
    for (auto [k, v] : entries) {
      veskvm_push(vm, t);
      veskvm_pushi(vm, k);
      veskvm_pushi(vm, v);
      veskvm_tput(vm);
    }
    return t;
  }

  /* Calls built-in name with the given arguments; returns the state. */
  int call(const char *name, std::initializer_list<veskobj_t> args) {
    for (veskobj_t a : args)
      veskvm_push(vm, a);
    return veskvm_function_call(vm, name, static_cast<uint32_t>(args.size()));
  }

  veskobj_t g(const char *name) { return global(name); }
  veskobj_t integer(int32_t v) {
    veskvm_pushi(vm, v);
    veskobj_t o = top();
    veskvm_pop(vm);
    return o;
  }
  /* Integer entries of a table. */
  std::map<int32_t, int32_t> entries(veskobj_t t) {
    std::map<int32_t, int32_t> out;
    veskdict_foreach(
        t->t.value,
        [](const void *k, void *v, void *p) {
          (*static_cast<std::map<int32_t, int32_t> *>(p))[(*(veskobj_t *)k)->i.value] =
              (*(veskobj_t *)v)->i.value;
        },
        &out);
    return out;
  }
  int64_t frames() { return veskdarray_size(vm->lsymts); }

  BcodeBuilder builder_;
  size_t bad_add_ = 0;
};

TEST_F(TableTest, TypeNamesEveryType) {
  auto made = [this](auto push) {
    push();
    veskobj_t o = top();
    veskvm_pop(vm);
    return o;
  };
  std::pair<veskobj_t, const char *> cases[] = {
      {integer(1), "integer"},
      {made([this] { veskvm_pushf(vm, 1.0f); }), "float"},
      {made([this] { veskvm_pushnil(vm); }), "nil"},
      {made([this] { veskvm_pushstr(vm, "abc", 0); }), "string"},
      {make_t({}), "table"},
      {g("dbl"), "closure"},
      {made([this] { veskvm_pushu(vm, this); }), "userdata"}};
  for (auto [o, name] : cases) {
    ASSERT_EQ(call("type", {o}), VESKVM_STATE_READY) << err();
    EXPECT_EQ(top_str(), name);
    veskvm_pop(vm);
  }
}

TEST_F(TableTest, SizeCountsEntriesAndChecksItsArgument) {
  ASSERT_EQ(call("size", {make_t({})}), VESKVM_STATE_READY);
  EXPECT_EQ(top_int(), 0);
  ASSERT_EQ(call("size", {make_t({{1, 1}, {2, 2}, {-13, 3}})}), VESKVM_STATE_READY);
  EXPECT_EQ(top_int(), 3);
  veskvm_pushstr(vm, "x", 0);
  veskobj_t s = top();
  veskvm_pop(vm);
  EXPECT_EQ(call("size", {s}), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: expected table, got string");
}

TEST_F(TableTest, ArgumentCountsAreChecked) {
  struct {
    const char *fn;
    int given;
    const char *msg;
  } cases[] = {
      {"type", 0, "expected 1 parameters, got 0"},
      {"clone", 2, "expected 1 parameters, got 2"},
      {"size", 2, "expected 1 parameters, got 2"},
      {"foreach", 1, "expected 2 parameters, got 1"},
      {"map", 3, "expected 2 parameters, got 3"},
      {"reduce", 2, "expected 3 parameters, got 2"},
  };
  for (auto &c : cases) {
    TearDown();
    SetUp();
    for (int i = 0; i < c.given; ++i)
      veskvm_push(vm, make_t({}));
    EXPECT_EQ(veskvm_function_call(vm, c.fn, c.given), VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), std::string("wrong number of local variables: ") + c.msg) << c.fn;
  }
}

TEST_F(TableTest, WalkersCheckTableThenClosure) {
  for (const char *fn : {"foreach", "map", "reduce"}) {
    TearDown();
    SetUp();
    bool red = std::string(fn) == "reduce";
    veskobj_t t = make_t({{1, 1}});
    if (red)
      call(fn, {t, integer(1), integer(0)});
    else
      call(fn, {t, integer(1)});
    EXPECT_EQ(err(), "type mismatch: expected closure, got integer") << fn;
    TearDown();
    SetUp();
    if (red)
      call(fn, {integer(1), integer(1), integer(0)});
    else
      call(fn, {integer(1), integer(1)});
    EXPECT_EQ(err(), "type mismatch: expected table, got integer") << fn;
  }
}

TEST_F(TableTest, ForeachVisitsEveryEntryWithKeyAndValue) {
  veskobj_t t = make_t({{1, 2}, {3, 4}, {15, 6}});
  ASSERT_EQ(call("foreach", {t, g("cbsum")}), VESKVM_STATE_READY) << err();
  EXPECT_EQ(g("sum")->i.value, 1002 + 3004 + 15006);
  EXPECT_EQ(g("n")->i.value, 3);
  EXPECT_EQ(depth(), 0); /* foreach returns nothing */
  EXPECT_EQ(frames(), 0);
}

TEST_F(TableTest, MapBuildsANewTable) {
  veskobj_t t = make_t({{1, 2}, {3, 4}});
  ASSERT_EQ(call("map", {t, g("dbl")}), VESKVM_STATE_READY) << err();
  veskobj_t r = top();
  ASSERT_TRUE(veskobj_istable(r));
  EXPECT_NE(r->t.value, t->t.value);
  EXPECT_EQ(entries(r), (std::map<int32_t, int32_t>{{1, 4}, {3, 8}}));
  EXPECT_EQ(entries(t), (std::map<int32_t, int32_t>{{1, 2}, {3, 4}}));
}

TEST_F(TableTest, MapOverEmptyTableDoesNotCallTheFunction) {
  ASSERT_EQ(call("map", {make_t({}), g("bad")}), VESKVM_STATE_READY) << err();
  ASSERT_TRUE(veskobj_istable(top()));
  EXPECT_EQ(veskdict_size(top()->t.value), 0u);
  EXPECT_EQ(g("n")->i.value, 0);
}

TEST_F(TableTest, MapLeavesOutNilResults) {
  ASSERT_EQ(call("map", {make_t({{1, 1}, {2, 2}}), g("nilf")}), VESKVM_STATE_READY)
      << err();
  EXPECT_EQ(veskdict_size(top()->t.value), 0u);
}

TEST_F(TableTest, MapAndReduceNeedAResult) {
  EXPECT_EQ(call("map", {make_t({{1, 1}}), g("none")}), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(),
            "stack error: map(table,function) expects the function to return a value");
  TearDown();
  SetUp();
  EXPECT_EQ(call("reduce", {make_t({{1, 1}, {2, 2}}), g("none"), integer(0)}),
            VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: reduce(table,function,accumulator) expects the function "
                   "to return a value");
}

TEST_F(TableTest, ReducePassesKeyValueAccumulator) {
  ASSERT_EQ(call("reduce", {make_t({{3, 4}}), g("red"), integer(1000)}),
            VESKVM_STATE_READY);
  EXPECT_EQ(top_int(), 1340);
  ASSERT_EQ(call("reduce", {make_t({{1, 10}, {2, 20}, {12, 30}}), g("sumv"), integer(5)}),
            VESKVM_STATE_READY);
  EXPECT_EQ(top_int(), 65);
}

TEST_F(TableTest, ReduceOverEmptyTableReturnsTheAccumulator) {
  veskobj_t acc = integer(77);
  ASSERT_EQ(call("reduce", {make_t({}), g("bad"), acc}), VESKVM_STATE_READY);
  EXPECT_EQ(top(), acc);
  EXPECT_EQ(g("n")->i.value, 0);
}

TEST_F(TableTest, CloneIsDeep) {
  veskobj_t inner = veskheap_newobj(vm->heap, VESKTYPE_TABLE);
  veskobj_t t = make_t({{2, 3}});
  veskvm_push(vm, t);
  veskvm_pushi(vm, 1);
  veskvm_push(vm, inner);
  veskvm_tput(vm);
  veskvm_push(vm, inner);
  veskvm_pushi(vm, 5);
  veskvm_pushi(vm, 6);
  veskvm_tput(vm);
  veskvm_push(vm, t); /* t[7] = t: a cycle */
  veskvm_pushi(vm, 7);
  veskvm_push(vm, t);
  veskvm_tput(vm);
  ASSERT_EQ(call("clone", {t}), VESKVM_STATE_READY) << err();
  veskobj_t c = top();
  ASSERT_TRUE(veskobj_istable(c));
  EXPECT_NE(c->t.value, t->t.value);
  EXPECT_EQ(veskdict_size(c->t.value), 3u);
  veskobj_t key = integer(1);
  veskobj_t ci = *veskdict_get(c->t.value, &key, veskobj_t);
  ASSERT_TRUE(veskobj_istable(ci));
  EXPECT_NE(ci->t.value, inner->t.value);
  EXPECT_EQ(entries(ci), (std::map<int32_t, int32_t>{{5, 6}}));
  key = integer(7);
  EXPECT_EQ(*veskdict_get(c->t.value, &key, veskobj_t),
            c); /* the cycle is kept, not followed */
  /* Changing the copy leaves the source alone. */
  veskvm_push(vm, ci);
  veskvm_pushi(vm, 5);
  veskvm_pushi(vm, 60);
  veskvm_tput(vm);
  EXPECT_EQ(entries(inner), (std::map<int32_t, int32_t>{{5, 6}}));
}

TEST_F(TableTest, CloneOfAValueIsANewHeapObject) {
  veskobj_t i = integer(12);
  ASSERT_EQ(call("clone", {i}), VESKVM_STATE_READY);
  EXPECT_NE(top(), i);
  EXPECT_EQ(top_int(), 12);
  ASSERT_EQ(call("clone", {g("dbl")}), VESKVM_STATE_READY);
  ASSERT_TRUE(veskobj_isclosure(top()));
  EXPECT_EQ(top()->c.ref, g("dbl")->c.ref);
  EXPECT_NE(top()->c.actrec, g("dbl")->c.actrec);
}

// A closure held twice (a host can store one directly) is copied once, so
// the copies are one closure, as the originals are; it is a new closure.
TEST_F(TableTest, CloneKeepsAClosureHeldTwiceAsOneClosure) {
  veskobj_t t = make_t({});
  veskobj_t f = g("dbl");
  for (int32_t k : {1, 2}) {
    veskobj_t key = integer(k);
    veskdict_set(t->t.value, &key, &f);
  }
  ASSERT_EQ(call("clone", {t}), VESKVM_STATE_READY) << err();
  veskobj_t c = top();
  veskobj_t k1 = integer(1), k2 = integer(2);
  veskobj_t f1 = *veskdict_get(c->t.value, &k1, veskobj_t);
  veskobj_t f2 = *veskdict_get(c->t.value, &k2, veskobj_t);
  EXPECT_EQ(f1, f2);
  EXPECT_NE(f1, g("dbl"));
  EXPECT_EQ(f1->c.ref, g("dbl")->c.ref);
}

TEST_F(TableTest, CallbackFailureStopsTheWalkWhereItHappened) {
  veskobj_t t = make_t({{1, 1}, {2, 2}, {3, 3}});
  EXPECT_EQ(call("foreach", {t, g("bad")}), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch");
  EXPECT_EQ(g("n")->i.value, 1);
  EXPECT_EQ(veskvm_error_offset(vm), builder_.at(bad_add_));
  EXPECT_EQ(frames(), 2); /* foreach and the callback: nothing was unwound */
  EXPECT_EQ(depth(), 2);  /* the failed add keeps its operands */
}

TEST_F(TableTest, ForeachSurvivesCallbackEmptyingTheTable) {
  veskobj_t t = make_t({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {11, 11}, {21, 21}});
  ASSERT_EQ(call("foreach", {t, g("mutate")}), VESKVM_STATE_READY) << err();
  /* The first visit removed every other entry: they are skipped; the entry
     it added is not visited. */
  EXPECT_EQ(g("n")->i.value, 1);
  ASSERT_EQ(veskdict_size(t->t.value), 1u);
  int32_t added = entries(t).begin()->first;
  EXPECT_GT(added, 100);
}

TEST_F(TableTest, MapAndReduceSurviveCallbacksChangingTheTable) {
  veskobj_t t = make_t({{1, 1}, {2, 2}});
  ASSERT_EQ(call("map", {t, g("grow")}), VESKVM_STATE_READY) << err();
  EXPECT_EQ(entries(top()), (std::map<int32_t, int32_t>{{1, 1}, {2, 2}}));
  EXPECT_EQ(veskdict_size(t->t.value), 4u);

  veskobj_t u = make_t({{1, 1}, {2, 2}, {3, 3}});
  ASSERT_EQ(call("reduce", {u, g("mutate"), integer(0)}), VESKVM_STATE_ERROR);
  /* mutate returns nothing: the reduce message, after the first visit */
  EXPECT_EQ(err(), "stack error: reduce(table,function,accumulator) expects the function "
                   "to return a value");
  EXPECT_EQ(g("n")->i.value, 1);
}
