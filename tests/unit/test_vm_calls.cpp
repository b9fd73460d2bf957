/*
 * Calls and returns: script and native functions, methods, lambdas, host
 * calls by name, the positions errors are reported at, and the limits that
 * keep runaway scripts from taking the process down.
 */
#include <algorithm>
#include <functional>
#include <vector>
#include <string>

#include "test_vm_fixture.h"

using I = veskvm_instr;

namespace {

/* one(x): x + 1 */
int native_one(veskvm_t vm) {
  if (veskvm_lnum_assert(vm, 1) != VESKVM_STATE_READY) return vm->state;
  if (veskvm_lload(vm, 1) != VESKVM_STATE_READY) return vm->state;
  if (veskvm_type_assert(vm, 1, VESKTYPE_INT) != VESKVM_STATE_READY) return vm->state;
  int32_t x = veskvm_stack_at(vm, 1)->i.value;
  veskvm_pop(vm);
  veskvm_pushi(vm, x + 1);
  return veskvm_ret1(vm);
}

int native_fail(veskvm_t vm) {
  veskvm_seterror(vm, VESKVM_ERROR_TYPE, "native %s", "failure");
  return vm->state;
}

/* Calls its closure argument, then fails on its own. */
int native_callback_then_fail(veskvm_t vm) {
  veskvm_lload(vm, 1);
  if (veskvm_closure_call(vm, 0) != VESKVM_STATE_READY) return vm->state;
  return native_fail(vm);
}

/* mkstr(i): a new runtime string "s<i>". */
int native_mkstr(veskvm_t vm) {
  if (veskvm_lnum_assert(vm, 1) != VESKVM_STATE_READY) return vm->state;
  std::string s = "s" + std::to_string(veskvm_lsym(vm, 1)->i.value);
  veskvm_pushstr(vm, s.c_str(), 0);
  return veskvm_ret1(vm);
}

} // namespace

class CallTest : public VmTest {
protected:
  /* Loads b and registers the test natives as globals. */
  int load_with_natives(BcodeBuilder &b) {
    if (load(b) != VESKVM_STATE_READY) return vm->state;
    veskvm_register_global_function(vm, "one", native_one);
    veskvm_register_global_function(vm, "fail", native_fail);
    veskvm_register_global_function(vm, "cbfail", native_callback_then_fail);
    veskvm_register_global_function(vm, "mkstr", native_mkstr);
    return vm->state;
  }
  int run_with_natives(BcodeBuilder &b) {
    if (load_with_natives(b) != VESKVM_STATE_READY) return vm->state;
    return veskvm_execute_script(vm);
  }
  int64_t frames() { return veskdarray_size(vm->lsymts); }
  int64_t stacks() { return veskdarray_size(vm->stacks); }
};

TEST_F(CallTest, CallAndReturnRestoreDepths) {
  BcodeBuilder b;
  b.fun("sub", "sub").fun("noret", "noret").op(I::VESKVM_INSTR_NOP);
  b.gload("sub").pushi(10).pushi(4).call(2);
  size_t after_call = b.code_size();
  b.gload("noret").call(0).op(I::VESKVM_INSTR_DONE);
  b.label("sub").lload(1).lload(2).op(I::VESKVM_INSTR_SUB).op(I::VESKVM_INSTR_RET1);
  b.label("noret").op(I::VESKVM_INSTR_RET0);
  ASSERT_EQ(load(b), VESKVM_STATE_READY);
  for (int i = 0; i < 6; ++i)
    ASSERT_EQ(veskvm_step(vm), VESKVM_STATE_READY);
  /* Inside sub: one frame, two stacks, the return address below. */
  EXPECT_EQ(vm->pc, b.offset("sub"));
  EXPECT_EQ(frames(), 1);
  EXPECT_EQ(stacks(), 2);
  EXPECT_EQ(depth(), 0);
  ASSERT_EQ(veskdarray_size(vm->lsyms->syms), 3);
  EXPECT_TRUE(veskobj_isnil(veskdarray_get(vm->lsyms->syms, 0, veskobj_t)));
  EXPECT_EQ(veskdarray_get(vm->lsyms->syms, 1, veskobj_t)->i.value, 10);
  EXPECT_EQ(veskdarray_get(vm->lsyms->syms, 2, veskobj_t)->i.value, 4);
  veskdarray_t caller = veskdarray_get(vm->stacks, 0, veskdarray_t);
  ASSERT_EQ(veskdarray_size(caller), 1);
  EXPECT_EQ(veskdarray_get(caller, 0, veskobj_t)->i.value, b.at(after_call));

  EXPECT_EQ(veskvm_execute_script(vm), VESKVM_STATE_DONE) << err();
  EXPECT_EQ(frames(), 0);
  EXPECT_EQ(stacks(), 1);
  ASSERT_EQ(depth(), 1);
  EXPECT_EQ(top_int(), 6);
  EXPECT_EQ(vm->lsyms, nullptr);
}

TEST_F(CallTest, MethodSeesItsTableAsSelf) {
  BcodeBuilder b;
  b.fun("m", "m").op(I::VESKVM_INSTR_NOP);
  b.pushs("t").op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_GSTORE);
  b.gload("t").pushs("k").gload("m").op(I::VESKVM_INSTR_TPUT);
  b.gload("t").pushs("k").op(I::VESKVM_INSTR_TGET).call(0);
  b.gload("t").op(I::VESKVM_INSTR_EQ);
  b.gload("m").call(0).op(I::VESKVM_INSTR_DONE); /* the global itself keeps self nil */
  b.label("m").lload(0).op(I::VESKVM_INSTR_RET1);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE) << err();
  ASSERT_EQ(depth(), 2);
  EXPECT_TRUE(veskobj_isnil(top()));
  EXPECT_EQ(top(2)->i.value, 1);
}

TEST_F(CallTest, LambdaCapturesTheLocalsOfItsCreator) {
  BcodeBuilder b;
  b.fun("mk", "mk").op(I::VESKVM_INSTR_NOP);
  b.gload("mk").pushi(5).call(1).call(0).op(I::VESKVM_INSTR_DONE);
  b.label("mk").op(I::VESKVM_INSTR_PUSHL, "lam").op(I::VESKVM_INSTR_RET1);
  b.label("lam").lload(1).pushi(1).op(I::VESKVM_INSTR_ADD).op(I::VESKVM_INSTR_RET1);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE) << err();
  EXPECT_EQ(top_int(), 6);
}

TEST_F(CallTest, LocalSymbolsInsideACall) {
  BcodeBuilder b;
  b.fun("f", "f").fun("g", "g").op(I::VESKVM_INSTR_NOP);
  b.gload("f").call(0).gload("g").call(0).op(I::VESKVM_INSTR_DONE);
  /* f: storing past the end fills the gap with nil */
  b.label("f")
      .pushi(9)
      .lstore(3)
      .lload(2)
      .op(I::VESKVM_INSTR_PUSHNIL)
      .op(I::VESKVM_INSTR_EQ);
  b.lload(3).op(I::VESKVM_INSTR_ADD).op(I::VESKVM_INSTR_RET1);
  /* g: reading past the end is an error */
  b.label("g").lload(5).op(I::VESKVM_INSTR_RET1);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(),
            "wrong number of local variables: local symbol 5 read, the call has 1");
  EXPECT_EQ(veskvm_error_offset(vm), b.offset("g"));
  EXPECT_EQ(veskvm_stack_at(vm, 1), nullptr); /* g's own stack */
  EXPECT_EQ(veskdarray_get(vm->stacks, 0, veskdarray_t)->size, 2);
  veskobj_t f_result =
      veskdarray_get(veskdarray_get(vm->stacks, 0, veskdarray_t), 0, veskobj_t);
  ASSERT_TRUE(veskobj_isint(f_result));
  EXPECT_EQ(f_result->i.value, 10);
}

TEST_F(CallTest, LocalStoreIsBounded) {
  BcodeBuilder b;
  b.fun("f", "f").op(I::VESKVM_INSTR_NOP).gload("f").call(0).op(I::VESKVM_INSTR_DONE);
  b.label("f").pushi(1).lstore(INT32_MAX).op(I::VESKVM_INSTR_RET0);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(vm->error, VESKVM_ERROR_LNUM);
  EXPECT_LE(veskdarray_size(vm->lsyms->syms), 1);
}

TEST_F(CallTest, ReturnWithValueNeedsOne) {
  BcodeBuilder b;
  b.fun("f", "f").op(I::VESKVM_INSTR_NOP).gload("f").call(0).op(I::VESKVM_INSTR_DONE);
  b.label("f").op(I::VESKVM_INSTR_RET1);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: stack idx 1 out of bounds");
  EXPECT_EQ(frames(), 1);
}

TEST_F(CallTest, CallSequenceErrors) {
  struct {
    std::function<void(BcodeBuilder &)> prog;
    const char *msg;
  } cases[] = {
      {[](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_CALLC); },
       "stack error: stack idx 1 out of bounds"},
      {[](BcodeBuilder &b) {
         b.op(I::VESKVM_INSTR_PUSHCN, 2).pushs("x").op(I::VESKVM_INSTR_CALLC);
       },
       "type mismatch: expected integer, got string"},
      {[](BcodeBuilder &b) { b.pushi(1).pushi(2).call(1); },
       "type mismatch: expected closure, got integer"},
      {[](BcodeBuilder &b) { b.pushi(1).call(3); },
       "stack error: stack idx 4 out of bounds"},
      {[](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHCN, 2).call(-1); },
       "stack error: negative argument count -1"},
      {[](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHCC, 57).call(0); },
       "function id out of range"},
      {[](BcodeBuilder &b) { b.op(I::VESKVM_INSTR_PUSHCC, -1).call(0); },
       "function id out of range"},
  };
  for (auto &c : cases) {
    size_t at = 0;
    EXPECT_EQ(run_fresh([&](BcodeBuilder &b) {
                c.prog(b);
                at = b.code_size() - 1;
              }),
              VESKVM_STATE_ERROR);
    EXPECT_EQ(err(), c.msg);
    EXPECT_EQ(veskvm_error_offset(vm), fresh.at(at)) << c.msg;
    EXPECT_EQ(frames(), 0);
    EXPECT_EQ(stacks(), 1);
  }
}

TEST_F(CallTest, CallIntoBadAddressBlamesTheCall) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP)
      .op(I::VESKVM_INSTR_PUSHCN, 99999)
      .call(0)
      .op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "pc out of range");
  EXPECT_EQ(vm->pc, 99999);
  EXPECT_EQ(veskvm_error_offset(vm), b.at(11));
}

TEST_F(CallTest, SwarmCallPopsTheSwarmStackOnReturn) {
  BcodeBuilder b;
  b.fun("f", "f").op(I::VESKVM_INSTR_NOP);
  b.gload("f")
      .call(0)
      .gload("f")
      .pushi(0)
      .op(I::VESKVM_INSTR_CALLS)
      .op(I::VESKVM_INSTR_DONE);
  b.label("f").op(I::VESKVM_INSTR_RET0);
  ASSERT_EQ(load(b), VESKVM_STATE_READY);
  uint16_t ids[] = {5, 6};
  veskdarray_push(vm->swarmstack, &ids[0]);
  veskdarray_push(vm->swarmstack, &ids[1]);
  EXPECT_EQ(veskvm_execute_script(vm), VESKVM_STATE_DONE) << err();
  ASSERT_EQ(veskdarray_size(vm->swarmstack), 1); /* only calls popped */
  EXPECT_EQ(veskdarray_get(vm->swarmstack, 0, uint16_t), 5);
}

/* Natives */

TEST_F(CallTest, NativeArgumentCountMessage) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).gload("one").pushi(1).pushi(2).call(2);
  size_t callc = b.code_size() - 1;
  b.op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run_with_natives(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(vm->error, VESKVM_ERROR_LNUM);
  EXPECT_EQ(err(), "wrong number of local variables: expected 1 parameters, got 2");
  EXPECT_EQ(veskvm_error_offset(vm), b.at(callc));
  EXPECT_EQ(frames(), 1); /* the failed native's frame stays for inspection */
}

TEST_F(CallTest, NativeResultReachesTheCaller) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).gload("one").pushi(41).call(1).op(I::VESKVM_INSTR_DONE);
  EXPECT_EQ(run_with_natives(b), VESKVM_STATE_DONE) << err();
  EXPECT_EQ(top_int(), 42);
  EXPECT_EQ(frames(), 0);
  EXPECT_EQ(stacks(), 1);
}

TEST_F(CallTest, RegisteringAFunctionTwiceKeepsItsId) {
  uint32_t a = veskvm_function_register(vm, native_one);
  uint32_t b = veskvm_function_register(vm, native_fail);
  EXPECT_NE(a, b);
  EXPECT_EQ(veskvm_function_register(vm, native_one), a);
  EXPECT_EQ(veskvm_function_register(vm, native_fail), b);
}

TEST_F(CallTest, NativeErrorsPointAtTheCallThatEnteredThem) {
  /* cbfail runs a script callback first; its own failure still points at the
     callc, not at the callback's last instruction. */
  BcodeBuilder b;
  b.fun("cb", "cb").op(I::VESKVM_INSTR_NOP).gload("cbfail").gload("cb").call(1);
  size_t callc = b.code_size() - 1;
  b.op(I::VESKVM_INSTR_DONE);
  b.label("cb").pushi(1).op(I::VESKVM_INSTR_POP).op(I::VESKVM_INSTR_RET0);
  EXPECT_EQ(run_with_natives(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: native failure");
  EXPECT_EQ(veskvm_error_offset(vm), b.at(callc));
}

TEST_F(CallTest, ErrorsInsideCallbacksPointAtTheFailingInstruction) {
  BcodeBuilder b;
  b.fun("cb", "cb").op(I::VESKVM_INSTR_NOP).gload("cbfail").gload("cb").call(1);
  b.op(I::VESKVM_INSTR_DONE);
  b.label("cb").pushi(1);
  size_t pop = b.code_size();
  b.op(I::VESKVM_INSTR_POP).op(I::VESKVM_INSTR_POP).op(I::VESKVM_INSTR_RET0);
  EXPECT_EQ(run_with_natives(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: empty stack");
  EXPECT_EQ(veskvm_error_offset(vm), b.at(pop + 1));
  EXPECT_EQ(frames(), 2); /* native and callback frames are both still there */
}

/* The hook sees every instruction the run loop executes, those of a callback
   that a native runs included, and can stop the program. */
TEST_F(CallTest, HookSeesCallbackInstructionsAndCanStopTheRun) {
  BcodeBuilder b;
  b.fun("cb", "cb").op(I::VESKVM_INSTR_NOP).gload("cbfail").gload("cb").call(1);
  b.op(I::VESKVM_INSTR_DONE);
  b.label("cb").pushi(1);
  size_t pop = b.code_size();
  b.op(I::VESKVM_INSTR_POP).op(I::VESKVM_INSTR_RET0);
  struct Seen {
    std::vector<int32_t> pcs;
    int32_t stop_at = -1;
  } seen;
  auto hook = [](veskvm_t v, void *data) {
    auto *s = static_cast<Seen *>(data);
    s->pcs.push_back(v->pc);
    if (v->pc == s->stop_at) veskvm_seterror(v, VESKVM_ERROR_TYPE, "stopped");
  };
  ASSERT_EQ(load_with_natives(b), VESKVM_STATE_READY);
  veskvm_sethook(vm, hook, &seen);
  EXPECT_EQ(veskvm_execute_script(vm), VESKVM_STATE_ERROR); /* cbfail fails */
  EXPECT_NE(std::find(seen.pcs.begin(), seen.pcs.end(), b.at(pop)), seen.pcs.end());

  seen = {};
  seen.stop_at = b.at(pop);
  ASSERT_EQ(load_with_natives(b), VESKVM_STATE_READY);
  veskvm_sethook(vm, hook, &seen);
  EXPECT_EQ(veskvm_execute_script(vm), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: stopped");
  EXPECT_EQ(seen.pcs.back(), b.at(pop));
  EXPECT_EQ(vm->pc, b.at(pop)); /* nothing ran after the hook stopped it */
}

/* Host calls */

TEST_F(CallTest, FunctionCallOfUndefinedName) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_EQ(veskvm_function_call(vm, "nothere", 0), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: expected closure, got nil");
  EXPECT_EQ(veskvm_error_offset(vm), -1);
  /* A VM in error refuses further calls. */
  EXPECT_EQ(veskvm_function_call(vm, "type", 0), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "type mismatch: expected closure, got nil");
}

TEST_F(CallTest, FunctionCallLeavesTheResultOnTheStack) {
  BcodeBuilder b;
  b.fun("mul", "mul").op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  b.label("mul").lload(1).lload(2).op(I::VESKVM_INSTR_MUL).op(I::VESKVM_INSTR_RET1);
  ASSERT_EQ(run_with_natives(b), VESKVM_STATE_DONE);
  int32_t done_pc = vm->pc;
  veskvm_pushi(vm, 6);
  veskvm_pushi(vm, 7);
  EXPECT_EQ(veskvm_function_call(vm, "mul", 2), VESKVM_STATE_READY) << err();
  ASSERT_EQ(depth(), 1);
  EXPECT_EQ(top_int(), 42);
  EXPECT_EQ(vm->pc, done_pc);
  EXPECT_EQ(frames(), 0);
  EXPECT_EQ(stacks(), 1);
  /* Natives are called by name too, and return at once. */
  veskvm_pushi(vm, 1);
  EXPECT_EQ(veskvm_function_call(vm, "one", 1), VESKVM_STATE_READY) << err();
  EXPECT_EQ(top_int(), 2);
  EXPECT_EQ(depth(), 2);
}

TEST_F(CallTest, FunctionCallWithMissingArguments) {
  BcodeBuilder b;
  b.fun("f", "f").op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  b.label("f").op(I::VESKVM_INSTR_RET0);
  ASSERT_EQ(run(b), VESKVM_STATE_DONE);
  EXPECT_EQ(veskvm_function_call(vm, "f", 3), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: stack idx 4 out of bounds");
}

TEST_F(CallTest, ClosureCallOfANativeReturnsImmediately) {
  BcodeBuilder b;
  b.op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  ASSERT_EQ(load_with_natives(b), VESKVM_STATE_READY);
  veskvm_pushc(vm, static_cast<int32_t>(veskvm_function_register(vm, native_one)), 0);
  veskvm_pushi(vm, 9);
  int32_t pc = vm->pc;
  EXPECT_EQ(veskvm_closure_call(vm, 1), VESKVM_STATE_READY);
  EXPECT_EQ(top_int(), 10);
  EXPECT_EQ(depth(), 1);
  EXPECT_EQ(vm->pc, pc); /* no instruction ran */
}

/* Limits */

TEST_F(CallTest, UnboundedRecursionIsStopped) {
  BcodeBuilder b;
  b.fun("f", "f").op(I::VESKVM_INSTR_NOP).gload("f").call(0).op(I::VESKVM_INSTR_DONE);
  b.label("f").gload("f").call(0).op(I::VESKVM_INSTR_RET1);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: too many nested calls (limit 10000)");
  EXPECT_EQ(frames(), VESKVM_MAX_FRAMES);
}

TEST_F(CallTest, UnboundedRecursionThroughNativesIsStopped) {
  /* f calls foreach on a one-entry table with itself as callback. */
  BcodeBuilder b;
  b.fun("f", "f").op(I::VESKVM_INSTR_NOP);
  b.pushs("t").op(I::VESKVM_INSTR_PUSHT).op(I::VESKVM_INSTR_GSTORE);
  b.gload("t").pushi(1).pushi(1).op(I::VESKVM_INSTR_TPUT);
  b.gload("f").call(0).op(I::VESKVM_INSTR_DONE);
  b.label("f").gload("foreach").gload("t").gload("f").call(2).op(I::VESKVM_INSTR_RET0);
  EXPECT_EQ(run(b), VESKVM_STATE_ERROR);
  EXPECT_EQ(err(), "stack error: too many nested native calls (limit 1000)");
  EXPECT_EQ(vm->nesting, 0u);
}

/* Strings */

TEST_F(CallTest, SeventyThousandRuntimeStrings) {
  /* main: for i in 0..N-1 { s = mkstr(i); if i % 1000 == 0 { keep[i] = s } };
     return keep */
  const int32_t N = 70500;
  BcodeBuilder b;
  b.fun("main", "main").op(I::VESKVM_INSTR_NOP).op(I::VESKVM_INSTR_DONE);
  b.label("main").pushi(0).lstore(1).op(I::VESKVM_INSTR_PUSHT).lstore(2);
  b.label("loop")
      .lload(1)
      .pushi(N)
      .op(I::VESKVM_INSTR_LT)
      .op(I::VESKVM_INSTR_JUMPZ, "end");
  b.gload("mkstr").lload(1).call(1).lstore(3);
  b.lload(1).pushi(1000).op(I::VESKVM_INSTR_MOD).op(I::VESKVM_INSTR_JUMPNZ, "next");
  b.lload(2).lload(1).lload(3).op(I::VESKVM_INSTR_TPUT);
  b.label("next").lload(1).pushi(1).op(I::VESKVM_INSTR_ADD).lstore(1);
  b.op(I::VESKVM_INSTR_JUMP, "loop");
  b.label("end").lload(2).op(I::VESKVM_INSTR_RET1);
  ASSERT_EQ(run_with_natives(b), VESKVM_STATE_DONE);
  ASSERT_EQ(veskvm_function_call(vm, "main", 0), VESKVM_STATE_READY) << err();
  veskobj_t keep = top();
  ASSERT_TRUE(veskobj_istable(keep));
  ASSERT_EQ(veskdict_size(keep->t.value), static_cast<uint32_t>((N + 999) / 1000));
  veskobj_t k = veskheap_newobj(vm->heap, VESKTYPE_INT);
  for (int32_t i = 0; i < N; i += 1000) {
    k->i.value = i;
    veskobj_t *s = veskdict_get(keep->t.value, &k, veskobj_t);
    ASSERT_NE(s, nullptr) << i;
    ASSERT_TRUE(veskobj_isstring(*s));
    std::string want = "s" + std::to_string(i);
    EXPECT_EQ(std::string((*s)->s.str), want);
    EXPECT_STREQ(veskvm_string_get(vm, (*s)->s.id), want.c_str());
  }
  /* The bytecode's own strings kept their ids. */
  EXPECT_STREQ(veskvm_string_get(vm, 0), "main");
  EXPECT_STREQ(veskvm_string_get(vm, 1), "mkstr");
}
