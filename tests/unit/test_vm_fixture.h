/*
 * Shared fixture of the VM tests: a fresh VM, bytecode built with
 * BcodeBuilder, and small accessors for the results.
 */
#ifndef VESK_TESTS_TEST_VM_FIXTURE_H
#define VESK_TESTS_TEST_VM_FIXTURE_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bcode_builder.h"
#include "veskvm.h"

class VmTest : public ::testing::Test {
protected:
  static constexpr uint16_t ROBOT = 7;

  void SetUp() override { vm = veskvm_new(ROBOT); }
  void TearDown() override { veskvm_destroy(&vm); }

  int load(BcodeBuilder &b) {
    code = b.build();
    return veskvm_set_bcode(vm, code.data(), static_cast<uint32_t>(code.size()));
  }
  int load_raw(std::vector<uint8_t> bytes) {
    code = std::move(bytes);
    return veskvm_set_bcode(vm, code.data(), static_cast<uint32_t>(code.size()));
  }
  /* Loads and runs the main script to its end. */
  int run(BcodeBuilder &b) {
    if (load(b) != VESKVM_STATE_READY) return vm->state;
    return veskvm_execute_script(vm);
  }
  /* Runs, in a fresh VM, a main script of nop, what body adds, done (for
     tables of cases); the script stays in `fresh` for offset lookups. */
  int run_fresh(const std::function<void(BcodeBuilder &)> &body) {
    TearDown();
    SetUp();
    fresh = BcodeBuilder();
    fresh.op(VESKVM_INSTR_NOP);
    body(fresh);
    fresh.op(VESKVM_INSTR_DONE);
    return run(fresh);
  }

  veskobj_t top(int64_t i = 1) { return veskvm_stack_at(vm, i); }
  int64_t depth() { return veskvm_stack_size(vm); }
  std::string err() { return veskvm_strerror(vm); }

  int32_t top_int() {
    veskobj_t o = top();
    EXPECT_TRUE(o && veskobj_isint(o)) << "top is not an integer";
    return o && veskobj_isint(o) ? o->i.value : INT32_MIN;
  }
  float top_float() {
    veskobj_t o = top();
    EXPECT_TRUE(o && veskobj_isfloat(o)) << "top is not a float";
    return o && veskobj_isfloat(o) ? o->f.value : -1e30f;
  }
  std::string top_str() {
    veskobj_t o = top();
    EXPECT_TRUE(o && veskobj_isstring(o)) << "top is not a string";
    return o && veskobj_isstring(o) ? o->s.str : "<none>";
  }

  /* Global variable name, or null. */
  veskobj_t global(const char *name) {
    int32_t key = veskvm_string_register(vm, name, 0);
    veskobj_t *v = veskdict_get(vm->gsyms, &key, veskobj_t);
    return v ? *v : nullptr;
  }

  veskvm_t vm = nullptr;
  std::vector<uint8_t> code;
  BcodeBuilder fresh;
};

#endif
