/*
 * Test helper for the standard libraries: a VM loaded with an empty program
 * (so every library is installed) whose library functions are called from
 * C++ exactly as a script calls them, through the closures stored in the
 * global tables.
 */
#ifndef STDLIB_VM_H
#define STDLIB_VM_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "veskvm.h"

namespace stdlib_test {

/* Argument marker for nil. */
struct Nil {};

class LibVm {
public:
  LibVm() : vm_(veskvm_new(1)) {
    /* No strings, an empty prologue (nop), then done. */
    static const uint8_t code[] = {0x00, 0x00, VESKVM_INSTR_NOP, VESKVM_INSTR_DONE};
    veskvm_set_bcode(vm_, code, sizeof code);
  }
  ~LibVm() { veskvm_destroy(&vm_); }
  LibVm(const LibVm &) = delete;
  LibVm &operator=(const LibVm &) = delete;

  veskvm_t vm() const { return vm_; }
  int state() const { return vm_->state; }
  bool ok() const { return vm_->state == VESKVM_STATE_READY; }
  std::string error() const { return veskvm_strerror(vm_); }

  /* Calls lib.fn(args...) and returns the VM state. */
  template <typename... A> int call(const char *lib, const char *fn, A... args) {
    push_member(lib, fn);
    base_ = veskvm_stack_size(vm_) - 1;
    (push(args), ...);
    return veskvm_closure_call(vm_, sizeof...(A));
  }

  /* Calls lib.fn(args...) and pops its value: null when it failed or returned none. */
  template <typename... A> veskobj_t eval(const char *lib, const char *fn, A... args) {
    if (call(lib, fn, args...) != VESKVM_STATE_READY) return nullptr;
    veskobj_t r = result();
    if (r) veskvm_pop(vm_); /* no collection runs until the next step */
    return r;
  }

  /* The value the last call returned, or null when it returned none. */
  veskobj_t result() const {
    return veskvm_stack_size(vm_) > base_ ? veskvm_stack_at(vm_, 1) : nullptr;
  }

  /* Pushes lib.key (a global table's member) and returns it. */
  veskobj_t push_member(const char *lib, const char *key) {
    veskvm_pushstr(vm_, lib, 1);
    veskvm_gload(vm_);
    veskvm_pushstr(vm_, key, 1);
    veskvm_tget(vm_);
    return veskvm_stack_at(vm_, 1);
  }

  /* Pushes table[key] for the table object t and returns it. */
  veskobj_t push_field(veskobj_t t, const char *key) {
    veskvm_push(vm_, t);
    veskvm_pushstr(vm_, key, 1);
    veskvm_tget(vm_);
    return veskvm_stack_at(vm_, 1);
  }

  /* Stores a value as a global variable. */
  template <typename T> void set_global(const char *name, T value) {
    veskvm_pushstr(vm_, name, 1);
    push(value);
    veskvm_gstore(vm_);
  }

  void push(int v) { veskvm_pushi(vm_, v); }
  void push(double v) { veskvm_pushf(vm_, (float)v); }
  void push(float v) { veskvm_pushf(vm_, v); }
  void push(const char *s) { veskvm_pushstr(vm_, s, 0); }
  void push(const std::string &s) { veskvm_pushstr(vm_, s.c_str(), 0); }
  void push(Nil) { veskvm_pushnil(vm_); }
  void push(veskobj_t o) { veskvm_push(vm_, o); }

private:
  veskvm_t vm_;
  int64_t base_ = 0;
};

/* Readable checks of a returned value. */
inline void expect_int(veskobj_t o, int32_t v) {
  ASSERT_NE(o, nullptr);
  ASSERT_EQ(veskobj_type(o), VESKTYPE_INT) << vesktype_desc[veskobj_type(o)];
  EXPECT_EQ(o->i.value, v);
}

inline void expect_float(veskobj_t o, float v) {
  ASSERT_NE(o, nullptr);
  ASSERT_EQ(veskobj_type(o), VESKTYPE_FLOAT) << vesktype_desc[veskobj_type(o)];
  EXPECT_EQ(o->f.value, v);
}

inline void expect_string(veskobj_t o, const std::string &s) {
  ASSERT_NE(o, nullptr);
  ASSERT_EQ(veskobj_type(o), VESKTYPE_STRING) << vesktype_desc[veskobj_type(o)];
  EXPECT_EQ(std::string(o->s.str), s);
}

inline void expect_nil(veskobj_t o) {
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(veskobj_type(o), VESKTYPE_NIL) << vesktype_desc[veskobj_type(o)];
}

} // namespace stdlib_test

#endif
